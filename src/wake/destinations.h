// Where one host's datagrams and echo requests go: the one rule that turns a host text and
// its mask bits into addresses, or into the reason they are refused, for a single host and
// for every line of a list.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace trolvane {

// Mask bits are 0..32; a host given none has kNoMaskBits. A typo such as 47 would
// otherwise be taken modulo 32 and name another network.
inline constexpr std::int32_t kNoMaskBits = -1;
inline bool IsMaskBits(std::int32_t bits) { return bits >= 0 && bits <= 32; }

struct Destinations {
  // Network order; none when the text names no address (an unknown name, a digit-led
  // text the platform's parser refuses): nothing is sent and the host is a ping error.
  std::optional<std::uint32_t> host;
  // Without a host: the resolver's error for the name (Windows Sockets numbering).
  int lookup_error = 0;
  // With mask bits: the host's address with every host bit set.
  std::optional<std::uint32_t> broadcast;
};

// The host text is read once, by the UDP client's rule. Raises EArgsException for an
// empty text, for 0.0.0.0 (this machine), for mask bits outside 0..32 (kBadMaskBits) and,
// with mask bits, for a text that is not four dotted fields the platform's parser reads
// as an address; EConvertError for the first field that is no integer. With mask bits
// nothing is looked up by name.
Destinations ResolveDestinations(std::string_view host, std::int32_t mask_bits);

}  // namespace trolvane
