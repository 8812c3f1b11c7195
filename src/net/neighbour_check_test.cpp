#include "net/neighbour_check.h"

#include <gtest/gtest.h>

namespace trolvane {
namespace {

constexpr std::uint32_t kHost = 0x1501A8C0;  // 192.168.1.21 in network order
const os::HardwareAddress kWoken = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01};
const os::HardwareAddress kOther = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};

// A platform whose table holds, read after read, the next of `reads` (the last stays).
struct FakePlatform {
  std::optional<bool> attached = true;
  std::vector<std::optional<os::HardwareAddress>> reads;  // none: no entry
  bool refuses = false;
  int table_reads = 0;
  int route_reads = 0;
  std::uint64_t now = 0;

  NeighbourSeams Seams() {
    return {[this](std::uint32_t) {
              ++route_reads;
              return attached;
            },
            [this](std::vector<os::Neighbour>* entries) {
              const auto& entry = reads[std::min<std::size_t>(table_reads, reads.size() - 1)];
              ++table_reads;
              if (entry) entries->push_back({kHost, *entry});
              return !refuses;
            },
            [this] { return now; }, [this](std::uint32_t ms) { now += ms * 1000u; }};
  }
};

TEST(NeighbourCheck, JudgesAnAnswerByATableReadAfterIt) {
  struct Case {
    const char* name;
    std::optional<bool> attached;
    std::vector<std::optional<os::HardwareAddress>> reads;
    bool refuses;
    MacVerdict verdict;
    int table_reads;
  } const cases[] = {
      {"the woken MAC", true, {kWoken}, false, MacVerdict::kConfirms, 1},
      {"another MAC", true, {kOther}, false, MacVerdict::kAnotherMachine, 1},
      {"behind a router: no read", false, {kOther}, false, MacVerdict::kCannotTell, 0},
      {"no route", std::nullopt, {kOther}, false, MacVerdict::kCannotTell, 0},
      {"no entry", true, {std::nullopt}, false, MacVerdict::kCannotTell, 1},
      {"a refused read", true, {kOther}, true, MacVerdict::kCannotTell, 1},
  };
  for (const Case& c : cases) {
    FakePlatform platform{c.attached, c.reads, c.refuses};
    NeighbourCheck check(platform.Seams());
    const MacCheckResult result = check.Check(kHost, kWoken);
    EXPECT_EQ(result.verdict, c.verdict) << c.name;
    if (c.verdict == MacVerdict::kAnotherMachine) {
      EXPECT_EQ(result.seen, kOther) << c.name;
    }
    EXPECT_EQ(platform.table_reads, c.table_reads) << c.name;
  }
}

// A match is taken from the last read; a miss or another MAC is read again (the entry may
// have been made or changed since), but never sooner than kReadGap after the last read;
// the route is asked once per address.
TEST(NeighbourCheck, ReadsAgainOnlyWhatTheLastReadCannotSettle) {
  FakePlatform platform{true, {std::nullopt, kOther, kWoken}};
  NeighbourCheck check(platform.Seams());
  EXPECT_EQ(check.Check(kHost, kWoken).verdict, MacVerdict::kCannotTell);
  EXPECT_EQ(check.Check(kHost, kWoken).verdict, MacVerdict::kAnotherMachine);
  EXPECT_GE(platform.now, NeighbourCheck::kReadGap);
  EXPECT_EQ(check.Check(kHost, kWoken).verdict, MacVerdict::kConfirms);
  for (int i = 0; i < 1000; ++i) check.Check(kHost, kWoken);
  EXPECT_EQ(platform.table_reads, 3);
  EXPECT_EQ(platform.route_reads, 1);
}

}  // namespace
}  // namespace trolvane
