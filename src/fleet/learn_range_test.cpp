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
      {"192.168.0012.0/24", "192.168.10.0/24", 254},  // octal, as "/h" reads it
      {"198.18.1.4/30", "198.18.1.4/30", 2},
      {"198.18.1/24", nullptr, 0},
      {"198.18.1.0/ 24", nullptr, 0},
  };
  for (const Case& c : cases) {
    const std::optional<LearnRange> range = ParseLearnRange(c.text);
    ASSERT_EQ(range.has_value(), c.range != nullptr) << c.text;
    if (!range) continue;
    EXPECT_EQ(LearnRangeText(*range), c.range) << c.text;
    EXPECT_EQ(range->Last() - range->First() + 1, c.hosts) << c.text;
  }
}

// Routes to the first and last address; this machine's own address counts for neither.
TEST(AttachedLinkOf, TheWholeRangeInsideOneLinksSubnet) {
  using R = std::optional<os::Route>;
  using V = os::Route::Via;
  using M = os::Route::Medium;
  const R link24 = os::Route{V::kLink, M::kBroadcast, 2, 24},
          link23 = os::Route{V::kLink, M::kBroadcast, 2, 23},
          own = os::Route{V::kThisMachine, M::kPlain, 1, -1};
  const LearnRange r24 = *ParseLearnRange("198.18.1.0/24"), r23 = *ParseLearnRange("198.18.0.0/23");
  const struct {
    const char* name;
    LearnRange range;
    std::vector<R> corners;
    std::optional<std::uint32_t> link;
  } cases[] = {
      {"on the link", r24, {link24, link24}, 2},
      {"inside a wider link", r24, {link23, link23}, 2},
      {"the first address is this machine's", r24, {own, link24}, 2},
      {"wider than the link", r23, {link24, link24}, std::nullopt},
      {"through a router", r24, {R{{V::kGateway, M::kBroadcast, 2, 24}}, link24}, std::nullopt},
      {"a tunnel",
       r24,
       {R{{V::kLink, M::kPlain, 5, 24}}, R{{V::kLink, M::kPlain, 5, 24}}},
       std::nullopt},
      {"no route", r24, {R{}, R{}}, std::nullopt},
      {"two links", r24, {link24, R{{V::kLink, M::kBroadcast, 3, 24}}}, std::nullopt},
      {"only this machine", r24, {own, own}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(AttachedLinkOf(c.range, c.corners), c.link) << c.name;
}

TEST(MacText, UpperCasePairsJoinedByDashes) {
  EXPECT_EQ(MacText({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe}), "00-1A-2B-3C-4D-FE");
}

}  // namespace
}  // namespace trolvane
