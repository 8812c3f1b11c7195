#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"

namespace trolvane {

std::string TMagicPacket::GetBroadcastAddress() const {
  TStringList fields;
  fields.SplitFields(HostAddress(), '.');
  if (fields.LineCount() != 4) throw EArgsException(msg::kBadHostAddress);
  // Fields are added, not or-ed, and any 32-bit value is taken: 192.168.0.256 carries
  // into the third part, bits above the top are lost.
  std::uint32_t address = 0;
  for (int i = 0; i < 4; ++i) {
    auto field = static_cast<std::uint32_t>(TextToInt(fields.LineAt(i)));
    address += field << (24 - 8 * i);
  }
  std::uint32_t host_bits = 0xFFFFFFFFu >> (static_cast<std::uint32_t>(MaskBits()) & 31u);
  std::uint32_t broadcast = address | host_bits;
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (!text.empty()) text += '.';
    text += IntToText(static_cast<std::int32_t>((broadcast >> shift) & 0xFF));
  }
  return text;
}

}  // namespace trolvane
