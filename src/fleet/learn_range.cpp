#include "fleet/learn_range.h"

#include <algorithm>

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

std::vector<std::uint32_t> RangeCorners(const LearnRange& range) {
  return {os::HToNl(range.network), os::HToNl(range.First()), os::HToNl(range.Last())};
}

bool OnOneAttachedLink(const LearnRange& range,
                       const std::vector<std::optional<os::Route>>& corners) {
  bool attached = false;
  for (const std::optional<os::Route>& route : corners) {
    if (!route || route->interface_index != corners.front()->interface_index) return false;
    // The machine's own address (and, on older kernels, the network address) has a host
    // route of its own on the link: it neither proves nor breaks the range.
    if (!route->direct && route->prefix_bits == 32) continue;
    if (!route->direct || route->prefix_bits > range.bits) return false;
    attached = true;
  }
  return attached;
}

}  // namespace trolvane
