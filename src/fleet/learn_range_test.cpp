#include "fleet/learn_range.h"

#include <gtest/gtest.h>

#include "text/mac_text.h"

namespace trolvane {
namespace {

// The ranges a user meets first (/8, /31, no bits, abc) are the learning lab's.
TEST(ParseLearnRange, TakesAddressSlashBitsOf16To30) {
  struct Case {
    const char* text;
    const char* range;  // none: refused
    std::uint32_t hosts;
  } const cases[] = {
      {"192.168.12.0/24", "192.168.12.0/24", 254},
      {"192.168.12.77/24", "192.168.12.0/24", 254},
      {"10.1.255.255/16", "10.1.0.0/16", 65534},
      {"198.18.32.0/20", "198.18.32.0/20", 4094},
      {"192.168.256.0/24", nullptr, 0},
      {"192.168.12.0/24x", nullptr, 0},
      {" 192.168.12.0/24", nullptr, 0},
      {"192.168.0012.0/24", nullptr, 0},
  };
  for (const Case& c : cases) {
    const std::optional<LearnRange> range = ParseLearnRange(c.text);
    ASSERT_EQ(range.has_value(), c.range != nullptr) << c.text;
    if (!range) continue;
    EXPECT_EQ(LearnRangeText(*range), c.range) << c.text;
    EXPECT_EQ(range->Last() - range->First() + 1, c.hosts) << c.text;
  }
}

TEST(MacText, UpperCasePairsJoinedByDashes) {
  EXPECT_EQ(MacText({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe}), "00-1A-2B-3C-4D-FE");
}

}  // namespace
}  // namespace trolvane
