#include "wake/confirm_schedule.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "net/raw_headers.h"

namespace trolvane {
namespace {

using K = TReplyStatusKind;
using O = HostOutcome;

// A network of its own: each host's n-th request meets an answer of a kind after some ms,
// or nothing (the last entry repeats). Only waits move the clock; a stall once moves it far.
using Plan = std::vector<std::pair<K, std::uint64_t>>;  // per request

struct Net {
  explicit Net(std::vector<Plan> p) : plan(std::move(p)) {}
  std::vector<Plan> plan;                    // per host
  int failing_receives = 0;                  // the first ones fail
  std::uint64_t stall_at = 0, stall_us = 0;  // one jump of the clock
  bool duplicate = false;                    // every answer comes twice
  std::uint64_t send_us = 0;                 // what each send costs
  std::vector<bool> refuse_send;
  std::vector<bool> other_machine;  // its echo replies come from another machine
  bool hold = false;                // answers wait for a reading before they are judged
  std::size_t ports = 0;            // connection attempts each turn, never answered
  bool unwritable = false;          // a confirmation line cannot be written
  std::uint32_t table_limit = 0;    // neighbour entries; one is held 3 s after a send

  std::uint64_t now = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> sends;  // time, host
  std::vector<std::uint64_t> wire;                           // every send, attempts too
  std::multimap<std::uint64_t, HostAnswer> due;
  int confirmed_calls = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> woken_again;  // ms, host

  std::vector<O> Run(std::int32_t timeout, int wakes = 1) {
    std::vector<int> asked(plan.size(), 0);
    const ConfirmSeams seams{
        .clock = [&] { return now; },
        .pause = [&](std::uint64_t us) { now += us; },
        .send =
            [&](std::size_t i) {
              if (sends.size() > 100000) throw std::runtime_error("the wait does not end");
              sends.emplace_back(now, i);
              wire.push_back(now);
              now += send_us;
              if (i < refuse_send.size() && refuse_send[i]) return false;
              const auto& p = plan[i];
              const auto& [kind, ms] = p[std::min<std::size_t>(asked[i]++, p.size() - 1)];
              for (int n = duplicate ? 2 : 1; kind != K::rkTimedOut && n > 0; --n) {
                due.emplace(now + ms * 1000, HostAnswer{i, kind == K::rkEchoReply});
              }
              return true;
            },
        .probe = [&](std::size_t, std::size_t) { wire.push_back(now); },
        .receive = [&](std::int32_t ms) -> std::optional<HostAnswer> {
          if (failing_receives > 0 && failing_receives--) throw std::runtime_error("receive");
          const std::uint64_t until = now + static_cast<std::uint64_t>(ms) * 1000;
          if (stall_us > 0 && now >= stall_at) now += std::exchange(stall_us, 0);
          if (due.empty() || due.begin()->first > until) {
            now = std::max(now, until);
            return std::nullopt;
          }
          now = std::max(now, due.begin()->first);
          HostAnswer a = due.begin()->second;
          due.erase(due.begin());
          return a;
        },
        .wake_again = [&](std::size_t i) { woken_again.emplace_back(now / 1000, i); },
        .own_machine =
            [&](std::size_t i, bool read) {
              if (hold && !read) return MachineVerdict::kLater;
              const bool other = i < other_machine.size() && other_machine[i];
              return other ? MachineVerdict::kOther : MachineVerdict::kOwn;
            },
        .settle = [](bool) { return true; },
        .confirmed =
            [&](std::size_t) {
              if (unwritable) throw std::logic_error("write");
              ++confirmed_calls;
            },
        .waiting = {},
        .needs_place = table_limit > 0
                           ? std::function<bool(std::size_t)>([](std::size_t) { return true; })
                           : nullptr,
        .places = {table_limit > 0 ? std::optional(table_limit) : std::nullopt,
                   [&] {
                     std::set<std::size_t> held;
                     for (const auto& [at, i] : sends) {
                       if (at + 3000000 > now) held.insert(i);
                     }
                     return std::optional(static_cast<std::uint32_t>(held.size()));
                   }},
    };
    ConfirmSeams with = seams;
    if (ports == 0) with.probe = {};
    return ConfirmHosts(plan.size(), timeout, with, 1 + ports, wakes);
  }
  std::vector<std::uint64_t> SendTimesMs(std::size_t host) const {
    std::vector<std::uint64_t> times;
    for (const auto& [at, i] : sends) {
      if (i == host) times.push_back(at / 1000);
    }
    return times;
  }
};

const std::pair<K, std::uint64_t> kSilent{K::rkTimedOut, 0};

TEST(ConfirmHosts, AsksOnceASecondAndTheLastOutcomeDecides) {
  const struct Case {
    const char* name;
    std::int32_t timeout;
    Plan plan;
    std::vector<std::uint64_t> requests_ms;
    O outcome;
    std::uint64_t end_ms;
  } cases[] = {
      {"silent host", 3000, {kSilent}, {0, 1000, 2000}, O::kTimedOut, 3000},
      {"answers the third",
       5000,
       {kSilent, kSilent, {K::rkEchoReply, 200}},
       {0, 1000, 2000},
       O::kConfirmed,
       2200},
      {"an error, then silence",
       2000,
       {{K::rkUnreachable, 5}, kSilent},
       {0, 1000},
       O::kTimedOut,
       2000},
      {"silence, then an error",
       2000,
       {kSilent, {K::rkTtlExpired, 30}},
       {0, 1000},
       O::kError,
       2000},
      {"no time limit",
       -2,
       {kSilent, kSilent, kSilent, {K::rkEchoReply, 10}},
       {0, 1000, 2000, 3000},
       O::kConfirmed,
       3010},
      {"0 asks once and waits the second", 0, {kSilent}, {0}, O::kTimedOut, 1000},
      {"-5 too", -5, {{K::rkEchoReply, 300}}, {0}, O::kConfirmed, 300},
      {"a short time-out still waits a second",
       300,
       {{K::rkEchoReply, 700}},
       {0},
       O::kConfirmed,
       700},
  };
  for (const Case& c : cases) {
    Net net({c.plan});
    EXPECT_EQ(net.Run(c.timeout), std::vector<O>{c.outcome}) << c.name;
    EXPECT_EQ(net.SendTimesMs(0), c.requests_ms) << c.name;
    EXPECT_EQ(net.now / 1000, c.end_ms) << c.name;
  }
}

// What used to go wrong with many hosts and a hostile network.
TEST(ConfirmHosts, ManyHostsUnderStress) {
  // An answer that comes twice confirms once.
  Net twice({{{K::rkEchoReply, 5}}, {kSilent}});
  twice.duplicate = true;
  EXPECT_EQ(twice.Run(2000), (std::vector{O::kConfirmed, O::kTimedOut}));
  EXPECT_EQ(twice.confirmed_calls, 1);

  // A refused send is that host's error at once; the others go on.
  Net refused({{kSilent}, {{K::rkEchoReply, 1500}}});
  refused.refuse_send = {true};
  EXPECT_EQ(refused.Run(3000), (std::vector{O::kError, O::kConfirmed}));
  EXPECT_EQ(refused.SendTimesMs(0).size(), 1u);

  // An answer from another machine, judged by a reading after it came, neither confirms
  // nor ends the wait, and is named.
  Net proxy({{{K::rkEchoReply, 5}}, {{K::rkEchoReply, 5}}});
  proxy.other_machine = {true};
  proxy.hold = true;
  EXPECT_EQ(proxy.Run(2000), (std::vector{O::kOtherMachine, O::kConfirmed}));
  EXPECT_EQ(proxy.SendTimesMs(0), (std::vector<std::uint64_t>{0, 1000}));

  // "/r:3": a silent host is woken again in its second and third turns, one that answered
  // never.
  Net again({{kSilent}, {{K::rkEchoReply, 5}}});
  EXPECT_EQ(again.Run(4000, 3), (std::vector{O::kTimedOut, O::kConfirmed}));
  EXPECT_EQ(again.woken_again,
            (std::vector<std::pair<std::uint64_t, std::size_t>>{{1000, 0}, {2000, 0}}));

  // A few failed receives end no wait; a socket that keeps failing ends it in error.
  Net flaky({{{K::rkEchoReply, 50}}});
  flaky.failing_receives = 3;
  EXPECT_EQ(flaky.Run(3000), std::vector{O::kConfirmed});
  Net broken({{kSilent}});
  broken.failing_receives = 1000;
  EXPECT_EQ(broken.Run(-2), std::vector{O::kError});
  // A line that cannot be written is that error, never taken for a failed receive.
  Net unwritable({{{K::rkEchoReply, 5}}});
  unwritable.unwritable = true;
  EXPECT_THROW(unwritable.Run(2000), std::logic_error);

  // Three places in the neighbour table (a quarter of it left to others), three silent
  // hosts ahead of one that answers: the silent ones give their places up in turn, and the
  // fourth is asked.
  Net crowded({{kSilent}, {kSilent}, {kSilent}, {{K::rkEchoReply, 5}}});
  crowded.table_limit = 4;
  EXPECT_EQ(crowded.Run(10000),
            (std::vector{O::kTimedOut, O::kTimedOut, O::kTimedOut, O::kConfirmed}));
  EXPECT_LT(crowded.SendTimesMs(3).at(0), 10000u);

  // Where each send takes longer than the gap (a slow system), the answers are still taken
  // between the sends: 3,000 hosts that answer at once are each asked once. The gap counts
  // from the end of a send.
  Net slow(std::vector<Plan>(3000, Plan{{K::rkEchoReply, 1}}));
  slow.send_us = 400;
  EXPECT_EQ(slow.Run(5000), std::vector<O>(3000, O::kConfirmed));
  EXPECT_EQ(slow.sends.size(), 3000u);
  for (std::size_t i = 1; i < slow.wire.size(); ++i) {
    ASSERT_GE(slow.wire[i] - slow.wire[i - 1], slow.send_us + kRequestGapUs) << i;
  }

  // Held up for 2.5 s in the middle of the first round, 2,500 silent hosts are asked at
  // the pace afterwards: never two sends closer than the gap, connection attempts
  // included, never one host twice in a second.
  Net stalled(std::vector<Plan>(2500, Plan{kSilent}));
  stalled.stall_at = 100000;
  stalled.stall_us = 2500000;
  stalled.ports = 2;
  stalled.Run(6000);
  for (std::size_t i = 1; i < stalled.wire.size(); ++i) {
    ASSERT_GE(stalled.wire[i] - stalled.wire[i - 1], kRequestGapUs) << i;
  }
  EXPECT_GE(stalled.wire.size(), 3 * stalled.sends.size() - 2);
  std::map<std::size_t, std::uint64_t> last;
  for (std::size_t i = 1; i < stalled.sends.size(); ++i) {
    const auto [at, host] = stalled.sends[i];
    if (last.count(host)) {
      ASSERT_GE(at - last[host], kRequestIntervalUs) << host;
    }
    last[host] = at;
  }
}

}  // namespace
}  // namespace trolvane
