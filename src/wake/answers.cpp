// What comes back during a wait, judged as it comes, and each line's outcome settled when
// the wait ends.
#include <algorithm>

#include "platform/winsock.h"
#include "wake/wait_loop.h"

namespace trolvane {
namespace {

// Two readings of the neighbour table are never closer than this: thousands of answers
// are judged by a handful of readings, none waiting longer.
constexpr std::uint64_t kReadGapUs = 20000;
// A sweep by the table reads it this often.
constexpr std::uint64_t kSweepReadEveryUs = 250000;

Outcome Proven(const HeldProof& proof, std::optional<os::HardwareAddress> mac) {
  Outcome outcome;
  outcome.kind = Outcome::Kind::kConfirmed;
  outcome.by = proof.by;
  outcome.port = proof.port;
  outcome.at_us = proof.at_us;
  outcome.mac = mac;
  return outcome;
}

}  // namespace

void WaitLoop::Judge(const Heard& heard) {
  Machine* m = roster_.Find(heard.address);
  if (m == nullptr || m->done || m->turns == 0) return;
  using Proof = Outcome::Proof;
  switch (heard.kind) {
    case Heard::Kind::kEchoReply:
      // A sweep's probes are not numbered per address: any reply of ours will do.
      if (!Sweeping() && !m->echoes.Answers(heard.sequence)) return;
      m->answered = true;
      if (!Sweeping()) Proves(*m, {Proof::kEcho, 0, RunUs()});
      break;
    case Heard::Kind::kIcmpError:
      if (!Sweeping() && m->echoes.Answers(heard.sequence) && ErrorsCount(m->path)) {
        m->failure = Failure{Failure::Cause::kIcmpError, 0, heard.icmp};
      }
      break;
    case Heard::Kind::kAccepted:
      Proves(*m, {Proof::kTcpAccept, heard.port, RunUs()});
      break;
    case Heard::Kind::kRefused:
      if (RefusalConfirms(m->path)) Proves(*m, {Proof::kTcpRefuse, heard.port, RunUs()});
      break;
    case Heard::Kind::kArpReply:
      m->heard = heard.mac;
      Done(*m);
      break;
  }
}

// An answer from a link that resolves addresses is judged by a reading of the table taken
// after it came: with the MAC check, what the table held before may be another machine's
// leftover; and a refusal proves a machine only where the table holds one at its address,
// since a router on a path chosen by port, or added during the wait, resets for a machine
// that is not there.
void WaitLoop::Proves(Machine& m, const HeldProof& proof) {
  const bool refusal = proof.by == Outcome::Proof::kTcpRefuse;
  if (ChecksMac(m.path) && (rules_.mac_check || refusal)) {
    Hold(m, proof);
  } else {
    ConfirmAll(m, proof);
  }
}

// A refusal is the weakest proof: an answer held takes its place, never the other way.
void WaitLoop::Hold(Machine& m, const HeldProof& proof) {
  if (m.held &&
      (proof.by == Outcome::Proof::kTcpRefuse || m.held->by != Outcome::Proof::kTcpRefuse))
    return;
  if (!m.held) holding_.push_back(static_cast<std::size_t>(&m - roster_.machines.data()));
  m.held = proof;
}

void WaitLoop::ConfirmAll(Machine& m, const HeldProof& proof) {
  Done(m);
  for (std::size_t l : m.lines) {
    if (!roster_.lines[l].outcome.Confirmed()) Confirm(l, proof, std::nullopt);
  }
}

void WaitLoop::Confirm(std::size_t line, const HeldProof& proof,
                       std::optional<os::HardwareAddress> mac) {
  roster_.lines[line].outcome = Proven(proof, mac);
  if (output_.confirmed) output_.confirmed(line);
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
    const HeldProof proof = *m.held;
    m.held.reset();
    if (!m.done) JudgeByTable(m, proof, final);
  }
  if (sweeping) SweepByTable(entries, now);
}

// An answer from the link was just resolved; an entry gone already (a flush, a full
// table) is asked of the next answer, and only twice in a row or at the end means that the
// table cannot tell. A refusal needs the entry.
void WaitLoop::JudgeByTable(Machine& m, const HeldProof& proof, bool final) {
  const bool refusal = proof.by == Outcome::Proof::kTcpRefuse;
  if (!table_read_) {
    if (!refusal) ConfirmAll(m, proof);  // a platform that refuses the read cannot tell
    return;
  }
  const std::optional<os::HardwareAddress> seen = table_.Find(m.address, m.path.interface_index);
  const auto other = [this](std::size_t l) {
    return roster_.lines[l].outcome.kind == Outcome::Kind::kOtherMachine;
  };
  const bool other_seen = std::any_of(m.lines.begin(), m.lines.end(), other);
  if (!refusal && !seen && !other_seen && !final && !m.unsure) {
    m.unsure = proof;
    return;
  }
  m.unsure.reset();
  bool all = true;
  for (std::size_t l : m.lines) {
    if (!roster_.lines[l].outcome.Confirmed()) all = JudgeLine(l, proof, seen) && all;
  }
  if (all) Done(m);
}

// One line by the entry read for its machine's answer: its own MAC confirms it; another's
// says which machine answered. Without an entry the table cannot tell, unless another
// machine was seen there; a refusal needs the entry.
bool WaitLoop::JudgeLine(std::size_t l, const HeldProof& proof,
                         const std::optional<os::HardwareAddress>& seen) {
  RosterLine& line = roster_.lines[l];
  const bool refusal = proof.by == Outcome::Proof::kTcpRefuse;
  const bool mac_ok = !rules_.mac_check || !line.mac || (seen && *seen == *line.mac);
  const bool other = line.outcome.kind == Outcome::Kind::kOtherMachine;
  const bool confirms = refusal ? seen && mac_ok : (seen ? mac_ok : !other);
  if (confirms) {
    Confirm(l, proof, seen);
  } else if (seen) {
    line.outcome.kind = Outcome::Kind::kOtherMachine;
    line.outcome.mac = seen;
    line.outcome.at_us = proof.at_us;
  }
  return confirms;
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
    if (m.unsure && !m.done && !m.held) Hold(m, *m.unsure);
  }
  if (!holding_.empty() || rules_.sweep == WaitRules::Sweep::kByTable) ReadTable(true);
  if (failed_receives_ >= kFailedReceivesLimit || icmp_lost_) GiveUp();
  Settle();
}

// Without an ICMP socket, or a receive that keeps failing, what was not heard is an error.
void WaitLoop::GiveUp() {
  Failure failure;
  failure.cause = icmp_lost_ ? Failure::Cause::kNoIcmpRights : Failure::Cause::kSendFailed;
  failure.code = icmp_lost_ ? os::kWsaeAcces : receive_error_;
  for (Machine& m : roster_.machines) {
    if (!m.done) m.failure = failure;
  }
}

// Each line still open ends by its last evidence: a line whose packet could not be sent
// was never woken, and a machine whose last request failed, or that was never asked, is
// in error; the rest timed out.
void WaitLoop::Settle() {
  for (RosterLine& line : roster_.lines) {
    if (line.outcome.kind != Outcome::Kind::kPending) continue;
    if (line.machine == kNoMachine) {
      line.outcome = Outcome::Error({Failure::Cause::kRefusedHost});
      continue;
    }
    const Machine& m = roster_.machines[line.machine];
    if (!line.delivered) {
      line.outcome = Outcome::Error(line.wake_failure.value_or(Failure{}));
    } else if (m.failure || m.asked == 0) {
      line.outcome = Outcome::Error(m.failure.value_or(Failure{}));
    } else {
      line.outcome.kind = Outcome::Kind::kTimeout;
    }
  }
}

}  // namespace trolvane
