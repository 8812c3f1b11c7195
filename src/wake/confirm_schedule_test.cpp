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
// host's answers repeat their last entry.
Schedule Drive(std::int32_t timeout, const std::vector<Answer>& answers, std::uint32_t start = 5000,
               std::uint32_t overshoot = 0) {
  std::uint32_t now = start;
  Schedule run;
  const ConfirmSeams seams{
      .clock = [&] { return now; },
      .sleep = [&](std::uint32_t ms) { now += ms; },
      .ping =
          [&](std::int32_t wait) {
            const Answer& a = answers[std::min(run.waits.size(), answers.size() - 1)];
            run.waits.push_back(wait);
            if (run.waits.size() > 100) throw std::runtime_error("the schedule does not end");
            now += a.kind == K::rkTimedOut
                       ? static_cast<std::uint32_t>(std::max(wait, 0)) + overshoot
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

// A wait that ends late (a busy machine) does not shift the seconds of the requests, nor
// stretch the time-out.
TEST(PingUntilAnswered, LateWaitsKeepTheSecondsAndTheTimeOut) {
  Schedule run = Drive(3000, {{K::rkTimedOut}}, 5000, 300);
  EXPECT_EQ(run.waits, (std::vector<std::int32_t>{1000, 700, 700}));
  EXPECT_EQ(run.elapsed, 3300u);
}

}  // namespace
}  // namespace trolvane
