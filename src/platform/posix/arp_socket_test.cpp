#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/posix/arp_socket_posix.h"

namespace os::posix {
namespace {

constexpr std::uint32_t kOurs = 0x010012C6;    // 198.18.0.1, network order
constexpr std::uint32_t kTheirs = 0x0B0012C6;  // 198.18.0.11
const HardwareAddress kUs = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const HardwareAddress kThem = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};

// The reply of kThem at kTheirs to kUs at kOurs: a request with its operation and its
// target's hardware address filled in.
std::vector<std::uint8_t> Reply() {
  const ArpFrame request = ArpRequest(kThem, kTheirs, kOurs);
  std::vector<std::uint8_t> frame(request.begin(), request.end());
  frame[7] = 2;
  std::copy(kUs.begin(), kUs.end(), frame.begin() + 18);
  return frame;
}

TEST(ArpReplyTo, OnlyAReplyToOurAddressFromAUnicastMachine) {
  const struct {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint8_t>> changes;  // byte, value
    std::size_t size;
    bool kept;
  } cases[] = {
      {"a reply", {}, kArpFrameSize, true},
      {"padded to Ethernet's least size", {}, 46, true},
      {"cut short", {}, kArpFrameSize - 1, false},
      {"a request", {{7, 1}}, kArpFrameSize, false},
      {"not Ethernet", {{1, 6}}, kArpFrameSize, false},
      {"not IPv4", {{2, 0x86}, {3, 0xDD}}, kArpFrameSize, false},
      {"hardware length", {{4, 8}}, kArpFrameSize, false},
      {"protocol length", {{5, 16}}, kArpFrameSize, false},
      {"to another address", {{27, 2}}, kArpFrameSize, false},
      {"from a group address", {{8, 0x01}}, kArpFrameSize, false},
      {"from the zero address", {{8, 0}, {13, 0}}, kArpFrameSize, false},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> frame = Reply();
    for (const auto& [at, value] : c.changes) frame[at] = value;
    frame.resize(std::max(frame.size(), c.size));
    const std::optional<Neighbour> sender = ArpReplyTo(kOurs, frame.data(), c.size);
    ASSERT_EQ(sender.has_value(), c.kept) << c.name;
    if (!sender) continue;
    EXPECT_EQ(sender->address, kTheirs) << c.name;
    EXPECT_EQ(sender->hardware, kThem) << c.name;
    EXPECT_TRUE(sender->reachable) << c.name;
  }
}

}  // namespace
}  // namespace os::posix
