#include "fleet/confirm_all.h"

#include <algorithm>
#include <deque>
#include <limits>

#include "fleet/roll_call.h"

namespace trolvane {
namespace {

constexpr std::uint64_t kInterval = 1000;
constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::int32_t kNoTimeLimit = -2;

// Milliseconds since the start, counted wide from the wrapping clock.
class Stopwatch {
 public:
  explicit Stopwatch(const std::function<std::uint32_t()>& clock) : clock_(clock), last_(clock()) {}
  std::uint64_t Elapsed() {
    const std::uint32_t now = clock_();
    elapsed_ += TickDiff(last_, now);
    last_ = now;
    return elapsed_;
  }

 private:
  const std::function<std::uint32_t()>& clock_;
  std::uint32_t last_;
  std::uint64_t elapsed_ = 0;
};

struct Due {
  std::size_t index;
  std::uint64_t at;
};

}  // namespace

std::vector<AddressOutcome> ConfirmAll(const std::vector<std::uint32_t>& addresses,
                                       std::int32_t timeout, const ConfirmAllSeams& seams) {
  RollCall roll;
  std::deque<Due> queue;  // in the order of their times: every interval is the same
  for (std::uint32_t address : addresses) {
    const std::size_t index = roll.Add(address);
    if (index == queue.size()) queue.push_back({index, index / kRequestsPerMs});
  }
  std::vector<AddressOutcome> outcomes(roll.Size(), AddressOutcome::kTimedOut);
  const bool once = timeout <= 0 && timeout != kNoTimeLimit;
  std::uint64_t deadline = timeout > 0 ? static_cast<std::uint64_t>(timeout) : kNever;
  std::size_t waiting_for = roll.Size();
  Stopwatch watch(seams.clock);
  std::uint64_t next_sign = 0;
  for (std::uint64_t now = 0; waiting_for > 0 && now < deadline; now = watch.Elapsed()) {
    while (!queue.empty() && queue.front().at <= now) {
      const std::size_t index = queue.front().index;
      queue.pop_front();
      if (outcomes[index] == AddressOutcome::kConfirmed) continue;
      const bool sent = seams.send(roll.Address(index), roll.NextRequest(index));
      outcomes[index] = sent ? AddressOutcome::kTimedOut : AddressOutcome::kError;
      // At most one request a second, however late this one went out.
      if (!once) queue.push_back({index, now + kInterval});
    }
    if (once && queue.empty() && deadline == kNever) deadline = now + kInterval;
    if (now >= next_sign) {
      if (seams.waiting) seams.waiting(now);
      next_sign = now + kInterval;
    }
    std::uint64_t until = std::min(deadline, next_sign);
    if (!queue.empty()) until = std::min(until, queue.front().at);
    const auto wait = static_cast<std::int32_t>(std::min<std::uint64_t>(
        until > now ? until - now : 0, std::numeric_limits<std::int32_t>::max()));
    const std::optional<PacketView> answer = seams.receive(wait);
    if (!answer) continue;
    const std::optional<std::size_t> index = roll.Match(*answer);
    if (!index || outcomes[*index] == AddressOutcome::kConfirmed) continue;
    if (answer->kind == TReplyStatusKind::rkEchoReply) {
      outcomes[*index] = AddressOutcome::kConfirmed;
      --waiting_for;
      if (seams.confirmed) seams.confirmed(*index);
    } else {
      outcomes[*index] = AddressOutcome::kError;
    }
  }
  return outcomes;
}

}  // namespace trolvane
