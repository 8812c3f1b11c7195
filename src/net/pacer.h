// The rhythm of many sends: two rules kept apart, each enforced on its own. The gap is the
// least time between any two sends on the wire; the turns give each host at most one send
// per interval. A send that fell due while the process was held up waits for the next free
// slot of the gap, so nothing that piled up goes out in a burst.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
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

}  // namespace trolvane
