// The one scheduler of many sends (the confirm engine, the "/l" sweep, the list's datagrams):
// two rules kept apart, each enforced on its own. The gap is the least time between any two
// sends on the wire, counted from the end of the last, so that a send the system held up
// never leaves close behind it; the turns give each host at most one send per interval.
// What fell due while the process was held up waits for the next free slot of the gap, so
// nothing that piled up goes out in a burst.
#pragma once

#include <algorithm>
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
// Two requests never leave closer than this; each host is asked at most once a second.
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
        std::function<void(std::uint64_t us)> pause = os::PauseMicroseconds,
        TablePlaces places = {})
      : gap_(gap),
        interval_(interval),
        clock_(std::move(clock)),
        pause_(std::move(pause)),
        start_(clock_()),
        places_(std::move(places)) {}

  std::uint64_t Now() const { return clock_() - start_; }
  void Pause(std::uint64_t us) const { pause_(us); }
  void PauseUntil(std::uint64_t at) const {
    const std::uint64_t now = Now();
    if (at > now) pause_(at - now);
  }

  // The gap: whether a send may go at now, and when one may.
  bool Free(std::uint64_t now) const { return now >= slot_; }
  std::uint64_t NextSlot() const { return slot_; }
  // A send has ended at now, which it returns: the next waits a whole gap from here.
  std::uint64_t Sent() {
    const std::uint64_t now = Now();
    slot_ = now + gap_;
    return now;
  }

  // The turns. A host's first comes at once; turns are kept in the order they were given.
  void Add(std::size_t host) { queue_.push_back({host, 0}); }
  // The host whose turn has come by now, when the gap is free too; taken from the queue.
  std::optional<std::size_t> Take(std::uint64_t now) {
    while (!resting_.empty() && resting_.front().at <= now) {
      Add(resting_.front().host);
      resting_.pop_front();
    }
    if (!Free(now) || queue_.empty() || queue_.front().at > now) return std::nullopt;
    const std::size_t host = queue_.front().host;
    queue_.pop_front();
    return host;
  }
  // The host was sent to at now: its next turn is an interval later, however late this
  // one went out, so that it is never asked twice in one interval.
  void Again(std::size_t host, std::uint64_t now) { queue_.push_back({host, now + interval_}); }
  // The host has no turn until then; it queues up behind the hosts queued by then.
  void Rest(std::size_t host, std::uint64_t until) { resting_.push_back({host, until}); }
  // The host's turn is not over: it comes first again.
  void Retry(std::size_t host) { queue_.push_front({host, 0}); }
  bool Idle() const { return queue_.empty() && resting_.empty(); }
  // When the next turn may go: kNever when no host has one.
  std::uint64_t NextTurn() const {
    const std::uint64_t turn = std::min(queue_.empty() ? kNever : queue_.front().at,
                                        resting_.empty() ? kNever : resting_.front().at);
    return turn == kNever ? kNever : std::max(turn, slot_);
  }

  // A place in the neighbour table for one more address, when one is free at now.
  bool TakePlace(std::uint64_t now) { return places_.Take(now); }
  std::uint32_t Places() const { return places_.Places(); }

 private:
  struct Turn {
    std::size_t host;
    std::uint64_t at;
  };
  std::uint64_t gap_, interval_;
  std::function<std::uint64_t()> clock_;
  std::function<void(std::uint64_t)> pause_;
  std::uint64_t start_;
  TablePlaces places_;
  std::uint64_t slot_ = 0;
  std::deque<Turn> queue_;    // in the order of their times: every interval is the same
  std::deque<Turn> resting_;  // in the order of their times: every rest is the same
};

}  // namespace trolvane
