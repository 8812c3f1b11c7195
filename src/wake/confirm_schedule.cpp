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
  while (elapsed < budget) {
    const std::uint64_t second_end =
        std::min((elapsed / kPingInterval + 1) * kPingInterval, budget);
    if (seams.waiting) seams.waiting(elapsed);
    last = seams.ping(static_cast<std::int32_t>(second_end - elapsed));
    if (last == TReplyStatusKind::rkEchoReply) break;
    // An early answer of another kind must not speed up the requests.
    advance();
    if (elapsed < second_end) {
      seams.sleep(static_cast<std::uint32_t>(second_end - elapsed));
      advance();
    }
  }
  return last;
}

}  // namespace trolvane
