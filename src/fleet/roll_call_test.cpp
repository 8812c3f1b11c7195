#include "fleet/roll_call.h"

#include <gtest/gtest.h>

#include <cstring>

namespace trolvane {
namespace {

std::uint32_t Address(std::uint8_t last) {
  const std::uint8_t bytes[4] = {198, 18, 1, last};
  std::uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

PacketView Answer(std::uint8_t target_last, std::uint16_t sequence, bool ours = true) {
  PacketView view;
  view.ours = ours;
  view.kind = TReplyStatusKind::rkEchoReply;
  view.target = Address(target_last);
  view.sequence = sequence;
  return view;
}

// Three addresses: .1 asked twice, .2 once, .3 never.
TEST(RollCall, AnAnswerBelongsToTheAddressItsRequestWentTo) {
  RollCall roll;
  ASSERT_EQ(roll.Add(Address(1)), 0u);
  ASSERT_EQ(roll.Add(Address(2)), 1u);
  ASSERT_EQ(roll.Add(Address(3)), 2u);
  EXPECT_EQ(roll.Add(Address(2)), 1u) << "a repeated address keeps its index";
  EXPECT_EQ(roll.NextRequest(0), kFirstSequence);
  EXPECT_EQ(roll.NextRequest(0), kFirstSequence + 1);
  EXPECT_EQ(roll.NextRequest(1), kFirstSequence);
  const std::uint16_t first = kFirstSequence;
  const struct {
    const char* name;
    PacketView answer;
    std::optional<std::size_t> index;
  } cases[] = {
      {"the first request", Answer(1, first), 0},
      {"an earlier request", Answer(1, first), 0},
      {"the latest request", Answer(1, first + 1), 0},
      {"a number never sent there", Answer(2, first + 1), std::nullopt},
      {"an address never asked", Answer(3, first), std::nullopt},
      {"an address not in the list", Answer(9, first), std::nullopt},
      {"not ours", Answer(1, first, false), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(roll.Match(c.answer), c.index) << c.name;
}

}  // namespace
}  // namespace trolvane
