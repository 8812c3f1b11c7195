#include "wake/wait.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <limits>
#include <set>
#include <utility>

#include "net/udp_socket.h"
#include "wake/pacer.h"

namespace trolvane {
namespace {

constexpr std::int32_t kNoTimeLimit = -2;
constexpr std::uint64_t kUsPerMs = 1000;
// A receive that fails this many times in a row will not recover within the wait.
constexpr int kFailedReceivesLimit = 10;
constexpr std::uint64_t kFailedReceivePauseUs = 10000;
// A machine that holds a place in the neighbour table gives it up after this many turns
// without an answer while another machine waits for a place, so that silent machines
// cannot keep the answering ones from being asked; it rests until its entry has failed and
// the machines that waited had their chance.
constexpr int kRequestsPerPlace = 3;
constexpr std::uint64_t kRestUs = 4000000;
// Answers taken between two sends at most, so that a flood cannot hold the sends up.
constexpr int kAnswersPerPass = 1024;
// Two readings of the neighbour table are never closer than this: thousands of answers
// are judged by a handful of readings, none waiting longer.
constexpr std::uint64_t kReadGapUs = 20000;
// A sweep reads the table this often; its replies have this long after the last second
// turn. A leftover entry that a probe touched is asked again by the system after 5 s, then
// three times a second apart (Linux): by then the machine answered or the entry failed.
constexpr std::uint64_t kSweepReadEveryUs = 250000;
constexpr std::uint64_t kSweepLingerUs = 500000;
constexpr std::uint64_t kRecheckWaitUs = 9000000;
// A sweep probe the system had no room for is tried again a second later, this many times
// at most; an address never asked is told as such.
constexpr int kMostRefusedProbes = 8;

// When the wait may end: the time-out, but never before each machine has had the turns
// it is owed (its first; in a sweep its second too, unless it answered the first) and the
// grace after the last of them.
class WaitEnd {
 public:
  WaitEnd(std::int32_t timeout, std::size_t owed, std::uint64_t grace)
      : owed_(owed), grace_(grace) {
    if (timeout > 0) budget_ = static_cast<std::uint64_t>(timeout) * kUsPerMs;
    if (timeout != kNoTimeLimit && timeout <= 0) budget_ = 0;  // one turn each
  }
  void Turn(std::uint64_t now) {
    --owed_;
    last_ = now;
  }
  void Owe(std::size_t turns) { owed_ += turns; }
  void Forgive(std::size_t turns) { owed_ -= turns; }
  std::uint64_t At() const { return owed_ > 0 ? kNever : std::max(budget_, last_ + grace_); }

 private:
  std::size_t owed_;
  std::uint64_t grace_;
  std::uint64_t budget_ = kNever;
  std::uint64_t last_ = 0;
};

struct Planned {
  enum class Kind : std::uint8_t { kWake, kEcho, kAttempt, kProbe };
  Kind kind;
  std::size_t machine;
  std::size_t item = 0;  // the line of a wake, the port of an attempt
  std::uint32_t address = 0;
  bool closes_wake = false;  // the line's last datagram of this turn
};

class WaitLoop {
 public:
  WaitLoop(Roster& roster, Wire& wire, const WaitRules& rules, const WaitOutput& output)
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
             Sweeping() ? kSweepLingerUs : kRequestIntervalUs) {}

  void Run();

 private:
  void GiveUp();  // every machine not heard from is a ping error
  bool Sweeping() const { return rules_.sweep != WaitRules::Sweep::kNone; }
  int MostTurns() const;
  int OwedTurns() const { return Sweeping() ? 2 : 1; }
  std::uint64_t EndAt() const;
  std::uint64_t NextEvent() const;
  void Step(std::uint64_t now);
  void PlanTurn(std::size_t index, std::uint64_t now);
  bool TakesPlace(const Machine& m) const;
  bool TakePlace(Machine& m, std::uint64_t now);
  void PlanWakes(std::size_t index, int turn, bool place);
  void Send(const Planned& p);
  void SendWake(const Planned& p);
  void SendEcho(Machine& m);
  void SendProbe(std::size_t index);
  void Listen(std::uint64_t until);
  std::optional<Heard> Receive(std::int32_t timeout_ms);
  void Judge(const Heard& heard);
  void Proves(Machine& m);
  void Hold(Machine& m);
  void ConfirmAll(Machine& m);
  void Done(Machine& m);
  void ReadTable(bool final);
  void JudgeByTable(Machine& m, bool final);
  void SweepByTable(const std::vector<os::Neighbour>& entries, std::uint64_t now);
  void NoteReachableBefore();
  void Finish();

  Roster& roster_;
  Wire& wire_;
  const WaitRules& rules_;
  const WaitOutput& output_;
  Pacer pacer_;
  TablePlaces places_;
  std::size_t open_;  // machines not done
  WaitEnd end_;
  std::deque<Planned> plan_;  // the sends of the turn under way
  std::set<std::pair<std::uint32_t, os::HardwareAddress>> first_round_;  // sent once
  std::vector<std::size_t> holding_;  // machines whose answer waits for a reading
  NeighbourSnapshot table_;
  bool table_read_ = false;  // the last reading was not refused
  std::uint64_t next_read_ = 0;
  std::set<std::size_t> waiting_;  // machines refused a place in the neighbour table
  std::size_t rechecking_ = 0;     // a sweep's asked entries the system re-checks
  bool icmp_lost_ = false;
  int failed_receives_ = 0;
};

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
    if (line.confirmed || !line.mac || line.wakes >= rules_.wakes || line.wakes > turn) continue;
    line.wake_busy = line.wake_failed = false;
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
    case Planned::Kind::kAttempt: {
      const Sent sent = wire_.Attempt(m.address, rules_.ports[p.item]);
      if (sent == Sent::kSent) m.asked = true;
      // No descriptor for it: the machine's error, never a silent time-out.
      if (sent == Sent::kNoDescriptor) m.failed = true;
      break;
    }
    case Planned::Kind::kProbe:
      SendProbe(p.machine);
      break;
  }
}

// A probe the system had no room for (a link that refuses sends) is no turn: the machine
// is asked again a second later, a bounded number of times.
void WaitLoop::SendProbe(std::size_t index) {
  Machine& m = roster_.machines[index];
  const Sent sent = wire_.Probe(m.address);
  if (sent == Sent::kSent) m.asked = true;
  if (sent != Sent::kBusy || ++m.refused > kMostRefusedProbes) return;
  if (m.turns >= MostTurns()) pacer_.Again(index, pacer_.Now());  // none queued after the last
  --m.turns;
  end_.Owe(1);
}

void WaitLoop::SendWake(const Planned& p) {
  RosterLine& line = roster_.lines[p.item];
  const Sent sent = wire_.Datagram(p.address, rules_.wake_port, *line.mac);
  if (sent == Sent::kBusy) {
    line.wake_busy = true;
    if (line.wakes == 0) first_round_.erase({p.address, *line.mac});
  } else if (sent != Sent::kSent) {
    line.wake_failed = true;
  }
  if (!p.closes_wake || line.wake_busy) return;  // a wake held up goes whole in the next turn
  ++line.wakes;
  if (!line.wake_failed) line.delivered = true;
}

// Without an ICMP socket the ports alone are heard; where there are none, each machine is
// a ping error as soon as its packets went.
void WaitLoop::SendEcho(Machine& m) {
  const Sent sent = icmp_lost_ ? Sent::kNoSocket : wire_.Echo(m.address, m.echoes.Next());
  if (sent == Sent::kSent) {
    m.asked = true;
    m.failed = false;  // the last request's outcome decides
    return;
  }
  if (sent == Sent::kBusy) return;  // asked again in its next turn
  icmp_lost_ = icmp_lost_ || sent == Sent::kNoSocket;
  if (sent == Sent::kNoSocket && !rules_.ports.empty()) return;
  m.failed = true;
  if (rules_.ports.empty()) Done(m);
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
  } catch (const std::exception&) {
    if (++failed_receives_ < kFailedReceivesLimit) wire_.Pause(kFailedReceivePauseUs);
    return std::nullopt;
  }
}

void WaitLoop::Judge(const Heard& heard) {
  Machine* m = roster_.Find(heard.address);
  if (m == nullptr || m->done || m->turns == 0) return;
  switch (heard.kind) {
    case Heard::Kind::kEchoReply:
      // A sweep's probes are not numbered per address: any reply of ours will do.
      if (!Sweeping() && !m->echoes.Answers(heard.sequence)) return;
      m->answered = true;
      if (!Sweeping()) Proves(*m);
      break;
    case Heard::Kind::kIcmpError:
      if (!Sweeping() && m->echoes.Answers(heard.sequence) && ErrorsCount(m->path)) {
        m->failed = true;
      }
      break;
    case Heard::Kind::kAccepted:
      Proves(*m);
      break;
    case Heard::Kind::kRefused:
      if (RefusalConfirms(m->path)) Proves(*m);
      break;
    case Heard::Kind::kArpReply:
      m->heard = heard.mac;
      Done(*m);
      break;
  }
}

void WaitLoop::Proves(Machine& m) {
  if (!rules_.mac_check || !ChecksMac(m.path)) {
    ConfirmAll(m);
  } else {
    Hold(m);  // what the table held before the answer may be another machine's leftover
  }
}

void WaitLoop::Hold(Machine& m) {
  if (m.held) return;
  m.held = true;
  holding_.push_back(static_cast<std::size_t>(&m - roster_.machines.data()));
}

void WaitLoop::ConfirmAll(Machine& m) {
  Done(m);
  for (std::size_t l : m.lines) {
    if (roster_.lines[l].confirmed) continue;
    roster_.lines[l].confirmed = true;
    if (output_.confirmed) output_.confirmed(l);
  }
}

void WaitLoop::Done(Machine& m) {
  if (m.done) return;
  m.done = true;
  --open_;
  waiting_.erase(static_cast<std::size_t>(&m - roster_.machines.data()));
  if (m.turns < OwedTurns()) end_.Forgive(static_cast<std::size_t>(OwedTurns() - m.turns));
}

void WaitLoop::ReadTable(bool final) {
  const std::uint64_t now = pacer_.Now();
  const bool sweeping = rules_.sweep == WaitRules::Sweep::kByTable;
  if (!final && now < next_read_) return;
  if (!final && holding_.empty() && !sweeping) return;
  std::vector<os::Neighbour> entries;
  table_read_ = wire_.ReadTable(&entries);
  table_.Keep(entries);
  next_read_ = pacer_.Now() + (sweeping ? kSweepReadEveryUs : kReadGapUs);
  std::vector<std::size_t> judged;
  judged.swap(holding_);
  for (std::size_t index : judged) {
    Machine& m = roster_.machines[index];
    m.held = false;
    if (!m.done) JudgeByTable(m, final);
  }
  if (sweeping) SweepByTable(entries, now);
}

// An answer from the link was just resolved; an entry gone already (a flush, a full
// table) is asked of the next answer, and only twice in a row or at the end means that the
// table cannot tell.
void WaitLoop::JudgeByTable(Machine& m, bool final) {
  if (!table_read_) {
    ConfirmAll(m);  // a platform that refuses the read cannot tell: as before the check
    return;
  }
  const std::optional<os::HardwareAddress> seen = table_.Find(m.address, m.path.interface_index);
  const bool other_seen = std::any_of(m.lines.begin(), m.lines.end(), [this](std::size_t l) {
    return !roster_.lines[l].confirmed && roster_.lines[l].other;
  });
  if (!seen && !other_seen && !final && !m.unsure) {
    m.unsure = true;
    return;
  }
  m.unsure = false;
  bool all = true;
  for (std::size_t l : m.lines) {
    RosterLine& line = roster_.lines[l];
    if (line.confirmed) continue;
    // Without an entry the table cannot tell, unless another machine was seen there.
    const bool confirms = !line.mac || (seen ? *seen == *line.mac : !line.other);
    if (seen && !confirms) line.other = seen;
    if (!confirms) {
      all = false;
      continue;
    }
    line.confirmed = true;
    if (output_.confirmed) output_.confirmed(l);
  }
  if (all) Done(m);
}

// Where no ARP reply can be heard, a machine is found by its entry on the link of its
// path, when the machine confirmed it after its first probe (a leftover of one that left
// was confirmed before), or when it answered the probe while the entry is reachable.
void WaitLoop::SweepByTable(const std::vector<os::Neighbour>& entries, std::uint64_t now) {
  rechecking_ = 0;
  for (const os::Neighbour& e : entries) {
    Machine* m = roster_.Find(e.address);
    if (m == nullptr || m->done || m->turns == 0 || e.interface_index != m->path.interface_index) {
      continue;
    }
    // Where the platform does not say when, an entry reachable already before the sweep
    // may be the leftover of a machine that left a moment ago.
    const std::uint64_t since = now - m->first_turn_us;
    const bool after = e.confirmed_ms_ago ? *e.confirmed_ms_ago * kUsPerMs <= since
                                          : e.reachable && !m->reachable_before;
    if (after || (e.reachable && m->answered)) {
      m->heard = e.hardware;
      Done(*m);
    } else if (e.rechecking) {
      ++rechecking_;
    }
  }
}

void WaitLoop::NoteReachableBefore() {
  std::vector<os::Neighbour> entries;
  wire_.ReadTable(&entries);
  for (const os::Neighbour& e : entries) {
    Machine* m = roster_.Find(e.address);
    if (m != nullptr && e.reachable) m->reachable_before = true;
  }
}

void WaitLoop::Finish() {
  for (Machine& m : roster_.machines) {
    if (m.unsure && !m.done && !m.held) Hold(m);
  }
  if (!holding_.empty() || rules_.sweep == WaitRules::Sweep::kByTable) ReadTable(true);
  if (failed_receives_ >= kFailedReceivesLimit || icmp_lost_) GiveUp();
}

void WaitLoop::GiveUp() {
  for (Machine& m : roster_.machines) {
    if (!m.done) m.failed = true;
  }
}

}  // namespace

void RunWait(Roster& roster, Wire& wire, const WaitRules& rules, const WaitOutput& output) {
  WaitLoop(roster, wire, rules, output).Run();
}

}  // namespace trolvane
