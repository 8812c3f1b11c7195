// How the confirm step spends its wait, apart from the network, so that tests can drive it
// with a clock, a sleep and a ping of their own.
#pragma once

#include <cstdint>
#include <functional>

#include "net/raw_headers.h"

namespace trolvane {

struct ConfirmSeams {
  std::function<std::uint32_t()> clock;  // milliseconds, 32 bits, may wrap
  std::function<void(std::uint32_t ms)> sleep;
  // One echo request, then its wait of at most timeout ms; the kind of its outcome.
  std::function<TReplyStatusKind(std::int32_t timeout)> ping;
  // Before each request of a wait that asks more than once: milliseconds since the start.
  std::function<void(std::uint64_t elapsed)> waiting;
};

// A machine that is still off cannot answer a request sent while it was off, so with a
// positive time-out the host is asked once a second, each request waiting for the rest of
// its second, until it answers or the time-out has passed; then the last outcome decides.
// -2 (no time limit) asks once a second until it answers. 0 and the other values below 0
// make the one ping with that wait. Gives the kind of the last outcome; what the ping
// raises passes on.
TReplyStatusKind PingUntilAnswered(std::int32_t timeout, const ConfirmSeams& seams);

}  // namespace trolvane
