#include <algorithm>

#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"

namespace trolvane {

os::HardwareAddress TMagicPacket::ParseMac(std::string_view mac_text) {
  os::HardwareAddress mac{};
  TStringList fields;
  fields.SplitFields(mac_text, '-');
  bool ok = fields.LineCount() == static_cast<int>(mac.size());
  for (std::size_t i = 0; ok && i < mac.size(); ++i) {
    std::string field = "$";  // the fields are hexadecimal without a prefix
    field += TrimBlanks(fields.LineAt(static_cast<int>(i)));
    std::optional<std::int32_t> value = ParseInteger(field);
    ok = value.has_value();
    if (ok) mac[i] = static_cast<std::uint8_t>(*value & 0xFF);
  }
  if (!ok) throw EArgsException(std::string(msg::kMacAddressError) + std::string(mac_text));
  return mac;
}

MagicPacketBytes TMagicPacket::PacketOf(const os::HardwareAddress& mac) {
  MagicPacketBytes packet;
  std::fill_n(packet.begin(), mac.size(), 0xFF);
  for (std::size_t k = mac.size(); k < kMagicPacketSize; ++k) packet[k] = mac[k % mac.size()];
  return packet;
}

void TMagicPacket::BuildMagicPacket(std::string_view mac_text, MagicPacketBytes& packet) {
  packet = PacketOf(ParseMac(mac_text));
}

}  // namespace trolvane
