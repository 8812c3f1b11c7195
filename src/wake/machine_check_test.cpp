#include "wake/machine_check.h"

#include <gtest/gtest.h>

namespace trolvane {
namespace {

constexpr std::uint32_t kAt20 = 0x1401A8C0;  // 192.168.1.20 in network order
constexpr std::uint32_t kAt21 = 0x1501A8C0;
const os::HardwareAddress kX = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01};
const os::HardwareAddress kY = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
const os::Route kOnLink{os::Route::Via::kLink, os::Route::Medium::kBroadcast, 2, 24};
using V = MachineVerdict;
using Table = std::optional<std::vector<os::Neighbour>>;  // none: the read is refused
const char kSawY[] = "(別の機器(02-00-00-00-00-02)が応答)";

LinkReads Reads(std::optional<os::Route> route,
                std::function<bool(std::vector<os::Neighbour>*)> t) {
  return {[route](const std::vector<std::uint32_t>& a) {
            return std::vector<std::optional<os::Route>>(a.size(), route);
          },
          std::move(t)};
}

// Answers judged one after the other, each by a reading taken after it came (one every
// 20 ms); a reading the platform refuses leaves the answer held until the wait ends. Host 0
// is at .20 and woken as line 0 with kX unless a case says otherwise; host 1 (.21) is woken
// as line 1 with kY where a case names it.
TEST(MachineCheck, JudgesEachAnswerByAReadingAfterIt) {
  using M = std::vector<std::vector<MachineCheck::Machine>>;
  const struct Case {
    const char* name;
    std::vector<Table> reads;  // the n-th reading; the last stays
    std::vector<std::pair<std::size_t, V>> answers;
    std::vector<bool> confirmed;  // by line
    std::string reason = "";      // of the last line
    M machines = {{{0, kX}}, {}};
    std::optional<os::Route> route = kOnLink;
    bool on = true;
    bool at_end = false;  // decided only when the wait ends
  } cases[] = {
      {"the woken MAC", {{{{kAt20, kX, 2}}}}, {{0, V::kOwn}}, {true}},
      {"another MAC", {{{{kAt20, kY, 2}}}}, {{0, V::kOther}}, {false}, kSawY},
      {"behind a router",
       {{{{kAt20, kY, 2}}}},
       {{0, V::kOwn}},
       {true},
       "",
       {},
       os::Route{os::Route::Via::kGateway, os::Route::Medium::kBroadcast, 2, -1}},
      {"the check off", {{{{kAt20, kY, 2}}}}, {{0, V::kOwn}}, {true}, "", {}, kOnLink, false},
      {"no route: at once", {{{}}}, {{0, V::kOwn}}, {true}, "", {}, std::nullopt},
      {"a refused read", {std::nullopt}, {{0, V::kOwn}}, {true}, "", {}, kOnLink, true, true},
      {"the route's interface",
       {{{{kAt20, kY, 2}, {kAt20, kX, 3}}}},
       {{0, V::kOther}},
       {false},
       kSawY},
      {"a leftover entry read for host 1 does not judge host 0",
       {{{{kAt20, kX, 2}, {kAt21, kY, 2}}}, {{{kAt20, kY, 2}}}},
       {{1, V::kOwn}, {0, V::kOther}},
       {false, true},
       "",
       M{{{0, kX}}, {{1, kY}}}},
      {"two lines at one address",
       {{{{kAt20, kX, 2}}}},
       {{0, V::kOther}},
       {true, false},
       "(別の機器(00-1A-2B-3C-4D-01)が応答)",
       M{{{0, kX}, {1, kY}}, {}}},
      {"an entry gone already: the next answer", {{{}}}, {{0, V::kUnsure}, {0, V::kOwn}}, {true}},
      {"once another machine was seen, no entry confirms nothing",
       {{{{kAt20, kY, 2}}}, {{}}},
       {{0, V::kOther}, {0, V::kOther}},
       {false},
       kSawY},
  };
  for (Case c : cases) {
    if (c.machines.empty()) c.machines = {{{0, kX}}, {}};
    std::uint64_t now = 0;
    int reads = 0;
    std::vector<std::size_t> told;
    MachineCheck check(
        c.on, {kAt20, kAt21}, c.machines, [&](std::size_t line) { told.push_back(line); },
        Reads(c.route,
              [&](std::vector<os::Neighbour>* entries) {
                const Table& t = c.reads[std::min<std::size_t>(reads++, c.reads.size() - 1)];
                if (t) *entries = *t;
                return t.has_value();
              }),
        [&] { return now; });
    for (const auto& [index, verdict] : c.answers) {
      V v = check.Judge(index, false);
      now += MachineCheck::kReadGap;
      if (v == V::kLater && check.Settle(false)) v = check.Judge(index, true);
      const bool at_end = v == V::kLater && check.Settle(true);
      if (at_end) v = check.Judge(index, true);
      EXPECT_EQ(v, verdict) << c.name;
      EXPECT_EQ(at_end, c.at_end) << c.name;
    }
    for (std::size_t line = 0; line < c.confirmed.size(); ++line) {
      EXPECT_EQ(check.Confirmed(line), c.confirmed[line]) << c.name << " line " << line;
    }
    EXPECT_EQ(told.size(), std::count(c.confirmed.begin(), c.confirmed.end(), true)) << c.name;
    EXPECT_EQ(check.Reason(c.confirmed.size() - 1), c.reason) << c.name;
    if (!c.on || (c.route && c.route->via != os::Route::Via::kLink)) {
      EXPECT_EQ(reads, 0) << c.name;
    }
  }
}

// Thousands of answers cost a handful of readings: none closer than kReadGap.
TEST(MachineCheck, ReadsTheTableAtMostOncePerGap) {
  std::uint64_t now = 0;
  int reads = 0;
  std::vector<std::vector<MachineCheck::Machine>> machines;
  std::vector<std::uint32_t> addresses;
  for (std::size_t i = 0; i < 1000; ++i) {
    machines.push_back({{i, kY}});
    addresses.push_back(kAt20 + static_cast<std::uint32_t>(i << 24));
  }
  MachineCheck check(true, addresses, machines, {},
                     Reads(kOnLink, [&](std::vector<os::Neighbour>*) { return ++reads, true; }),
                     [&] { return now; });
  for (std::size_t i = 0; i < 1000; ++i, now += 100) {  // an answer every 0.1 ms
    EXPECT_EQ(check.Judge(i, false), V::kLater);
    check.Settle(false);
  }
  EXPECT_EQ(reads, 5);
}

}  // namespace
}  // namespace trolvane
