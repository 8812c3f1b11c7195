#include "wake/wait.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "net/net_exceptions.h"
#include "net/udp_socket.h"
#include "wake/wait_loop.h"

namespace trolvane {
namespace {

constexpr std::int32_t kNoTimeLimit = -2;
constexpr std::uint64_t kFailedReceivePauseUs = 10000;
// A machine that holds a place in the neighbour table gives it up after this many turns
// without an answer while another machine waits for a place, so that silent machines
// cannot keep the answering ones from being asked; it rests until its entry has failed and
// the machines that waited had their chance.
constexpr int kRequestsPerPlace = 3;
constexpr std::uint64_t kRestUs = 4000000;
// Answers taken between two sends at most, so that a flood cannot hold the sends up.
constexpr int kAnswersPerPass = 1024;
// A sweep's replies have this long after the last second turn. A leftover entry that a
// probe touched is asked again by the system after 5 s, then three times a second apart
// (Linux): by then the machine answered or the entry failed.
constexpr std::uint64_t kSweepLingerUs = 500000;
constexpr std::uint64_t kRecheckWaitUs = 9000000;
// A sweep probe the system had no room for is tried again a second later, this many times
// at most; an address never asked is told as such.
constexpr int kMostRefusedProbes = 8;

WakeSent::As AsOf(const RosterLine& line, std::uint32_t machine, std::uint32_t to) {
  if (to == machine) return WakeSent::As::kUnicast;
  return line.link_broadcast ? WakeSent::As::kLinkBroadcast : WakeSent::As::kDirectedBroadcast;
}

}  // namespace

WaitEnd::WaitEnd(std::int32_t timeout, std::size_t owed, std::uint64_t grace)
    : owed_(owed), grace_(grace) {
  if (timeout > 0) budget_ = static_cast<std::uint64_t>(timeout) * kUsPerMs;
  if (timeout != kNoTimeLimit && timeout <= 0) budget_ = 0;  // one turn each
}

WaitLoop::WaitLoop(Roster& roster, Wire& wire, const WaitRules& rules, const WaitOutput& output)
    : roster_(roster),
      wire_(wire),
      rules_(rules),
      output_(output),
      pacer_(
          kRequestGapUs, kRequestIntervalUs, [&wire] { return wire.Clock(); },
          [&wire](std::uint64_t us) { wire.Pause(us); }),
      places_(wire.TableLimit(), [&wire] { return wire.TableHeld(); }),
      open_(static_cast<std::size_t>(std::count_if(roster.machines.begin(), roster.machines.end(),
                                                   [](const Machine& m) { return !m.done; }))),
      end_(Sweeping() ? 0 : rules.timeout, open_ * static_cast<std::size_t>(OwedTurns()),
           Sweeping() ? kSweepLingerUs : kRequestIntervalUs) {
  const std::uint64_t began = wire.Clock() - pacer_.Now();
  if (!roster.begun_us) roster.begun_us = began;
  offset_us_ = began - *roster.begun_us;
}

void WaitLoop::Run() {
  for (std::size_t i = 0; i < roster_.machines.size(); ++i) {
    if (!roster_.machines[i].done) pacer_.Add(i);
  }
  if (rules_.sweep == WaitRules::Sweep::kByTable) NoteReachableBefore();
  std::uint64_t next_sign = 0;
  for (std::uint64_t now = 0; open_ > 0 && now < EndAt(); now = pacer_.Now()) {
    if (now >= next_sign) {
      if (output_.waiting) output_.waiting(now / kUsPerMs);
      next_sign = now + kRequestIntervalUs;
    }
    Step(now);
    if (open_ == 0) break;
    Listen(std::min({EndAt(), next_sign, NextEvent()}));
    if (failed_receives_ >= kFailedReceivesLimit) break;
    ReadTable(false);
  }
  Finish();
}

int WaitLoop::MostTurns() const {
  if (Sweeping()) return 2;
  const bool once = rules_.timeout <= 0 && rules_.timeout != kNoTimeLimit;
  return once ? 1 : std::numeric_limits<int>::max();
}

std::uint64_t WaitLoop::EndAt() const {
  const std::uint64_t at = end_.At();
  return rechecking_ > 0 && at != kNever ? at + kRecheckWaitUs : at;
}

std::uint64_t WaitLoop::NextEvent() const {
  std::uint64_t at = plan_.empty() ? pacer_.NextTurn() : pacer_.NextSlot();
  if (!holding_.empty() || (rules_.sweep == WaitRules::Sweep::kByTable))
    at = std::min(at, next_read_);
  return at;
}

// One send at most, and only when the gap allows: what has come is taken before the next,
// so that where sends are slower than the gap no answer waits unread.
void WaitLoop::Step(std::uint64_t now) {
  while (!plan_.empty() && roster_.machines[plan_.front().machine].done) plan_.pop_front();
  if (plan_.empty()) {
    std::optional<std::size_t> due;
    do due = pacer_.Take(now);
    while (due && roster_.machines[*due].done);
    if (!due) return;
    PlanTurn(*due, now);
    if (plan_.empty()) return;
  }
  if (!pacer_.Free(now)) return;
  const Planned p = plan_.front();
  plan_.pop_front();
  const std::uint64_t started = pacer_.Now();
  Send(p);
  pacer_.Sent(started);
}

void WaitLoop::PlanTurn(std::size_t index, std::uint64_t now) {
  Machine& m = roster_.machines[index];
  const int turn = m.turns;
  const bool place = TakePlace(m, now);
  PlanWakes(index, turn, place);
  if (!place) {
    waiting_.insert(index);
    pacer_.Again(index, now);
    return;
  }
  waiting_.erase(index);
  if (m.place_left > 0) --m.place_left;
  if (Sweeping()) {
    plan_.push_back({Planned::Kind::kProbe, index, 0, m.address});
  } else {
    if (!icmp_lost_ || rules_.ports.empty())
      plan_.push_back({Planned::Kind::kEcho, index, 0, m.address});
    for (std::size_t port = 0; port < rules_.ports.size(); ++port) {
      plan_.push_back({Planned::Kind::kAttempt, index, port, m.address});
    }
  }
  if (turn < OwedTurns()) end_.Turn(now);
  if (turn == 0) m.first_turn_us = now;
  if (++m.turns >= MostTurns()) return;
  const bool place_spent = TakesPlace(m) && m.place_left == 0;
  if (place_spent && !waiting_.empty()) {
    pacer_.Rest(index, now + kRestUs);
    return;
  }
  // Nobody waits for its entry: it keeps it, and is asked once a second still.
  if (place_spent) m.place_left = kRequestsPerPlace;
  pacer_.Again(index, now);
}

bool WaitLoop::TakesPlace(const Machine& m) const {
  return places_.Places() > 0 && TakesTablePlace(m.path);
}

bool WaitLoop::TakePlace(Machine& m, std::uint64_t now) {
  if (!TakesPlace(m) || m.place_left > 0) return true;
  if (!places_.Take(now)) return false;
  m.place_left = kRequestsPerPlace;
  return true;
}

// A line's packets go in its turns while it has wakes left; a datagram to the machine's
// own address waits for its place in the table, one to a broadcast address never does.
void WaitLoop::PlanWakes(std::size_t index, int turn, bool place) {
  const Machine& m = roster_.machines[index];
  for (std::size_t l : m.lines) {
    RosterLine& line = roster_.lines[l];
    if (line.outcome.Confirmed() || !line.mac || line.wakes >= rules_.wakes || line.wakes > turn)
      continue;
    line.wake_busy = false;
    line.wake_failure.reset();
    bool whole = true;
    std::size_t planned = 0;
    auto plan = [&](std::uint32_t address) {
      if (!NamesOneHost(address)) return;  // the limited broadcast names no network
      if (address == m.address && !place) {
        whole = false;
        return;
      }
      // The first round sends identical datagrams once.
      if (line.wakes == 0 && !first_round_.emplace(address, *line.mac).second) return;
      plan_.push_back({Planned::Kind::kWake, index, l, address});
      ++planned;
    };
    if (line.unicast) plan(m.address);
    if (line.broadcast) plan(*line.broadcast);
    if (planned > 0) {
      plan_.back().closes_wake = whole;
    } else if (whole) {
      ++line.wakes;
      line.delivered = true;
    }
  }
}

void WaitLoop::Send(const Planned& p) {
  Machine& m = roster_.machines[p.machine];
  switch (p.kind) {
    case Planned::Kind::kWake:
      SendWake(p);
      break;
    case Planned::Kind::kEcho:
      SendEcho(m);
      break;
    case Planned::Kind::kAttempt:
      SendAttempt(m, rules_.ports[p.item]);
      break;
    case Planned::Kind::kProbe:
      SendProbe(p.machine);
      break;
  }
}

// A send that found no room, or in a list no route for a moment, is tried again in the
// machine's next turn.
bool WaitLoop::TriedAgain(Sent sent) const {
  return sent == Sent::kBusy || (sent == Sent::kNoRoute && rules_.retry_unreachable);
}

Failure WaitLoop::FailureOf(Sent sent) const {
  Failure failure;
  if (sent == Sent::kNoSocket) failure.cause = Failure::Cause::kNoIcmpRights;
  if (sent == Sent::kNoDescriptor) failure.cause = Failure::Cause::kNoDescriptor;
  failure.code = wire_.LastSendError();
  return failure;
}

void WaitLoop::SendWake(const Planned& p) {
  RosterLine& line = roster_.lines[p.item];
  const Sent sent = wire_.Datagram(p.address, rules_.wake_port, *line.mac);
  if (sent == Sent::kSent) {
    line.sent.push_back(
        {p.address, AsOf(line, roster_.machines[p.machine].address, p.address), RunUs()});
  } else {
    line.wake_failure = FailureOf(sent);
    line.wake_busy = line.wake_busy || TriedAgain(sent);
    if (line.wakes == 0 && TriedAgain(sent)) first_round_.erase({p.address, *line.mac});
  }
  if (!p.closes_wake || line.wake_busy) return;  // a wake held up goes whole in the next turn
  ++line.wakes;
  if (!line.wake_failure) line.delivered = true;
}

// Without an ICMP socket the ports alone are heard; where there are none, each machine
// ends in error as soon as its packets went.
void WaitLoop::SendEcho(Machine& m) {
  const Sent sent = icmp_lost_ ? Sent::kNoSocket : wire_.Echo(m.address, m.echoes.Next());
  if (sent == Sent::kSent) {
    ++m.asked;
    m.failure.reset();  // the last request's outcome decides
    return;
  }
  // Held up for want of room, the request is asked again in the next turn; a machine never
  // asked ends with the reason.
  if (sent == Sent::kBusy) {
    if (m.asked == 0) m.failure = FailureOf(sent);
    return;
  }
  m.failure = FailureOf(sent);
  if (TriedAgain(sent)) return;
  icmp_lost_ = icmp_lost_ || sent == Sent::kNoSocket;
  if (rules_.ports.empty()) Done(m);
}

void WaitLoop::SendAttempt(Machine& m, std::uint16_t port) {
  const Sent sent = wire_.Attempt(m.address, port);
  if (sent == Sent::kSent) ++m.asked;
  // No descriptor for it: the machine's error, never a silent time-out.
  if (sent == Sent::kNoDescriptor) m.failure = FailureOf(sent);
}

// A probe the system had no room for (a link that refuses sends) is no turn: the machine
// is asked again a second later, a bounded number of times.
void WaitLoop::SendProbe(std::size_t index) {
  Machine& m = roster_.machines[index];
  const Sent sent = wire_.Probe(m.address);
  if (sent == Sent::kSent) ++m.asked;
  if (sent != Sent::kBusy || ++m.refused > kMostRefusedProbes) return;
  if (m.turns >= MostTurns()) pacer_.Again(index, pacer_.Now());  // none queued after the last
  --m.turns;
  end_.Owe(1);
}

void WaitLoop::Listen(std::uint64_t until) {
  const std::uint64_t now = pacer_.Now();
  const std::uint64_t wait = until > now ? until - now : 0;
  std::optional<Heard> heard;
  if (wait < kUsPerMs) {
    pacer_.PauseUntil(until);
    heard = Receive(0);
  } else {
    heard = Receive(static_cast<std::int32_t>(
        std::min<std::uint64_t>(wait / kUsPerMs, std::numeric_limits<std::int32_t>::max())));
  }
  for (int n = 1; heard; ++n) {
    Judge(*heard);
    if (open_ == 0 || n == kAnswersPerPass) break;
    heard = Receive(0);
  }
}

// Only the socket's failures are caught: what judging an answer raises (a result line that
// could not be written) ends the wait, and the run, as the error it is.
std::optional<Heard> WaitLoop::Receive(std::int32_t timeout_ms) {
  try {
    std::optional<Heard> heard = wire_.Receive(timeout_ms);
    failed_receives_ = 0;
    return heard;
  } catch (const ENetSocketError& e) {
    receive_error_ = e.ErrorCode();
  } catch (const std::exception&) {
  }
  if (++failed_receives_ < kFailedReceivesLimit) wire_.Pause(kFailedReceivePauseUs);
  return std::nullopt;
}

void WaitLoop::Done(Machine& m) {
  if (m.done) return;
  m.done = true;
  --open_;
  waiting_.erase(static_cast<std::size_t>(&m - roster_.machines.data()));
  if (m.turns < OwedTurns()) end_.Forgive(static_cast<std::size_t>(OwedTurns() - m.turns));
}

void RunWait(Roster& roster, Wire& wire, const WaitRules& rules, const WaitOutput& output) {
  WaitLoop(roster, wire, rules, output).Run();
}

}  // namespace trolvane
