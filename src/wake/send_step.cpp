#include <exception>

#include "net/udp_socket.h"
#include "text/messages.h"
#include "wake/destinations.h"
#include "wake/magic_packet.h"
#include "wake/pacer.h"
#include "wake/report.h"
#include "wake/roster.h"

namespace trolvane {

Roster& TMagicPacket::Target() {
  if (target_) return *target_;
  RosterLine line;
  line.to = ResolveDestinations(HostAddress(), MaskBits());
  if (!line.to.host) {
    line.outcome = Outcome::Error({Failure::Cause::kNameNotResolved, line.to.lookup_error});
  }
  line.host = HostAddress();
  line.mask_bits = MaskBits();
  try {
    line.mac = ParseMac(MacAddress());
  } catch (const EArgsException&) {
    // A MAC that cannot be read is refused when the packet is built.
  }
  target_.emplace(std::vector<RosterLine>{std::move(line)});
  return *target_;
}

void TMagicPacket::SendMagicPacket() {
  Roster& target = Target();  // a refused host raises before anything goes out
  RosterLine& line = target.lines[0];
  using As = WakeSent::As;
  std::vector<std::pair<std::optional<std::uint32_t>, As>> to;
  if (line.unicast) to.emplace_back(line.to.host, As::kUnicast);
  if (line.broadcast) {
    to.emplace_back(line.broadcast,
                    line.link_broadcast ? As::kLinkBroadcast : As::kDirectedBroadcast);
  }
  TUdpSocket socket;
  // Its own pace: two datagrams a gap apart, before the wait's loop begins.
  Pacer pacer(kRequestGapUs, kNever);
  target.begun_us = Results().begun_us;
  line.sent.clear();
  // The socket tells a failed call only to its event; a datagram that did not go is not
  // told as sent.
  bool failed = false;
  socket.OnError = [&failed](TBaseSocket&, int) { failed = true; };
  for (const auto& [address, as] : to) {
    pacer.PauseUntil(pacer.NextSlot());
    const std::uint64_t started = pacer.Now();
    failed = false;
    SendPacketTo(socket, address);
    if (address && !failed)
      line.sent.push_back({*address, as, os::MicroTicks() - *target.begun_us});
    pacer.Sent(started);
  }
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

void TMagicPacket::PlanMagicPacket() {
  Roster& target = Target();  // a refused host raises, as when sending
  try {
    TIpSocket::ResolvePortText(PortText());
    Packet();
  } catch (const std::exception& e) {
    throw EMagicPacketSendException(std::string(msg::kSendFailed) + e.what());
  }
  Results().Plan(target, {Settings().probe_ports});
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
