// How a wait for hosts to answer is spent, for one host and for a list alike: when each
// echo request goes, when the wait ends, which answer decides. Apart from the network, so
// that tests can drive it with a clock, a send and a receive of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "wake/pacer.h"

namespace trolvane {

// An answer of ours, already matched to the host whose request it answers.
struct HostAnswer {
  std::size_t index;
  // It proves that the host's system runs (an echo reply, a connection accepted or
  // refused); otherwise an ICMP error answered the request.
  bool runs;
};

enum class MachineVerdict { kOwn, kOther, kLater, kUnsure };

struct ConfirmSeams {
  std::function<std::uint64_t()> clock = os::MicroTicks;                // microseconds, steady
  std::function<void(std::uint64_t us)> pause = os::PauseMicroseconds;  // under a millisecond
  // Sends the host's next echo request; false when it could not be sent. What it raises
  // ends the whole wait.
  std::function<bool(std::size_t index)> send;
  // Each turn, after the echo request: the host's connection attempt on each of its ports,
  // numbered from 0 (unset: none), each a send of its own. Their answers come through
  // receive. A host that has them stays in the wait when its echo request could not be
  // sent, since a port may still answer.
  std::function<void(std::size_t index, std::size_t port)> probe;
  // Waits at most timeout ms for the next datagram: an answer of ours, or nothing (the
  // wait ended, or what came was somebody else's). Raises when the receive failed.
  std::function<std::optional<HostAnswer>(std::int32_t timeout)> receive;
  // On the host's turns after its first, while it has wakes left ("/r"): the magic packet
  // again, before the echo request. Unset: the send step's packet is the only one.
  std::function<void(std::size_t index)> wake_again;
  // For an answer that would confirm: whether it came from the machine that was woken
  // (unset: every answer did). kLater holds it until settle has taken a reading after it
  // came; then it is asked again with read_since set. kUnsure: the reading could not tell,
  // so a later answer decides, or, when none does, the host is judged once more as the
  // wait ends. One from another machine does not confirm and does not end the wait.
  std::function<MachineVerdict(std::size_t index, bool read_since)> own_machine;
  // Takes a reading for the answers held: at once when forced (the wait has ended, and
  // nothing is held after it), else when one is due; true when it took one.
  std::function<bool(bool force)> settle;
  // As soon as the host answers. What it raises (a line that could not be written) ends
  // the whole wait.
  std::function<void(std::size_t index)> confirmed;
  // At least once a second while waiting: milliseconds since the start.
  std::function<void(std::uint64_t elapsed)> waiting;
  // Whether the host's requests take an entry in the system's bounded neighbour table (on
  // an attached link; unset: no host's do), and the places this process may take there. A
  // host without a place waits for its next turn; one that holds a place gives it up after a
  // few requests without an answer and rests, so that silent hosts cannot keep the others
  // from being asked.
  std::function<bool(std::size_t index)> needs_place;
  TablePlaces places;
};

// kOtherMachine: not confirmed, and the last echo reply came from another machine.
enum class HostOutcome { kConfirmed, kTimedOut, kError, kOtherMachine };

// How long an answer held for the MAC check may wait for its reading, at most.
inline constexpr std::uint64_t kSettleEveryUs = 5000;

// Asks each of count hosts once a second until it answers, or the time-out (ms) has passed
// and every host has had a second since its first request; the last outcome of each
// decides. -2 asks until every host has answered; 0 and the other values below 0 ask each
// host once and wait the second. A request that could not be sent ends that host's wait
// with an error; a failed receive ends no wait, unless the socket keeps failing.
// sends_per_turn: the echo request and the connection attempts of one turn (1 + ports),
// each of which keeps the gap. wakes: the turns that send the magic packet, the send
// step's included; each repeat is a send of the turn that keeps the gap too.
std::vector<HostOutcome> ConfirmHosts(std::size_t count, std::int32_t timeout,
                                      const ConfirmSeams& seams, std::size_t sends_per_turn = 1,
                                      int wakes = 1);

}  // namespace trolvane
