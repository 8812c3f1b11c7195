#include "wake/socket_wire.h"

#include <algorithm>
#include <cstring>

#include "net/net_exceptions.h"
#include "net/udp_socket.h"
#include "platform/process.h"
#include "wake/magic_packet.h"
#include "wake/progress_line.h"

namespace trolvane {
namespace {

// How long an ICMP wait may keep a finished connection attempt unheard.
constexpr std::int32_t kSliceMs = 10;

Heard HeardOf(TReplyStatusKind kind, std::uint32_t target, std::uint16_t sequence,
              IcmpReport icmp) {
  const bool reply = kind == TReplyStatusKind::rkEchoReply;
  Heard heard{reply ? Heard::Kind::kEchoReply : Heard::Kind::kIcmpError, target, sequence};
  if (!reply) heard.icmp = icmp;
  return heard;
}

}  // namespace

Sent SentOfCode(int code) {
  switch (code) {
    case 0:
      return Sent::kSent;
    case os::kWsaeNoBufs:
    case os::kWsaeWouldBlock:
    case os::kWsaeAddrNotAvail:  // no local port left for now
      return Sent::kBusy;
    case os::kWsaeMFile:
      return Sent::kNoDescriptor;
    case os::kWsaeNetDown:
    case os::kWsaeNetUnreach:
    case os::kWsaeHostUnreach:
      return Sent::kNoRoute;
    default:
      return Sent::kFailed;
  }
}

ClientExchange::ClientExchange(std::uint32_t host) : host_(host) {
  client_.SetHost(host);
  // One socket for the whole wait: a late answer to an earlier request still counts.
  client_.BeginSeries();
}

void ClientExchange::Send(std::uint32_t, std::uint16_t sequence) {
  client_.SendNextRequest(sequence);
}

std::optional<Heard> ClientExchange::Receive(std::int32_t timeout_ms) {
  const TReplyStatus reply = client_.AwaitReply(timeout_ms);
  if (reply.Status == TReplyStatusKind::rkTimedOut) return std::nullopt;
  // The client counts only its host's answers.
  const std::uint32_t from = TIpSocket::ParseAddress(reply.SourceAddress).value_or(0);
  return HeardOf(reply.Status, host_, reply.Sequence, {reply.IcmpType, reply.IcmpCode, from});
}

std::optional<Heard> SocketExchange::Receive(std::int32_t timeout_ms) {
  PacketView answer;
  if (!socket_.Receive(timeout_ms, &answer)) return std::nullopt;
  std::uint32_t from = 0;
  std::memcpy(&from, answer.source.data(), sizeof from);
  return HeardOf(answer.kind, answer.target, answer.sequence, {answer.type, answer.code, from});
}

SocketWire::SocketWire(EchoExchange& echo, bool ports) : echo_(echo) {
  if (ports) prober_ = std::make_unique<TTcpProber>();
}

Sent SocketWire::Noted(int code) {
  if (code != 0) last_error_ = code;
  return SentOfCode(code);
}

std::uint64_t SocketWire::Clock() { return os::MicroTicks(); }
void SocketWire::Pause(std::uint64_t us) { os::PauseMicroseconds(us); }

Sent SocketWire::Datagram(std::uint32_t address, std::uint16_t port,
                          const os::HardwareAddress& mac) {
  const MagicPacketBytes packet = TMagicPacket::PacketOf(mac);
  return Noted(datagrams_.SendTo(address, port, packet.data(), kMagicPacketSize));
}

Sent SocketWire::Echo(std::uint32_t address, std::uint16_t sequence) {
  try {
    echo_.Send(address, sequence);
    return Sent::kSent;
  } catch (const ENetInvalidSocket&) {
    icmp_lost_ = true;
    last_error_ = os::kWsaeAcces;
    return Sent::kNoSocket;
  } catch (const ENetSocketError& e) {
    return Noted(e.ErrorCode());
  } catch (const ENetException&) {
    last_error_ = 0;
    return Sent::kFailed;
  }
}

Sent SocketWire::Attempt(std::uint32_t address, std::uint16_t port) {
  return Noted(prober_->Start(address, port));
}

void SocketWire::Collect(std::int32_t timeout_ms) {
  finished_.clear();
  prober_->Poll(timeout_ms, &finished_);
  for (const ProbeResult& result : finished_) {
    Heard heard{Heard::Kind::kAccepted, result.address};
    heard.port = result.port;
    if (result.outcome == ProbeOutcome::kRefused) heard.kind = Heard::Kind::kRefused;
    if (result.outcome == ProbeOutcome::kAccepted || result.outcome == ProbeOutcome::kRefused) {
      heard_.push_back(heard);
    }
  }
}

// While attempts are open the ICMP wait is cut into short slices, so that both are heard.
std::optional<Heard> SocketWire::Receive(std::int32_t timeout_ms) {
  const bool attempts = prober_ != nullptr && prober_->OpenCount() + prober_->ReportPending() > 0;
  if (heard_.empty() && attempts) {
    Collect(icmp_lost_ ? timeout_ms : 0);
    if (heard_.empty() && !icmp_lost_) {
      if (std::optional<Heard> answer = echo_.Receive(std::min(timeout_ms, kSliceMs))) {
        return answer;
      }
      Collect(0);
    }
  }
  if (!heard_.empty()) {
    const Heard heard = heard_.front();
    heard_.pop_front();
    return heard;
  }
  if (attempts) return std::nullopt;
  if (icmp_lost_) {
    // Nothing else to hear until the next attempt.
    os::Sleep(static_cast<std::uint32_t>(std::max(timeout_ms, 0)));
    return std::nullopt;
  }
  return echo_.Receive(timeout_ms);
}

bool SocketWire::ReadTable(std::vector<os::Neighbour>* entries) {
  return os::ReadNeighbours(entries);
}
std::optional<std::uint32_t> SocketWire::TableLimit() { return os::NeighbourTableLimit(); }
std::optional<std::uint32_t> SocketWire::TableHeld() { return os::NeighboursHeld(); }

void WaitOnSockets(Roster& roster, EchoExchange& echo, const RunSettings& settings,
                   std::uint16_t wake_port, const StatusWriter& status, int total,
                   const std::function<void(std::size_t line)>& confirmed) {
  ProgressLine progress(status);
  WaitRules rules;
  rules.timeout = settings.ping_timeout;
  rules.wakes = settings.send_count;
  rules.wake_port = wake_port;
  rules.ports = settings.probe_ports;
  rules.mac_check = settings.mac_check;
  rules.retry_unreachable = total >= 0;  // a list rides out a link that flaps
  const std::int64_t budget = settings.ping_timeout > 0 ? settings.ping_timeout : -1;
  SocketWire wire(echo, !settings.probe_ports.empty());
  RunWait(roster, wire, rules,
          {.confirmed =
               [&](std::size_t line) {
                 progress.Erase();
                 if (confirmed) confirmed(line);
               },
           .waiting =
               [&](std::uint64_t elapsed) {
                 progress.Show(elapsed, budget, static_cast<int>(roster.Confirmed()), total);
               }});
}

}  // namespace trolvane
