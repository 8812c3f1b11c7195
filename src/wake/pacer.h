// When a send may go: two rules kept apart, each enforced on its own. The gap is the least
// time between any two sends on the wire; the turns give each machine at most one turn per
// interval. The wait's loop asks it for every send of a run (the single host's send step
// paces its two datagrams with a pacer of its own, before the loop begins). The gap is a rate, not
// a sleep per send: where the system's timer cannot wake the program as often as the gap (Windows
// and Wine wake after a millisecond or more), what fell due since the last wake-up goes out, each
// send in its order, but never more than one tick's share, so that a hold-up leaves no burst
// behind.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

#include "platform/process.h"

namespace trolvane {

inline constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
// Two sends never leave closer than this while the timer allows it; each machine has at
// most one turn a second.
inline constexpr std::uint64_t kRequestGapUs = 100;
inline constexpr std::uint64_t kRequestIntervalUs = 1000000;

// Room in the system's neighbour table, which holds a bounded number of addresses for the
// whole machine: every new on-link address asked takes an entry, kept while it resolves
// and for the system's reachable time after it answered. Taking places only while this
// process's held entries stay below a share of the limit leaves room for the rest of the
// machine, so that no request is dropped for want of an entry (nothing would say so).
class TablePlaces {
 public:
  TablePlaces() = default;  // no bound
  // limit none: the system has no bound. held counts the entries the system may not drop.
  TablePlaces(std::optional<std::uint32_t> limit,
              std::function<std::optional<std::uint32_t>()> held)
      : places_(limit ? *limit / 4 * 3 : 0), held_(std::move(held)) {}
  // Places this process may hold at once; 0 when there is no bound.
  std::uint32_t Places() const { return places_; }
  // Takes a place for one more address when one is free at now.
  bool Take(std::uint64_t now) {
    if (places_ == 0) return true;
    if (now >= next_read_) {
      taken_ = held_().value_or(taken_);
      next_read_ = now + kReadEvery;
    }
    if (taken_ >= places_) return false;
    ++taken_;
    return true;
  }

 private:
  static constexpr std::uint64_t kReadEvery = 100000;  // a read costs a dump of the table
  std::uint32_t places_ = 0;
  std::function<std::optional<std::uint32_t>()> held_;
  std::uint32_t taken_ = 0;  // held at the last read, and taken since
  std::uint64_t next_read_ = 0;
};

class Pacer {
 public:
  // Times are microseconds since the pacer was made, on clock; pause passes a time.
  Pacer(std::uint64_t gap, std::uint64_t interval,
        std::function<std::uint64_t()> clock = os::MicroTicks,
        std::function<void(std::uint64_t us)> pause = os::PauseMicroseconds)
      : gap_(gap),
        interval_(interval),
        clock_(std::move(clock)),
        pause_(std::move(pause)),
        start_(clock_()) {}

  std::uint64_t Now() const { return clock_() - start_; }
  // Passes the time until about at, and learns from how late each pause wakes how fine the
  // timer is. A timer finer than the gap wakes the program late by about its tick, so the
  // pause asks to wake that much earlier; within the tick of at it does not pause at all.
  void PauseUntil(std::uint64_t at) {
    const std::uint64_t now = Now();
    if (at <= now) return;
    const std::uint64_t tick = Tick();
    const std::uint64_t ask = at - now - (tick < gap_ ? std::min(tick, at - now) : 0);
    if (ask == 0) return;
    pause_(ask);
    const std::uint64_t woke = Now();
    late_[next_late_++ % late_.size()] = woke > now + ask ? woke - now - ask : 0;
  }

  // The gap: whether a send may go at now, and when one may.
  bool Free(std::uint64_t now) const { return now >= slot_; }
  std::uint64_t NextSlot() const { return slot_; }
  // A send that began at started has ended at now, which it returns. Where the timer is
  // fine enough, the next begins a gap after this one began, or, when the system held this
  // one up longer than the gap, a whole gap after it ended, so that nothing leaves close
  // behind it; where the timer is coarse, the next slot follows the last one, no further
  // behind than one tick.
  std::uint64_t Sent(std::uint64_t started) {
    const std::uint64_t now = Now();
    const std::uint64_t tick = Tick();
    if (tick < gap_) {
      slot_ = (now - started > gap_ ? now : started) + gap_;
    } else {
      const std::uint64_t least = now + gap_ > tick ? now + gap_ - tick : 0;
      slot_ = std::max(slot_ + gap_, least);
    }
    return now;
  }
  // How late a pause wakes at the least, over the last few: the timer's tick. One pause
  // that a hold-up made long says nothing of the timer.
  std::uint64_t Tick() const {
    return std::min(*std::min_element(late_.begin(), late_.end()), kLongestTick);
  }

  // The turns. A machine's first comes at once; turns are kept in the order they were given.
  void Add(std::size_t machine) { queue_.push_back({machine, 0}); }
  // The machine whose turn has come by now, when the gap is free too; taken from the queue.
  std::optional<std::size_t> Take(std::uint64_t now) {
    while (!resting_.empty() && resting_.front().at <= now) {
      Add(resting_.front().machine);
      resting_.pop_front();
    }
    if (!Free(now) || queue_.empty() || queue_.front().at > now) return std::nullopt;
    const std::size_t machine = queue_.front().machine;
    queue_.pop_front();
    return machine;
  }
  // The machine had its turn at now: its next is an interval later, however late this one
  // went out, so that it is never asked twice in one interval.
  void Again(std::size_t machine, std::uint64_t now) {
    queue_.push_back({machine, now + interval_});
  }
  // The machine has no turn until then; it queues up behind the machines queued by then.
  void Rest(std::size_t machine, std::uint64_t until) { resting_.push_back({machine, until}); }
  // When the next turn may go: kNever when no machine has one.
  std::uint64_t NextTurn() const {
    const std::uint64_t turn = std::min(queue_.empty() ? kNever : queue_.front().at,
                                        resting_.empty() ? kNever : resting_.front().at);
    return turn == kNever ? kNever : std::max(turn, slot_);
  }

 private:
  // Beyond this a pause was held up, not woken by a coarse timer.
  static constexpr std::uint64_t kLongestTick = 20000;
  struct Turn {
    std::size_t machine;
    std::uint64_t at;
  };
  std::uint64_t gap_, interval_;
  std::function<std::uint64_t()> clock_;
  std::function<void(std::uint64_t)> pause_;
  std::uint64_t start_;
  std::uint64_t slot_ = 0;
  std::array<std::uint64_t, 8> late_{};  // a fine timer until pauses have shown otherwise
  std::size_t next_late_ = 0;
  std::deque<Turn> queue_;    // in the order of their times: every interval is the same
  std::deque<Turn> resting_;  // in the order of their times: every rest is the same
};

}  // namespace trolvane
