#include <algorithm>
#include <cstdint>
#include <string>

#include "net/icmp_client.h"
#include "platform/process.h"
#include "text/messages.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

constexpr std::uint32_t kPingInterval = 1000;

// A machine that is still off cannot answer a request sent while it was off, so with a
// positive time-out the host gets one request per second until it answers or the time
// is up. Gives the kind of the last answer.
TReplyStatusKind PingUntilAnswered(TNetIcmpClient& client, std::int32_t timeout) {
  if (timeout <= 0) {
    client.SetReceiveTimeout(timeout);
    client.Ping();
    return client.LastReply().Status;
  }
  const auto budget = static_cast<std::uint32_t>(timeout);
  const std::uint32_t start = os::TickCount();
  TReplyStatusKind last = TReplyStatusKind::rkTimedOut;
  for (;;) {
    std::uint32_t elapsed = TickDiff(start, os::TickCount());
    if (elapsed >= budget) return last;
    // Each request waits for the rest of its second, never past the time-out.
    const auto second_end = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        (elapsed / kPingInterval + 1) * std::uint64_t{kPingInterval}, budget));
    client.SetReceiveTimeout(static_cast<std::int32_t>(second_end - elapsed));
    client.Ping();
    last = client.LastReply().Status;
    if (last == TReplyStatusKind::rkEchoReply) return last;
    // An early answer of another kind must not speed up the requests.
    elapsed = TickDiff(start, os::TickCount());
    if (elapsed < second_end) os::Sleep(second_end - elapsed);
  }
}

}  // namespace

void TMagicPacket::ConfirmBoot() {
  TNetIcmpClient client;  // a failure to create it passes on unchanged
  client.SetHost(HostAddress());
  TReplyStatusKind kind;
  try {
    kind = PingUntilAnswered(client, PingTimeout());
  } catch (...) {
    throw EBootFaultException(msg::kBootPingError);
  }
  switch (kind) {
    case TReplyStatusKind::rkEchoReply:
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
