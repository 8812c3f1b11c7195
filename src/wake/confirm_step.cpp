#include <string>

#include "net/icmp_client.h"
#include "platform/process.h"
#include "text/messages.h"
#include "wake/confirm_schedule.h"
#include "wake/magic_packet.h"
#include "wake/progress_line.h"

namespace trolvane {

void TMagicPacket::ConfirmBoot() {
  // An address the packet could not go to gets no echo request either.
  const std::optional<std::string> target = TargetAddress();
  if (!target) throw EBootFaultException(msg::kBootPingError);
  TNetIcmpClient client;  // a failure to create it passes on unchanged
  client.SetHost(*target);
  ProgressLine progress(Status());  // gone, and so erased, before any error line
  const std::int64_t budget = PingTimeout() > 0 ? PingTimeout() : -1;
  const ConfirmSeams seams{
      .clock = os::TickCount,
      .sleep = os::Sleep,
      .ping =
          [&client](std::int32_t timeout) {
            client.SetReceiveTimeout(timeout);
            client.Ping();
            return client.LastReply().Status;
          },
      .waiting = [&](std::uint64_t elapsed) { progress.Show(elapsed, budget); },
  };
  TReplyStatusKind kind;
  try {
    // One socket for the whole wait: a late answer to an earlier request still counts.
    client.BeginSeries();
    kind = PingUntilAnswered(PingTimeout(), seams);
  } catch (...) {
    throw EBootFaultException(msg::kBootPingError);
  }
  switch (kind) {
    case TReplyStatusKind::rkEchoReply:
      progress.Erase();
      WriteCheckedLine(Writer(), std::string(msg::kBootConfirmedBefore) + HostAddress() +
                                     msg::kBootConfirmedAfter);
      return;
    case TReplyStatusKind::rkTimedOut:
      throw EBootFaultException(msg::kBootPingTimeout);
    default:
      throw EBootFaultException(msg::kBootPingError);
  }
}

}  // namespace trolvane
