#include "fleet/learn_range.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "net/udp_socket.h"
#include "platform/winsock.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"

namespace trolvane {

std::optional<LearnRange> ParseLearnRange(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view address_text = text.substr(0, slash), bits_text = text.substr(slash + 1);
  // The platform's parser takes fewer fields and stops at a blank; a range names all four.
  if (std::count(address_text.begin(), address_text.end(), '.') != 3 ||
      text.find_first_of(" \t") != std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<std::uint32_t> address = TIpSocket::ParseAddress(address_text);
  const std::optional<std::int32_t> bits = ParseInteger(bits_text);
  if (!address || !bits || *bits < kLearnBitsLeast || *bits > kLearnBitsMost) return std::nullopt;
  return LearnRange{os::NToHl(*address) & ~(std::uint32_t{0xFFFFFFFF} >> *bits), *bits};
}

std::string LearnRangeText(const LearnRange& range) {
  return DottedQuad(os::HToNl(range.network)) + "/" + IntToText(range.bits);
}

RangeLink RangeLinkOf(const LearnRange& range, const std::vector<Machine>& machines) {
  RangeLink link;
  link.bits = std::numeric_limits<int>::max();
  bool on_link = false;
  std::unordered_set<std::uint32_t> broadcasts;
  std::vector<std::uint32_t> unknown;
  for (const Machine& m : machines) {
    if (m.path.kind == PathKind::kUnknown) unknown.push_back(m.address);
    if (m.path.kind != PathKind::kLink) continue;
    if ((on_link && m.path.interface_index != link.interface_index) || m.path.own_prefix_bits < 1) {
      return RangeLink{};
    }
    on_link = true;
    link.interface_index = m.path.interface_index;
    // Each path names the longest own prefix that holds its address: the shortest of them
    // is the longest that holds every address of the range.
    link.bits = std::min(link.bits, m.path.own_prefix_bits);
    if (m.path.link_broadcast) broadcasts.insert(*m.path.link_broadcast);
  }
  if (!on_link || link.bits > range.bits) return RangeLink{};
  // The broadcast of a narrower own prefix inside the range names no one: the system
  // routes it as a broadcast, and the path is no machine's.
  link.unrouted = static_cast<std::size_t>(std::count_if(
      unknown.begin(), unknown.end(), [&](std::uint32_t a) { return broadcasts.count(a) == 0; }));
  link.verdict = link.unrouted > 0 ? RangeLink::Verdict::kUnrouted : RangeLink::Verdict::kOnLink;
  return link;
}

}  // namespace trolvane
