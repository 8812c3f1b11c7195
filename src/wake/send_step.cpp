#include <exception>

#include "net/udp_socket.h"
#include "text/messages.h"
#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::SendMagicPacket() {
  TUdpSocket socket;
  SendPacketTo(socket, HostAddress());
  if (MaskBits() != -1) SendPacketTo(socket, GetBroadcastAddress());
}

void TMagicPacket::SendPacketTo(TUdpSocket& socket, const std::string& address) {
  try {
    socket.SetRemoteHost(address);
    socket.SetRemotePort(PortText());
    socket.Activate();
    MagicPacketBytes packet;
    BuildMagicPacket(MacAddress(), packet);
    socket.SendBuffer(reinterpret_cast<const char*>(packet.data()), kMagicPacketSize, 0);
    socket.Deactivate();
  } catch (const std::exception& e) {
    throw EMagicPacketSendException(std::string(msg::kSendFailed) + e.what());
  }
}

}  // namespace trolvane
