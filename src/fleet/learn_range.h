// The subnet a "/l" run learns: "ADDRESS/BITS", four decimal fields of 0 to 255 and 16 to
// 30 mask bits. Any address of the subnet names it ("192.168.12.7/24" is 192.168.12.0/24).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace trolvane
