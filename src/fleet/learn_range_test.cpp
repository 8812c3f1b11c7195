#include "fleet/learn_range.h"

#include <gtest/gtest.h>

#include "platform/winsock.h"
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

// The routes of a /29's addresses, in order; this machine's own, a routed or a tunnel's
// address is never asked, and the broadcast of a narrower own prefix names no one.
TEST(RangeLinkOf, TheWholeRangeInsideOneLinksOwnPrefix) {
  using R = std::optional<os::Route>;
  using V = os::Route::Via;
  using M = os::Route::Medium;
  const R l23 = os::Route{V::kLink, M::kBroadcast, 2, 23},
          l24 = os::Route{V::kLink, M::kBroadcast, 2, 24},
          l30 = os::Route{V::kLink, M::kBroadcast, 2, 30}, none = std::nullopt,
          own = os::Route{V::kThisMachine, M::kPlain, 1, -1}, routed = os::Route{V::kGateway},
          tunnel = os::Route{V::kLink, M::kPlain, 5, 24};
  const LearnRange r29 = *ParseLearnRange("198.18.1.0/29");
  const struct {
    const char* name;
    std::vector<R> routes;
    int bits;  // 0: not on one link
    std::size_t unrouted = 0;
  } cases[] = {
      {"beside this machine, a router and a tunnel", {own, l24, routed, tunnel, l24}, 24},
      {"a nested own /30 and its broadcast", {l30, l30, none, l23, l23}, 23},
      {"the link down for some", {l24, none, none, l24, none}, 24, 3},
      {"wider than the link", {l30, l30, none, none, none}, 0},
      {"no own prefix holds it", {l24, R{{V::kLink, M::kBroadcast, 2, -1}}}, 0},
      {"two links", {l24, R{{V::kLink, M::kBroadcast, 3, 24}}}, 0},
      {"no link", {own, routed, tunnel, none}, 0},
  };
  for (const auto& c : cases) {
    std::vector<Machine> machines(c.routes.size());
    for (std::size_t i = 0; i < machines.size(); ++i) {
      machines[i].address = os::HToNl(r29.First() + static_cast<std::uint32_t>(i));
      machines[i].path = ClassifyPath(machines[i].address, c.routes[i]);
    }
    const RangeLink link = RangeLinkOf(r29, machines);
    EXPECT_EQ(link.verdict, c.bits == 0      ? RangeLink::Verdict::kNotOnOneLink
                            : c.unrouted > 0 ? RangeLink::Verdict::kUnrouted
                                             : RangeLink::Verdict::kOnLink)
        << c.name;
    if (c.bits == 0) continue;
    EXPECT_EQ(link.interface_index, 2u) << c.name;
    EXPECT_EQ(link.bits, c.bits) << c.name;
    EXPECT_EQ(link.unrouted, c.unrouted) << c.name;
  }
}

TEST(MacText, UpperCasePairsJoinedByDashes) {
  EXPECT_EQ(MacText({0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe}), "00-1A-2B-3C-4D-FE");
}

}  // namespace
}  // namespace trolvane
