// The rhythm of many sends: two rules kept apart, each enforced on its own. The gap is the
// least time between any two sends on the wire; the turns give each host at most one send
// per interval. A send that fell due while the process was held up waits for the next free
// slot of the gap, so nothing that piled up goes out in a burst.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>

namespace trolvane {

// Times are microseconds on one steady clock.
inline constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

class SendGap {
 public:
  explicit SendGap(std::uint64_t gap) : gap_(gap) {}
  // When the next send may go.
  std::uint64_t NextSlot() const { return next_; }
  bool Free(std::uint64_t now) const { return now >= next_; }
  // A send went out at now: the next waits a whole gap from now, not from the slot it took.
  void Used(std::uint64_t now) { next_ = now + gap_; }

 private:
  std::uint64_t gap_;
  std::uint64_t next_ = 0;
};

class HostTurns {
 public:
  explicit HostTurns(std::uint64_t interval) : interval_(interval) {}
  // The host's first turn comes at once; turns are kept in the order they were given.
  void Add(std::size_t index) { queue_.push_back({index, 0}); }
  // The host whose turn has come by now, taken from the queue; none when no turn has.
  std::optional<std::size_t> Take(std::uint64_t now) {
    if (queue_.empty() || queue_.front().at > now) return std::nullopt;
    const std::size_t index = queue_.front().index;
    queue_.pop_front();
    return index;
  }
  // The host was sent to at now: its next turn is an interval later, however late this
  // one went out, so that it is never asked twice in one interval.
  void Again(std::size_t index, std::uint64_t now) { queue_.push_back({index, now + interval_}); }
  // When the next turn comes; kNever when no host has one.
  std::uint64_t NextTurn() const { return queue_.empty() ? kNever : queue_.front().at; }
  bool Empty() const { return queue_.empty(); }

 private:
  struct Turn {
    std::size_t index;
    std::uint64_t at;
  };
  std::uint64_t interval_;
  std::deque<Turn> queue_;  // in the order of their times: every interval is the same
};

// Room in the system's neighbour table, which holds a bounded number of addresses for the
// whole machine: every new on-link address asked takes an entry, kept while it resolves
// and for the system's reachable time after it answered. Taking places only while this
// process's held entries stay below a share of the limit leaves room for the rest of the
// machine, so that no request is dropped for want of an entry (nothing would say so).
class TablePlaces {
 public:
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
  std::uint32_t places_;
  std::function<std::optional<std::uint32_t>()> held_;
  std::uint32_t taken_ = 0;  // held at the last read, and taken since
  std::uint64_t next_read_ = 0;
};

}  // namespace trolvane
