#include "net/neighbour_check.h"

#include <gtest/gtest.h>

namespace trolvane {
namespace {

constexpr std::uint32_t kHost = 0x1501A8C0;  // 192.168.1.21 in network order
const os::HardwareAddress kWoken = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01};
const os::HardwareAddress kOther = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
using Entry = std::optional<os::HardwareAddress>;  // none: no entry for kHost

// Answers checked one after the other; the n-th table read gives reads[n] (the last
// stays). A match is taken from the last read; a miss or another MAC is read again (the
// entry may have been made or changed since), never sooner than kReadGap after the last
// read; the route is asked once.
TEST(NeighbourCheck, JudgesEachAnswerByAReadAfterIt) {
  using V = MacVerdict;
  const struct {
    const char* name;
    std::optional<bool> attached;
    bool refuses;
    std::vector<Entry> reads;
    std::vector<V> verdicts;
    int table_reads;
  } cases[] = {
      {"the woken MAC", true, false, {kWoken}, {V::kConfirms, V::kConfirms}, 1},
      {"another MAC", true, false, {kOther}, {V::kAnotherMachine, V::kAnotherMachine}, 2},
      {"behind a router", false, false, {kOther}, {V::kCannotTell}, 0},
      {"no route", std::nullopt, false, {kOther}, {V::kCannotTell}, 0},
      {"a refused read", true, true, {kOther}, {V::kCannotTell, V::kCannotTell}, 1},
      {"made, then changed",
       true,
       false,
       {std::nullopt, kOther, kWoken},
       {V::kCannotTell, V::kAnotherMachine, V::kConfirms, V::kConfirms},
       3},
  };
  for (const auto& c : cases) {
    int table_reads = 0;
    int route_reads = 0;
    std::uint64_t now = 0;
    std::uint64_t last_read = 0;
    NeighbourCheck check(
        {[&](std::uint32_t) {
           ++route_reads;
           return c.attached;
         },
         [&](std::vector<os::Neighbour>* entries) {
           EXPECT_TRUE(table_reads == 0 || now - last_read >= NeighbourCheck::kReadGap);
           last_read = now;
           const Entry& e = c.reads[std::min<std::size_t>(table_reads++, c.reads.size() - 1)];
           if (e) entries->push_back({kHost, *e});
           return !c.refuses;
         },
         [&] { return now; }, [&](std::uint32_t ms) { now += ms * 1000u; }});
    for (V verdict : c.verdicts) {
      const MacCheckResult result = check.Check(kHost, kWoken);
      EXPECT_EQ(result.verdict, verdict) << c.name;
      if (verdict == V::kAnotherMachine) {
        EXPECT_EQ(result.seen, kOther) << c.name;
      }
    }
    EXPECT_EQ(table_reads, c.table_reads) << c.name;
    EXPECT_LE(route_reads, 1) << c.name;
  }
}

}  // namespace
}  // namespace trolvane
