#include "wake/confirm_schedule.h"

#include <algorithm>
#include <limits>

namespace trolvane {
namespace {

constexpr std::uint64_t kPingInterval = 1000;
constexpr std::int32_t kNoTimeLimit = -2;

}  // namespace

TReplyStatusKind PingUntilAnswered(std::int32_t timeout, const ConfirmSeams& seams) {
  if (timeout <= 0 && timeout != kNoTimeLimit) return seams.ping(timeout);
  const std::uint64_t budget =
      timeout > 0 ? static_cast<std::uint64_t>(timeout) : std::numeric_limits<std::uint64_t>::max();
  // Counted wide from the wrapping clock, so that a wait without limit never wraps.
  std::uint32_t last_tick = seams.clock();
  std::uint64_t elapsed = 0;
  auto advance = [&] {
    const std::uint32_t now = seams.clock();
    elapsed += TickDiff(last_tick, now);
    last_tick = now;
  };
  TReplyStatusKind last = TReplyStatusKind::rkTimedOut;
  // Second n's request goes out no sooner than n seconds in, whatever a clock that ticks
  // coarsely, or a wait that ends a little early, says: never twice in one second.
  for (std::uint64_t second = 0;; ++second) {
    advance();
    while (elapsed < second * kPingInterval && elapsed < budget) {
      seams.sleep(static_cast<std::uint32_t>(std::min(second * kPingInterval, budget) - elapsed));
      advance();
    }
    if (elapsed >= budget) break;
    second = std::max(second, elapsed / kPingInterval);  // a late second is gone
    const std::uint64_t second_end = std::min((second + 1) * kPingInterval, budget);
    if (seams.waiting) seams.waiting(elapsed);
    last = seams.ping(static_cast<std::int32_t>(second_end - elapsed));
    if (last == TReplyStatusKind::rkEchoReply) break;
  }
  return last;
}

}  // namespace trolvane
