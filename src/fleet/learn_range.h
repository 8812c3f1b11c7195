// The subnet a "/l" run learns: "ADDRESS/BITS", an address read as "/h" reads one (four
// fields; a leading 0 is octal) and 16 to 30 mask bits. Any address of the subnet names
// it ("192.168.12.7/24" is 192.168.12.0/24). It must lie inside one attached subnet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wake/roster.h"

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

// What the paths of a range's addresses say of it. It lies on one attached link that
// resolves addresses when every address it may ask is on that link, inside one of the
// link's own prefixes (whose bits each line of the list carries); an address routed
// through a gateway, this machine's own or a tunnel's is left alone. An address the system
// could not route at all (its link down while the paths were read) leaves the range
// unrouted: a sweep would miss its machines without a word.
struct RangeLink {
  enum class Verdict : std::uint8_t { kOnLink, kNotOnOneLink, kUnrouted };
  Verdict verdict = Verdict::kNotOnOneLink;
  std::uint32_t interface_index = 0;
  int bits = 0;
  std::size_t unrouted = 0;
};
RangeLink RangeLinkOf(const LearnRange& range, const std::vector<Machine>& machines);

}  // namespace trolvane
