#include <cstring>
#include <exception>

#include "net/udp_socket.h"
#include "text/dotted_quad.h"
#include "text/messages.h"
#include "wake/broadcast_address.h"
#include "wake/magic_packet.h"

namespace trolvane {

const std::optional<std::string>& TMagicPacket::TargetAddress() {
  if (HostAddress().empty()) throw EArgsException(msg::kBadHostAddress);
  if (!target_.resolved) {
    target_.address.reset();
    if (std::optional<std::uint32_t> numeric = TIpSocket::ResolveHostAddress(HostAddress())) {
      if (*numeric == 0) throw EArgsException(msg::kBadHostAddress);
      AddressBytes bytes{};
      std::memcpy(bytes.data(), &*numeric, bytes.size());
      target_.address = DottedQuad(bytes);
    }
    target_.resolved = true;
  }
  return target_.address;
}

void TMagicPacket::SendMagicPacket() {
  const std::optional<std::string> host = TargetAddress();
  // Checked before anything goes out, unlike the broadcast's other failures.
  if (MaskBits() != -1 && HasFieldOutOfRange(HostAddress())) {
    throw EArgsException(msg::kBadHostAddress);
  }
  TUdpSocket socket;
  SendPacketTo(socket, host);
  if (MaskBits() != -1) SendPacketTo(socket, GetBroadcastAddress());
}

void TMagicPacket::SendPacketTo(TUdpSocket& socket, const std::optional<std::string>& address) {
  try {
    MagicPacketBytes packet;
    if (!address) {
      TIpSocket::ResolvePortText(PortText());
      BuildMagicPacket(MacAddress(), packet);
      return;
    }
    socket.SetRemoteHost(*address);
    socket.SetRemotePort(PortText());
    socket.Activate();
    BuildMagicPacket(MacAddress(), packet);
    socket.SendBuffer(reinterpret_cast<const char*>(packet.data()), kMagicPacketSize, 0);
    socket.Deactivate();
  } catch (const std::exception& e) {
    throw EMagicPacketSendException(std::string(msg::kSendFailed) + e.what());
  }
}

}  // namespace trolvane
