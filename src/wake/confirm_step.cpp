#include <string>

#include "net/icmp_client.h"
#include "text/messages.h"
#include "wake/confirm_wiring.h"
#include "wake/magic_packet.h"

namespace trolvane {

void TMagicPacket::ConfirmBoot() {
  // An address the packet could not go to gets no echo request either.
  const Destinations& to = Targets();
  if (!to.host) {
    throw EBootFaultException(msg::kBootNotConfirmed + NotConfirmedReason(HostOutcome::kError));
  }
  TNetIcmpClient client;  // a failure to create it passes on unchanged
  client.SetHost(*to.host);
  std::vector<std::vector<MachineCheck::Machine>> woken(1);
  try {
    woken[0].push_back({0, MacOf(Packet())});
  } catch (const EArgsException&) {
    // No MAC was woken, so none can be told apart.
  }
  ConfirmWiring wait(
      Settings(), {{*to.host}, std::move(woken), {}, -1}, Status(),
      [this](std::size_t) { WriteCheckedLine(Writer(), ConfirmedLine(HostAddress())); });
  // One socket for the whole wait: a late answer to an earlier request still counts.
  client.BeginSeries();
  const EchoExchange exchange{
      .send = [&client](std::size_t) { client.SendNextRequest(); },
      .receive = [&client](std::int32_t wait) -> std::optional<HostAnswer> {
        const TReplyStatus reply = client.AwaitReply(wait);
        if (reply.Status == TReplyStatusKind::rkTimedOut) return std::nullopt;
        return HostAnswer{0, reply.Status == TReplyStatusKind::rkEchoReply};
      },
  };
  const HostOutcome outcome = wait.Run(exchange,
                                       [this](std::size_t) {
                                         try {
                                           SendMagicPacket();
                                         } catch (const std::exception&) {
                                           // The first packet went out; a repeat that cannot is no
                                           // reason to stop asking.
                                         }
                                       })
                                  .front();
  if (outcome != HostOutcome::kConfirmed) {
    throw EBootFaultException(msg::kBootNotConfirmed + wait.Reason(0, outcome));
  }
}

}  // namespace trolvane
