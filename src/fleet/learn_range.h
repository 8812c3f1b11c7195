// The subnet a "/l" run learns: "ADDRESS/BITS", an address read as "/h" reads one (four
// fields; a leading 0 is octal) and 16 to 30 mask bits. Any address of the subnet names
// it ("192.168.12.7/24" is 192.168.12.0/24). It must lie inside one attached subnet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/neighbours.h"

namespace trolvane {

struct LearnRange {
  std::uint32_t network = 0;  // host order
  int bits = 0;
  // The first and last address of the subnet that names one host.
  std::uint32_t First() const { return network + 1; }
  std::uint32_t Last() const { return network + (std::uint32_t{0xFFFFFFFF} >> bits) - 1; }
};

inline constexpr int kLearnBitsLeast = 16;
inline constexpr int kLearnBitsMost = 30;

std::optional<LearnRange> ParseLearnRange(std::string_view text);
// "192.168.12.0/24".
std::string LearnRangeText(const LearnRange& range);

// The addresses (network order) whose routes say whether the range is attached: its first
// and last address.
std::vector<std::uint32_t> RangeCorners(const LearnRange& range);
// The interface whose link holds the whole range, when the routes to the corners put it
// inside the subnet of one of the link's own addresses, so that no request goes through a
// router or to the link's broadcast; none otherwise.
std::optional<std::uint32_t> AttachedLinkOf(const LearnRange& range,
                                            const std::vector<std::optional<os::Route>>& corners);

}  // namespace trolvane
