// How long the echo requests of a run may wait for their answers. Where raw ICMP is
// refused on Windows, each request is a call of the system's ICMP helper that waits on
// its own; none of them should outlive the run, or the next run may queue behind them.
// Raw sockets (and POSIX) keep no request waiting, so there this does nothing.
#pragma once

#include <cstdint>

namespace os {

// The run's wait from now, in milliseconds as the /t option gives it: above 0 the
// requests sent from now on wait for their answers no later than that (at least one
// second each); -2 sets no limit of the run's own; 0 and other values below 0, one second.
void LimitEchoWait(std::int32_t milliseconds);

}  // namespace os
