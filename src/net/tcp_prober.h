// Non-blocking TCP connection attempts to many hosts at once: the confirmation of a host
// whose firewall drops echo requests. An accepted connection is closed at once with a
// reset, nothing sent. Each attempt is reported as it ended (accepted, refused by a reset,
// failed, timed out); what an outcome proves of the host is the wait's to judge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/winsock.h"

namespace trolvane {

enum class ProbeOutcome : std::uint8_t {
  kAccepted,  // the host completed the connection
  kRefused,   // reset: the host's system runs with the port closed, or something on the way
  kFailed,    // an ICMP error or a local failure (no route, ...)
  kTimedOut,  // no answer within the attempt's lifetime; abandoned
};

struct ProbeResult {
  std::uint32_t address;  // network order, as given to Start
  std::uint16_t port;     // host order, as given to Start
  ProbeOutcome outcome;
};

class TTcpProber {
 public:
  // At most this many attempts are open at once: a second of a list's attempts at the pace
  // of its sends, while the wait for them stays cheap.
  static constexpr std::size_t kMostOpen = 8192;
  // Descriptors left to the rest of the run (standard streams, the ICMP socket, the
  // neighbour table's netlink socket) however many attempts are open.
  static constexpr std::size_t kKeptDescriptors = 16;

  // Winsock must be started. An attempt older than lifetime_ms is abandoned; 0: the
  // platform's lifetime (os::ConnectAttemptLifetimeMs).
  explicit TTcpProber(std::uint32_t lifetime_ms = 0);
  ~TTcpProber();  // closes every open attempt
  TTcpProber(const TTcpProber&) = delete;
  TTcpProber& operator=(const TTcpProber&) = delete;

  // Attempts open now, and those ended but not yet reported.
  std::size_t OpenCount() const { return open_.size(); }
  std::size_t ReportPending() const { return ended_.size(); }

  // Opens one attempt to address (network order) on port (host order). Where as many
  // attempts are open as it may hold, the oldest is ended first (reported as it stands):
  // the host asked least recently gives way, so that silent hosts starve none. 0 when the
  // attempt is under way or already ended, in which case Poll reports it; else, with
  // nothing open, the Windows Sockets code of the shortage on this machine that kept it
  // from starting (no descriptor, no buffer, no local port).
  int Start(std::uint32_t address, std::uint16_t port);

  // Waits at most timeout_ms (0: not at all) until an attempt ends, never longer than
  // until the oldest is due to be abandoned, and returns at once when nothing is open.
  // Appends every attempt that ended, with its outcome, to finished (its socket already
  // closed) and gives how many it appended. A look without waiting soon after the last
  // (a millisecond, more with thousands open) asks the system nothing. Raises ENetSocketError when
  // the wait fails.
  std::size_t Poll(std::int32_t timeout_ms, std::vector<ProbeResult>* finished);

 private:
  struct Attempt {
    os::SOCKET socket;
    std::uint32_t address;
    std::uint16_t port;
    std::uint64_t deadline;  // microseconds, os::MicroTicks
  };
  // The outcome of an attempt whose socket is ready or due, closing it; false when it is
  // still under way.
  static bool Settle(const Attempt& attempt, bool due, ProbeOutcome* outcome);
  void CloseAll();
  // Ends the oldest attempt, reporting what it came to.
  void EndOldest();

  std::uint64_t lifetime_us_;
  std::size_t capacity_;
  std::uint64_t polled_at_us_ = 0;
  std::deque<Attempt> open_;  // in the order they were opened, and so of their deadlines
  std::vector<ProbeResult> ended_;
  std::vector<os::PollFd> polls_;
};

}  // namespace trolvane
