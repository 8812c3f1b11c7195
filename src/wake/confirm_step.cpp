#include <string>

#include "net/udp_socket.h"
#include "text/messages.h"
#include "wake/magic_packet.h"
#include "wake/roster.h"
#include "wake/socket_wire.h"

namespace trolvane {

void TMagicPacket::ConfirmBoot() {
  // The wait's record starts afresh each run; the path read with the send step stays.
  Roster roster = Target();
  RosterLine& line = roster.lines[0];
  // An address the packet could not go to gets no echo request either.
  if (!line.to.host) {
    throw EBootFaultException(msg::kBootNotConfirmed + NotConfirmedReason(roster, 0));
  }
  line.wakes = 1;  // the send step's
  line.delivered = true;
  std::uint16_t port = 0;
  RunSettings settings = Settings();
  try {
    port = static_cast<std::uint16_t>(TIpSocket::ResolvePortText(PortText()));
  } catch (const std::exception&) {
    settings.send_count = 1;  // a port the send step refused repeats nothing
  }
  ClientExchange echo(*line.to.host);  // a failure to create it passes on unchanged
  WaitOnSockets(roster, echo, settings, port, Status(), -1,
                [this](std::size_t) { WriteCheckedLine(Writer(), ConfirmedLine(HostAddress())); });
  if (!line.outcome.Confirmed()) {
    throw EBootFaultException(msg::kBootNotConfirmed + NotConfirmedReason(roster, 0));
  }
}

}  // namespace trolvane
