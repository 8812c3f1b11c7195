#include <exception>

#include "net/udp_socket.h"
#include "text/messages.h"
#include "wake/destinations.h"
#include "wake/magic_packet.h"

namespace trolvane {

const Destinations& TMagicPacket::Targets() {
  if (target_) return *target_;
  Destinations to = ResolveDestinations(HostAddress(), MaskBits());
  if (to.host && MaskBits() == kNoMaskBits) {
    try {
      const LinkHost host{*to.host, MacOf(Packet()), os::RoutesTo({*to.host}).front()};
      to.broadcast = LinkBroadcasts({host}).front();
    } catch (const EArgsException&) {
      // A MAC that cannot be read is refused when the packet is built.
    }
  }
  target_ = to;
  return *target_;
}

void TMagicPacket::SendMagicPacket() {
  const Destinations to = Targets();  // a refused host raises before anything goes out
  TUdpSocket socket;
  SendPacketTo(socket, to.host);
  if (to.broadcast) SendPacketTo(socket, to.broadcast);
}

const MagicPacketBytes& TMagicPacket::Packet() {
  if (!packet_ && !mac_error_) {
    try {
      BuildMagicPacket(MacAddress(), packet_.emplace());
    } catch (const EArgsException& e) {
      packet_.reset();
      mac_error_ = e;
    }
  }
  if (mac_error_) throw *mac_error_;
  return *packet_;
}

void TMagicPacket::SendPacketTo(TUdpSocket& socket, std::optional<std::uint32_t> address) {
  try {
    if (!address) {
      TIpSocket::ResolvePortText(PortText());
      Packet();
      return;
    }
    socket.SetRemoteAddress(*address);
    socket.SetRemotePort(PortText());
    socket.Activate();
    const MagicPacketBytes& packet = Packet();
    socket.SendBuffer(reinterpret_cast<const char*>(packet.data()), kMagicPacketSize, 0);
    socket.Deactivate();
  } catch (const std::exception& e) {
    throw EMagicPacketSendException(std::string(msg::kSendFailed) + e.what());
  }
}

}  // namespace trolvane
