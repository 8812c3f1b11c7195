#include "net/tcp_prober.h"

#include <algorithm>
#include <string>

#include "net/net_exceptions.h"
#include "net/socket_error_texts.h"
#include "platform/process.h"

namespace trolvane {
namespace {

// Abortive: an accepted connection is reset, so that neither side keeps it in TIME_WAIT
// (on Windows up to four minutes of the 16,384 dynamic ports, for 10,000 hosts a run).
void CloseAtOnce(os::SOCKET s) {
  const os::Linger reset{1, 0};
  os::setsockopt(s, os::kSolSocket, os::kSoLinger, reinterpret_cast<const char*>(&reset),
                 sizeof reset);
  os::closesocket(s);
}

ProbeOutcome OutcomeOfError(int code) {
  return code == os::kWsaeConnRefused ? ProbeOutcome::kRefused : ProbeOutcome::kFailed;
}

// A shortage on this machine, not an answer of the host: the attempt waits for a later turn.
bool IsLocalShortage(int code) {
  return code == os::kWsaeMFile || code == os::kWsaeNoBufs ||
         code == os::kWsaeAddrNotAvail /* no local port left */;
}

// Where the limit is small (a shell's "ulimit -n 8"), a quarter of it is enough.
std::size_t CapacityFor(std::uint32_t limit) {
  const std::size_t kept = std::min<std::size_t>(TTcpProber::kKeptDescriptors, limit - limit / 4);
  return std::clamp<std::size_t>(limit > kept ? limit - kept : 0, 1, TTcpProber::kMostOpen);
}

// Looks without waiting come no closer than this: a look costs the system about a third
// of a microsecond per open attempt, and thousands open must leave the sends their time.
constexpr std::uint64_t kPollGapUs = 1000;
constexpr std::uint64_t kPollGapUsPerAttempt = 10;

}  // namespace

TTcpProber::TTcpProber(std::uint32_t lifetime_ms)
    : lifetime_us_(std::uint64_t{lifetime_ms > 0 ? lifetime_ms : os::ConnectAttemptLifetimeMs()} *
                   1000u),
      capacity_(CapacityFor(os::DescriptorLimit(kMostOpen + kKeptDescriptors))) {
  polls_.reserve(capacity_);
}

TTcpProber::~TTcpProber() { CloseAll(); }

void TTcpProber::CloseAll() {
  for (const Attempt& a : open_) CloseAtOnce(a.socket);
  open_.clear();
}

void TTcpProber::EndOldest() {
  const Attempt oldest = open_.front();
  open_.pop_front();
  ProbeOutcome outcome{};
  Settle(oldest, true, &outcome);
  ended_.push_back({oldest.address, oldest.port, outcome});
}

int TTcpProber::Start(std::uint32_t address, std::uint16_t port) {
  if (open_.size() >= capacity_) EndOldest();
  const os::SOCKET s = os::socket(os::kAfInet, os::kSockStream, os::kIpProtoTcp);
  if (s == os::kInvalidSocket) return os::WSAGetLastError();
  std::uint32_t non_blocking = 1;
  if (os::ioctlsocket(s, os::kFionbio, &non_blocking) != 0) {
    const int code = os::WSAGetLastError();
    os::closesocket(s);
    return code;
  }
  const os::SockAddrIn to{os::kAfInet, os::HToNs(port), address, {}};
  if (os::connect(s, &to, sizeof to) == 0) {
    CloseAtOnce(s);
    ended_.push_back({address, port, ProbeOutcome::kAccepted});
    return 0;
  }
  const int code = os::WSAGetLastError();
  if (code == os::kWsaeWouldBlock) {
    open_.push_back({s, address, port, os::MicroTicks() + lifetime_us_});
    return 0;
  }
  os::closesocket(s);
  if (IsLocalShortage(code)) return code;
  ended_.push_back({address, port, OutcomeOfError(code)});
  return 0;
}

bool TTcpProber::Settle(const Attempt& attempt, bool due, ProbeOutcome* outcome) {
  int error = 0;
  int length = sizeof error;
  if (os::getsockopt(attempt.socket, os::kSolSocket, os::kSoError, reinterpret_cast<char*>(&error),
                     &length) != 0) {
    error = os::WSAGetLastError();
  }
  if (error == 0) {
    // Asked again when the attempt is due: a wait that missed its event loses nothing.
    os::SockAddrIn peer{};
    int peer_length = sizeof peer;
    if (os::getpeername(attempt.socket, &peer, &peer_length) == 0) {
      *outcome = ProbeOutcome::kAccepted;
    } else if (!due) {
      return false;
    } else {
      *outcome = ProbeOutcome::kTimedOut;
    }
  } else {
    *outcome = OutcomeOfError(error);
  }
  CloseAtOnce(attempt.socket);
  return true;
}

std::size_t TTcpProber::Poll(std::int32_t timeout_ms, std::vector<ProbeResult>* finished) {
  std::uint64_t now = os::MicroTicks();
  const std::uint64_t poll_gap = std::max(kPollGapUs, open_.size() * kPollGapUsPerAttempt);
  if (!open_.empty() && (timeout_ms > 0 || now - polled_at_us_ >= poll_gap)) {
    // Rounded up, so that the oldest attempt is due when the wait ends.
    const std::uint64_t first_due = open_.front().deadline;
    const std::uint64_t until_due = first_due > now ? (first_due - now + 999) / 1000 : 0;
    std::int64_t wait = ended_.empty() ? std::max<std::int32_t>(timeout_ms, 0) : 0;
    wait = std::min<std::int64_t>(wait, static_cast<std::int64_t>(until_due));
    polls_.clear();
    for (const Attempt& a : open_) polls_.push_back({a.socket, os::kPollOut, 0});
    const int ready = os::WSAPoll(polls_.data(), static_cast<std::uint32_t>(polls_.size()),
                                  static_cast<int>(wait));
    if (ready < 0) {
      const int code = os::WSAGetLastError();
      if (code != os::kWsaeIntr)
        throw ENetSocketError(code, FormatSocketError(code, SocketErrorText(code)));
    }
    now = os::MicroTicks();
    polled_at_us_ = now;
    // The attempts still under way keep their order.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < open_.size(); ++i) {
      const bool due = now >= open_[i].deadline;
      ProbeOutcome outcome{};
      if (((ready > 0 && polls_[i].revents != 0) || due) && Settle(open_[i], due, &outcome)) {
        ended_.push_back({open_[i].address, open_[i].port, outcome});
      } else {
        open_[kept++] = open_[i];
      }
    }
    open_.resize(kept);
  }
  const std::size_t count = ended_.size();
  finished->insert(finished->end(), ended_.begin(), ended_.end());
  ended_.clear();
  return count;
}

}  // namespace trolvane
