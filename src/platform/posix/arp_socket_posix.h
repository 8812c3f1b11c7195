// The frames of the Linux ARP socket (Ethernet hardware, IPv4 protocol addresses), as a
// packet socket of type SOCK_DGRAM hands them over: without the Ethernet header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/neighbours.h"

namespace os::posix {

constexpr std::size_t kArpFrameSize = 28;
using ArpFrame = std::array<std::uint8_t, kArpFrameSize>;

// Who has `target`? Asked by `sender` at its address `own` (addresses in network order).
ArpFrame ArpRequest(const HardwareAddress& sender, std::uint32_t own, std::uint32_t target);

// The machine that answered, when frame is an ARP reply to `own` from a unicast hardware
// address; none for anything else.
std::optional<Neighbour> ArpReplyTo(std::uint32_t own, const std::uint8_t* frame, std::size_t size);

}  // namespace os::posix
