#include "wake/broadcast_address.h"

#include <array>
#include <optional>

#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

constexpr int kFieldCount = 4;

TStringList HostFields(std::string_view host) {
  TStringList fields;
  fields.SplitFields(host, '.');
  return fields;
}

bool IsOctet(std::int32_t value) { return value >= 0 && value <= 255; }

}  // namespace

std::string DirectedBroadcast(std::string_view host, std::int32_t mask_bits) {
  const TStringList fields = HostFields(host);
  if (fields.LineCount() != kFieldCount) throw EArgsException(msg::kBadHostAddress);
  std::array<std::int32_t, kFieldCount> octets{};
  for (int i = 0; i < kFieldCount; ++i) octets[i] = TextToInt(fields.LineAt(i));
  std::uint32_t address = 0;
  for (std::int32_t octet : octets) {
    if (!IsOctet(octet)) throw EArgsException(msg::kBadHostAddress);
    address = address << 8 | static_cast<std::uint32_t>(octet);
  }
  const std::uint32_t host_bits = 0xFFFFFFFFu >> (static_cast<std::uint32_t>(mask_bits) & 31u);
  const std::uint32_t broadcast = address | host_bits;
  AddressBytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(broadcast >> (24 - 8 * i));
  }
  return DottedQuad(bytes);
}

bool HasFieldOutOfRange(std::string_view host) {
  const TStringList fields = HostFields(host);
  if (fields.LineCount() != kFieldCount) return false;
  bool out_of_range = false;
  for (int i = 0; i < kFieldCount; ++i) {
    const std::optional<std::int32_t> octet = ParseInteger(fields.LineAt(i));
    if (!octet) return false;
    out_of_range = out_of_range || !IsOctet(*octet);
  }
  return out_of_range;
}

std::string TMagicPacket::GetBroadcastAddress() const {
  return DirectedBroadcast(HostAddress(), MaskBits());
}

}  // namespace trolvane
