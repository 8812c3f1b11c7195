#include <string>

#include "net/icmp_client.h"
#include "net/net_exceptions.h"
#include "platform/process.h"
#include "text/messages.h"
#include "wake/confirm_schedule.h"
#include "wake/machine_check.h"
#include "wake/magic_packet.h"
#include "wake/port_probes.h"
#include "wake/progress_line.h"

namespace trolvane {

void TMagicPacket::ConfirmBoot() {
  // An address the packet could not go to gets no echo request either.
  const Destinations& to = Targets();
  if (!to.host) throw EBootFaultException(msg::kBootPingError);
  TNetIcmpClient client;  // a failure to create it passes on unchanged
  client.SetHost(*to.host);
  PortProbes probes(ProbePorts(), {*to.host});
  std::vector<std::vector<MachineCheck::Machine>> woken(1);
  try {
    MagicPacketBytes packet;
    BuildMagicPacket(MacAddress(), packet);
    woken[0].push_back({0, MacOf(packet)});
  } catch (const EArgsException&) {
    // No MAC was woken, so none can be told apart.
  }
  MachineCheck machine(MacCheck(), {*to.host}, std::move(woken));
  ProgressLine progress(Status());  // gone, and so erased, before any error line
  const std::int64_t budget = PingTimeout() > 0 ? PingTimeout() : -1;
  const ConfirmSeams seams{
      .clock = os::MicroTicks,
      .pause = os::PauseMicroseconds,
      .send =
          [&](std::size_t) {
            if (probes.IcmpIsLost()) return false;
            try {
              client.SendNextRequest();
              return true;
            } catch (const ENetInvalidSocket&) {
              if (probes.Any()) probes.IcmpLost();  // the ports can still answer
              return false;
            } catch (const std::exception&) {
              return false;
            }
          },
      .probe = probes.Seam(),
      .receive =
          [&](std::int32_t timeout) {
            return probes.Receive(
                timeout, [&client](std::int32_t wait) -> std::optional<HostAnswer> {
                  const TReplyStatus reply = client.AwaitReply(wait);
                  if (reply.Status == TReplyStatusKind::rkTimedOut) return std::nullopt;
                  return HostAnswer{0, reply.Status == TReplyStatusKind::rkEchoReply};
                });
          },
      .wake_again =
          [&](std::size_t) {
            try {
              SendMagicPacket();
            } catch (const std::exception&) {
              // The first packet went out; a repeat that cannot is no reason to stop asking.
            }
          },
      .own_machine = [&](std::size_t i, bool read) { return machine.Judge(i, read); },
      .settle = [&](bool force) { return machine.Settle(force); },
      .confirmed = {},
      .waiting = [&](std::uint64_t elapsed) { progress.Show(elapsed, budget); },
      .needs_place = {},  // one address needs one entry
      .take_place = {},
  };
  HostOutcome outcome;
  try {
    // One socket for the whole wait: a late answer to an earlier request still counts.
    client.BeginSeries();
    outcome = ConfirmHosts(1, PingTimeout(), seams, 1 + ProbePorts().size(), SendCount()).front();
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
    case HostOutcome::kOtherMachine:
      throw EBootFaultException(msg::kBootNotConfirmed + machine.Reason(0));
    default:
      throw EBootFaultException(msg::kBootPingError);
  }
}

}  // namespace trolvane
