// The one loop behind RunWait, in two files: wait.cpp gives the turns and makes the sends,
// answers.cpp judges what comes back and settles each line's outcome.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "wake/pacer.h"
#include "wake/roster.h"
#include "wake/wait.h"
#include "wake/wire.h"

namespace trolvane {

inline constexpr std::uint64_t kUsPerMs = 1000;
// A receive that fails this many times in a row will not recover within the wait.
inline constexpr int kFailedReceivesLimit = 10;

// When the wait may end: the time-out, but never before each machine has had the turns
// it is owed (its first; in a sweep its second too, unless it answered the first) and the
// grace after the last of them.
class WaitEnd {
 public:
  WaitEnd(std::int32_t timeout, std::size_t owed, std::uint64_t grace);
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
  WaitLoop(Roster& roster, Wire& wire, const WaitRules& rules, const WaitOutput& output);
  void Run();

 private:
  bool Sweeping() const { return rules_.sweep != WaitRules::Sweep::kNone; }
  int MostTurns() const;
  int OwedTurns() const { return Sweeping() ? 2 : 1; }
  std::uint64_t EndAt() const;
  std::uint64_t NextEvent() const;
  std::uint64_t RunUs() const { return pacer_.Now() + offset_us_; }

  // wait.cpp: the turns and the sends.
  void Step(std::uint64_t now);
  void PlanTurn(std::size_t index, std::uint64_t now);
  bool TakesPlace(const Machine& m) const;
  bool TakePlace(Machine& m, std::uint64_t now);
  void PlanWakes(std::size_t index, int turn, bool place);
  void Send(const Planned& p);
  void SendWake(const Planned& p);
  void SendEcho(Machine& m);
  void SendAttempt(Machine& m, std::uint16_t port);
  void SendProbe(std::size_t index);
  bool TriedAgain(Sent sent) const;
  Failure FailureOf(Sent sent) const;
  void Listen(std::uint64_t until);
  std::optional<Heard> Receive(std::int32_t timeout_ms);
  void Done(Machine& m);

  // answers.cpp: what comes back, and the outcomes.
  void Judge(const Heard& heard);
  void Proves(Machine& m, const HeldProof& proof);
  void Hold(Machine& m, const HeldProof& proof);
  void ConfirmAll(Machine& m, const HeldProof& proof);
  void Confirm(std::size_t line, const HeldProof& proof, std::optional<os::HardwareAddress> mac);
  void ReadTable(bool final);
  void JudgeByTable(Machine& m, const HeldProof& proof, bool final);
  bool JudgeLine(std::size_t line, const HeldProof& proof,
                 const std::optional<os::HardwareAddress>& seen);
  void SweepByTable(const std::vector<os::Neighbour>& entries, std::uint64_t now);
  void NoteReachableBefore();
  void Finish();
  void GiveUp();
  void Settle();

  Roster& roster_;
  Wire& wire_;
  const WaitRules& rules_;
  const WaitOutput& output_;
  Pacer pacer_;
  TablePlaces places_;
  std::size_t open_;  // machines not done
  WaitEnd end_;
  std::uint64_t offset_us_ = 0;  // from the run's beginning to the pacer's
  std::deque<Planned> plan_;     // the sends of the turn under way
  std::set<std::pair<std::uint32_t, os::HardwareAddress>> first_round_;  // sent once
  std::vector<std::size_t> holding_;  // machines whose answer waits for a reading
  NeighbourSnapshot table_;
  bool table_read_ = false;  // the last reading was not refused
  std::uint64_t next_read_ = 0;
  std::set<std::size_t> waiting_;  // machines refused a place in the neighbour table
  std::size_t rechecking_ = 0;     // a sweep's asked entries the system re-checks
  bool icmp_lost_ = false;
  int failed_receives_ = 0;
  int receive_error_ = 0;  // the system's error of the last failed receive
};

}  // namespace trolvane
