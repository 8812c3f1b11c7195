#include <algorithm>

#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::BuildMagicPacket(std::string_view mac_text, MagicPacketBytes& packet) {
  constexpr int kMacLength = 6;
  std::array<std::uint8_t, kMacLength> mac{};
  TStringList fields;
  fields.SplitFields(mac_text, '-');
  bool ok = fields.LineCount() == kMacLength;
  for (int i = 0; ok && i < kMacLength; ++i) {
    std::string field = "$";  // the fields are hexadecimal without a prefix
    field += TrimBlanks(fields.LineAt(i));
    std::optional<std::int32_t> value = ParseInteger(field);
    ok = value.has_value();
    if (ok) mac[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*value & 0xFF);
  }
  if (!ok) throw EArgsException(std::string(msg::kMacAddressError) + std::string(mac_text));

  for (std::size_t k = 0; k < kMacLength; ++k) packet[k] = 0xFF;
  for (std::size_t k = 0; k < kMagicPacketSize - kMacLength; ++k) {
    packet[kMacLength + k] = mac[k % kMacLength];
  }
}

os::HardwareAddress TMagicPacket::MacOf(const MagicPacketBytes& packet) {
  os::HardwareAddress mac{};
  std::copy_n(packet.begin() + mac.size(), mac.size(), mac.begin());
  return mac;
}

}  // namespace trolvane
