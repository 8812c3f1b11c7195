#include <string>

#include "net/icmp_client.h"
#include "platform/process.h"
#include "text/dotted_quad.h"
#include "text/messages.h"
#include "wake/confirm_schedule.h"
#include "wake/magic_packet.h"
#include "wake/progress_line.h"

namespace trolvane {

void TMagicPacket::ConfirmBoot() {
  // An address the packet could not go to gets no echo request either.
  const Destinations& to = Targets();
  if (!to.host) throw EBootFaultException(msg::kBootPingError);
  TNetIcmpClient client;  // a failure to create it passes on unchanged
  client.SetHost(DottedQuad(*to.host));
  ProgressLine progress(Status());  // gone, and so erased, before any error line
  const std::int64_t budget = PingTimeout() > 0 ? PingTimeout() : -1;
  const ConfirmSeams seams{
      .clock = os::MicroTicks,
      .pause = os::PauseMicroseconds,
      .send =
          [&client](std::size_t) {
            try {
              client.SendNextRequest();
              return true;
            } catch (const std::exception&) {
              return false;
            }
          },
      .receive = [&client](std::int32_t timeout) -> std::optional<HostAnswer> {
        const TReplyStatus reply = client.AwaitReply(timeout);
        if (reply.Status == TReplyStatusKind::rkTimedOut) return std::nullopt;
        return HostAnswer{0, reply.Status};
      },
      .own_machine = {},
      .confirmed = {},
      .waiting = [&](std::uint64_t elapsed) { progress.Show(elapsed, budget); },
  };
  HostOutcome outcome;
  try {
    // One socket for the whole wait: a late answer to an earlier request still counts.
    client.BeginSeries();
    outcome = ConfirmHosts(1, PingTimeout(), seams).front();
  } catch (...) {
    throw EBootFaultException(msg::kBootPingError);
  }
  switch (outcome) {
    case HostOutcome::kConfirmed:
      progress.Erase();
      WriteCheckedLine(Writer(), std::string(msg::kBootConfirmedBefore) + HostAddress() +
                                     msg::kBootConfirmedAfter);
      return;
    case HostOutcome::kTimedOut:
      throw EBootFaultException(msg::kBootPingTimeout);
    default:
      throw EBootFaultException(msg::kBootPingError);
  }
}

}  // namespace trolvane
