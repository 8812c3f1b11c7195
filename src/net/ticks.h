// Arithmetic on the platform's 32-bit millisecond tick counter, which wraps.
#pragma once

#include <cstdint>

namespace trolvane {

// Milliseconds from earlier to later on a counter that may have wrapped once.
constexpr std::uint32_t TickDiff(std::uint32_t earlier, std::uint32_t later) {
  return later - earlier;
}

// What is left of a wait of timeout ms after elapsed ms; 0 when nothing is. Computed wide,
// so that a time-out near the most negative value cannot wrap into a wait of weeks.
constexpr std::int32_t RemainingWait(std::int32_t timeout, std::uint32_t elapsed) {
  const std::int64_t left = static_cast<std::int64_t>(timeout) - elapsed;
  return left > 0 ? static_cast<std::int32_t>(left) : 0;
}

}  // namespace trolvane
