#include "wake/broadcast_address.h"

#include <cstring>

#include "net/udp_socket.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

constexpr int kFieldCount = 4;

}  // namespace

std::uint32_t DirectedBroadcastOf(std::string_view host, std::int32_t mask_bits) {
  // A typo such as 47 would otherwise be taken modulo 32 and name another network.
  if (mask_bits < 0 || mask_bits > 32) throw EArgsException(msg::kBadMaskBits);
  TStringList fields;
  fields.SplitFields(host, '.');
  if (fields.LineCount() != kFieldCount) throw EArgsException(msg::kBadHostAddress);
  for (int i = 0; i < kFieldCount; ++i) TextToInt(fields.LineAt(i));
  // The subnet of the address the packet goes to: 198.18.0100.5 is 198.18.64.5, whose
  // broadcast is 198.18.64.255, never 198.18.100.255.
  const std::optional<std::uint32_t> address = TIpSocket::ParseAddress(host);
  if (!address) throw EArgsException(msg::kBadHostAddress);
  const auto host_bits = static_cast<std::uint32_t>(0xFFFFFFFFull >> mask_bits);
  AddressBytes bytes{};
  std::memcpy(bytes.data(), &*address, bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] |= static_cast<std::uint8_t>(host_bits >> (24 - 8 * i));
  }
  std::uint32_t broadcast = 0;
  std::memcpy(&broadcast, bytes.data(), bytes.size());
  return broadcast;
}

std::string DirectedBroadcast(std::string_view host, std::int32_t mask_bits) {
  return DottedQuad(DirectedBroadcastOf(host, mask_bits));
}

std::string TMagicPacket::GetBroadcastAddress() const {
  return DirectedBroadcast(HostAddress(), MaskBits());
}

}  // namespace trolvane
