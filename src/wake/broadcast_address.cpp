#include "wake/broadcast_address.h"

#include "net/udp_socket.h"
#include "platform/winsock.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/destinations.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

constexpr int kFieldCount = 4;

}  // namespace

std::uint32_t DirectedBroadcastOf(std::string_view host, std::int32_t mask_bits,
                                  std::uint32_t* address_used) {
  if (!IsMaskBits(mask_bits)) throw EArgsException(msg::kBadMaskBits);
  TStringList fields;
  fields.SplitFields(host, '.');
  if (fields.LineCount() != kFieldCount) throw EArgsException(msg::kBadHostAddress);
  for (int i = 0; i < kFieldCount; ++i) TextToInt(fields.LineAt(i));
  // The subnet of the address the packet goes to: 198.18.0100.5 is 198.18.64.5, whose
  // broadcast is 198.18.64.255, never 198.18.100.255.
  const std::optional<std::uint32_t> address = TIpSocket::ParseAddress(host);
  if (!address) throw EArgsException(msg::kBadHostAddress);
  if (address_used != nullptr) *address_used = *address;
  return BroadcastOf(*address, mask_bits);
}

std::uint32_t BroadcastOf(std::uint32_t address, int prefix_bits) {
  return address | os::HToNl(static_cast<std::uint32_t>(0xFFFFFFFFull >> prefix_bits));
}

std::string TMagicPacket::GetBroadcastAddress() const {
  return DottedQuad(DirectedBroadcastOf(HostAddress(), MaskBits()));
}

}  // namespace trolvane
