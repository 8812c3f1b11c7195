#include "wake/confirm_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace trolvane {
namespace {

using K = TReplyStatusKind;

// What one request meets: an answer of this kind after ms, or (kind rkTimedOut) nothing,
// the request then waiting out its whole time.
struct Answer {
  K kind;
  std::uint32_t ms = 0;
};

struct Schedule {
  std::vector<std::int32_t> waits;  // the wait each request was given
  K outcome;
  std::uint32_t elapsed;
};

// Drives the schedule on a clock of its own that only the ping and the sleep move; the
// host's answers repeat their last entry. A wait that meets no answer ends wait_skew ms late (or
// early, when negative); a sleep ends sleep_short ms early, but never without the clock moving.
Schedule Drive(std::int32_t timeout, const std::vector<Answer>& answers, std::uint32_t start = 5000,
               std::int32_t wait_skew = 0, std::uint32_t sleep_short = 0) {
  std::uint32_t now = start;
  Schedule run;
  const ConfirmSeams seams{
      .clock = [&] { return now; },
      .sleep = [&](std::uint32_t ms) { now += ms > sleep_short + 1 ? ms - sleep_short : 1; },
      .ping =
          [&](std::int32_t wait) {
            const Answer& a = answers[std::min(run.waits.size(), answers.size() - 1)];
            run.waits.push_back(wait);
            if (run.waits.size() > 100) throw std::runtime_error("the schedule does not end");
            now += a.kind == K::rkTimedOut
                       ? static_cast<std::uint32_t>(std::max(wait, 0) + wait_skew)
                       : a.ms;
            return a.kind;
          },
      .waiting = {},
  };
  run.outcome = PingUntilAnswered(timeout, seams);
  run.elapsed = now - start;
  return run;
}

TEST(PingUntilAnswered, AsksOnceASecondAndTheLastOutcomeDecides) {
  const Answer silent{K::rkTimedOut};
  const struct Case {
    const char* name;
    std::int32_t timeout;
    std::vector<Answer> answers;
    std::vector<std::int32_t> waits;
    K outcome;
    std::uint32_t elapsed;
    std::uint32_t start = 5000;
  } cases[] = {
      {"silent host", 3000, {silent}, {1000, 1000, 1000}, K::rkTimedOut, 3000},
      {"a part second at the end", 2500, {silent}, {1000, 1000, 500}, K::rkTimedOut, 2500},
      {"answers the third request",
       5000,
       {silent, silent, {K::rkEchoReply, 200}},
       {1000, 1000, 1000},
       K::rkEchoReply,
       2200},
      {"early errors keep the pace",
       3000,
       {{K::rkUnreachable, 5}},
       {1000, 1000, 1000},
       K::rkUnreachable,
       3000},
      {"an error, then silence",
       3000,
       {{K::rkUnreachable, 5}, silent},
       {1000, 1000, 1000},
       K::rkTimedOut,
       3000},
      {"silence, then an error",
       2000,
       {silent, {K::rkTtlExpired, 30}},
       {1000, 1000},
       K::rkTtlExpired,
       2000},
      {"no time limit",
       -2,
       {silent, silent, silent, silent, {K::rkEchoReply, 10}},
       {1000, 1000, 1000, 1000, 1000},
       K::rkEchoReply,
       4010},
      {"no time limit, errors meanwhile",
       -2,
       {{K::rkUnreachable, 1}, {K::rkEchoReply, 1}},
       {1000, 1000},
       K::rkEchoReply,
       1001},
      {"0 is one poll", 0, {silent}, {0}, K::rkTimedOut, 0},
      {"other values below 0 are one ping", -5, {{K::rkEchoReply, 0}}, {-5}, K::rkEchoReply, 0},
      {"-1 too", -1, {silent}, {-1}, K::rkTimedOut, 0},
      {"the clock wraps", 3000, {silent}, {1000, 1000, 1000}, K::rkTimedOut, 3000, 0xFFFFFC00u},
  };
  for (const Case& c : cases) {
    Schedule run = Drive(c.timeout, c.answers, c.start);
    EXPECT_EQ(run.waits, c.waits) << c.name;
    EXPECT_EQ(run.outcome, c.outcome) << c.name;
    EXPECT_EQ(run.elapsed, c.elapsed) << c.name;
  }
}

// Waits that end late (a busy machine) do not shift the seconds of the requests, nor
// stretch the time-out; waits and sleeps that end a little early (a coarse clock) never
// bring a second request into the same second.
TEST(PingUntilAnswered, ClocksThatDriftKeepOneRequestASecond) {
  const std::vector<std::int32_t> each_second = {1000, 1000, 1000};
  const struct {
    const char* name;
    std::vector<Answer> answers;
    std::int32_t wait_skew;
    std::uint32_t sleep_short;
    std::vector<std::int32_t> waits;
    std::uint32_t elapsed;
  } cases[] = {
      {"waits end late", {{K::rkTimedOut}}, 300, 0, {1000, 700, 700}, 3300},
      {"waits end early", {{K::rkTimedOut}}, -7, 0, each_second, 3000},
      {"sleeps end early", {{K::rkUnreachable, 5}}, 0, 7, each_second, 3000},
  };
  for (const auto& c : cases) {
    Schedule run = Drive(3000, c.answers, 5000, c.wait_skew, c.sleep_short);
    EXPECT_EQ(run.waits, c.waits) << c.name;
    EXPECT_EQ(run.elapsed, c.elapsed) << c.name;
  }
}

}  // namespace
}  // namespace trolvane
