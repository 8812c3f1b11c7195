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
  return {os::HToNl(range.First()), os::HToNl(range.Last())};
}

std::optional<std::uint32_t> AttachedLinkOf(const LearnRange& range,
                                            const std::vector<std::optional<os::Route>>& corners) {
  using Route = os::Route;
  std::optional<std::uint32_t> link;
  for (const std::optional<Route>& route : corners) {
    if (!route) return std::nullopt;
    // The machine's own address neither proves nor breaks the range.
    if (route->via == Route::Via::kThisMachine) continue;
    if (route->via != Route::Via::kLink || route->medium != Route::Medium::kBroadcast ||
        route->own_prefix_bits < 1 || route->own_prefix_bits > range.bits ||
        (link && *link != route->interface_index)) {
      return std::nullopt;
    }
    link = route->interface_index;
  }
  return link;
}

}  // namespace trolvane
