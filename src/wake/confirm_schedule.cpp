#include "wake/confirm_schedule.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>

#include "wake/pacer.h"

namespace trolvane {
namespace {

constexpr std::int32_t kNoTimeLimit = -2;
constexpr std::uint64_t kUsPerMs = 1000;
// A socket that fails this many receives in a row will not recover within the wait.
constexpr int kFailedReceivesLimit = 10;
constexpr std::uint64_t kFailedReceivePauseUs = 10000;
// A host that holds a place in the neighbour table gives it up after this many requests
// without an answer, so that silent hosts cannot keep the answering ones from being asked;
// it rests until its entry has failed and the hosts that waited had their chance.
constexpr int kRequestsPerPlace = 3;
constexpr std::uint64_t kRestUs = 4000000;
// Answers taken between two sends at most, so that a flood cannot hold the requests up.
constexpr int kAnswersPerPass = 1024;

// When the wait may end: the time-out, but never before each host has had a whole
// interval since its first request.
class WaitEnd {
 public:
  WaitEnd(std::int32_t timeout, std::size_t count) : unasked_(count) {
    if (timeout > 0) budget_ = static_cast<std::uint64_t>(timeout) * kUsPerMs;
    if (timeout != kNoTimeLimit && timeout <= 0) budget_ = 0;  // one request each
  }
  void FirstRequest(std::uint64_t now) {
    --unasked_;
    grace_ = now + kRequestIntervalUs;
  }
  std::uint64_t At() const { return unasked_ > 0 ? kNever : std::max(budget_, grace_); }

 private:
  std::size_t unasked_;
  std::uint64_t budget_ = kNever;
  std::uint64_t grace_ = 0;
};

}  // namespace

std::vector<HostOutcome> ConfirmHosts(std::size_t count, std::int32_t timeout,
                                      const ConfirmSeams& seams, std::size_t sends_per_turn,
                                      int wakes) {
  const bool once = timeout <= 0 && timeout != kNoTimeLimit;
  std::vector<HostOutcome> outcomes(count, HostOutcome::kTimedOut);
  std::vector<bool> done(count, false), asked(count, false), other(count, false);
  std::vector<bool> held(count, false), unsure(count, false);
  std::vector<std::size_t> holding;  // answers that wait for a reading of the neighbour table
  std::vector<int> turns_taken(count, 0);
  std::vector<int> places_left(count, 0);  // requests left on the host's table place
  const auto needs_place = [&](std::size_t i) { return seams.needs_place && seams.needs_place(i); };
  std::size_t waiting_for = count;
  Pacer pacer(kRequestGapUs, kRequestIntervalUs, seams.clock, seams.pause, seams.places);
  for (std::size_t i = 0; i < count; ++i) pacer.Add(i);
  const std::size_t ports = seams.probe ? std::max<std::size_t>(sends_per_turn, 1) - 1 : 0;
  // The host whose turn is under way, its next port, and whether it is woken again.
  std::optional<std::size_t> turn;
  std::size_t next_port = 0;
  bool wake_again = false;
  WaitEnd end(timeout, count);
  auto finish = [&](std::size_t index, HostOutcome outcome) {
    outcomes[index] = outcome;
    done[index] = true;
    --waiting_for;
  };

  auto decide = [&](std::size_t index, MachineVerdict verdict) {
    if (verdict == MachineVerdict::kLater) {
      if (!held[index]) holding.push_back(index);
      held[index] = true;
    } else if (verdict == MachineVerdict::kOther) {
      // The address may still pass to the woken machine (a sleep proxy answers for it).
      other[index] = true;
    } else if (verdict == MachineVerdict::kUnsure) {
      unsure[index] = true;
    } else {
      finish(index, HostOutcome::kConfirmed);
      if (seams.confirmed) seams.confirmed(index);
    }
  };
  auto judge = [&](const HostAnswer& answer) {
    if (answer.index >= count || done[answer.index]) return;
    if (!answer.runs) {
      outcomes[answer.index] = HostOutcome::kError;
    } else if (!held[answer.index]) {
      decide(answer.index,
             seams.own_machine ? seams.own_machine(answer.index, false) : MachineVerdict::kOwn);
    }
  };
  // Judges the held answers by a reading taken after they came; forced when the wait ends.
  auto settle = [&](bool force) {
    if (holding.empty() || !seams.settle(force)) return;
    std::vector<std::size_t> judged;
    judged.swap(holding);
    for (std::size_t index : judged) {
      held[index] = false;
      if (done[index]) continue;
      decide(index, seams.own_machine(index, true));
    }
  };

  std::uint64_t next_sign = 0;
  int failed_receives = 0;
  for (std::uint64_t now = 0; waiting_for > 0 && now < end.At(); now = pacer.Now()) {
    // One send per pass, and what has come is taken before the next: where a send takes
    // longer than the gap, sending turn after turn would leave every answer unread until
    // its host is asked again.
    std::optional<std::size_t> due;
    if (turn && (done[*turn] || (next_port == ports && !wake_again))) turn.reset();
    if (turn && pacer.Free(now)) {
      if (next_port < ports) {
        seams.probe(*turn, next_port++);
      } else {
        seams.wake_again(*turn);
        wake_again = false;
      }
      // From the end of the send: a connection attempt may leave late within its call.
      now = pacer.Sent();
    } else if (!turn) {
      do due = pacer.Take(now);
      while (due && done[*due]);
    }
    if (due && needs_place(*due) && places_left[*due] == 0) {
      if (pacer.TakePlace(now)) {
        places_left[*due] = kRequestsPerPlace;
      } else {
        pacer.Again(*due, now);
        due.reset();
      }
    }
    if (due) {
      const std::size_t index = *due;
      if (places_left[index] > 0) --places_left[index];
      const bool sent = seams.send(index);
      pacer.Sent();
      // The turns after the first send the magic packet again, while the host has wakes left.
      wake_again = seams.wake_again && turns_taken[index] > 0 && turns_taken[index] < wakes;
      ++turns_taken[index];
      if (ports > 0 || wake_again) {
        turn = index;
        next_port = 0;
      }
      if (!asked[index]) {
        asked[index] = true;
        end.FirstRequest(now);
      }
      if (!sent && !seams.probe) {
        finish(index, HostOutcome::kError);
      } else {
        outcomes[index] = sent ? HostOutcome::kTimedOut : HostOutcome::kError;
        if (!once && needs_place(index) && places_left[index] == 0) {
          pacer.Rest(index, now + kRestUs);
        } else if (!once) {
          pacer.Again(index, now);
        }
      }
      now = pacer.Now();
    }
    if (waiting_for == 0) break;
    if (now >= next_sign) {
      if (seams.waiting) seams.waiting(now / kUsPerMs);
      next_sign = now + kRequestIntervalUs;
    }
    std::uint64_t until = std::min(end.At(), next_sign);
    if (!holding.empty()) until = std::min(until, now + kSettleEveryUs);
    until = std::min(until, turn ? pacer.NextSlot() : pacer.NextTurn());
    const std::uint64_t wait = until > now ? until - now : 0;
    // Only the socket's failures are caught: what judging an answer raises (a result line
    // that could not be written) ends the wait, and the run, as the error it is.
    bool failed = false;
    auto receive = [&](std::int32_t timeout) -> std::optional<HostAnswer> {
      try {
        return seams.receive(timeout);
      } catch (const std::exception&) {
        failed = true;
        return std::nullopt;
      }
    };
    std::optional<HostAnswer> answer;
    if (wait < kUsPerMs) {
      if (wait > 0) pacer.Pause(wait);
      answer = receive(0);
    } else {
      answer = receive(static_cast<std::int32_t>(
          std::min<std::uint64_t>(wait / kUsPerMs, std::numeric_limits<std::int32_t>::max())));
    }
    for (int n = 1; answer; ++n) {
      judge(*answer);
      if (waiting_for == 0 || n == kAnswersPerPass) break;
      answer = receive(0);
    }
    if (!failed) {
      failed_receives = 0;
    } else if (++failed_receives >= kFailedReceivesLimit) {
      break;
    } else {
      pacer.Pause(kFailedReceivePauseUs);
    }
    settle(false);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (unsure[i] && !done[i] && !held[i]) decide(i, seams.own_machine(i, false));
  }
  settle(true);
  for (std::size_t i = 0; i < count; ++i) {
    if (done[i]) continue;
    // A wait cut short by a failing socket leaves every host not heard from in error.
    if (failed_receives >= kFailedReceivesLimit) outcomes[i] = HostOutcome::kError;
    if (other[i]) outcomes[i] = HostOutcome::kOtherMachine;
  }
  return outcomes;
}

}  // namespace trolvane
