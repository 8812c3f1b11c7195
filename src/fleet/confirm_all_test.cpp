#include "fleet/confirm_all.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <stdexcept>

#include "fleet/roll_call.h"

namespace trolvane {
namespace {

using O = AddressOutcome;
using K = TReplyStatusKind;

// The host at an index answers its nth request (counted from 0) after ms.
struct Reply {
  std::size_t index;
  std::uint32_t nth;
  K kind;
  std::uint32_t ms = 5;
};

struct Roll {
  std::vector<O> outcomes;
  std::vector<std::vector<std::uint64_t>> asked;  // when each address was asked
  std::uint64_t end = 0;
};

std::uint32_t Address(std::size_t index) {
  const std::uint8_t bytes[4] = {198, 18, static_cast<std::uint8_t>(index >> 8),
                                 static_cast<std::uint8_t>(index)};
  std::uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

// Drives the confirmation on a clock of its own that only the receive moves.
Roll Drive(std::size_t count, std::int32_t timeout, const std::vector<Reply>& replies) {
  std::vector<std::uint32_t> addresses;
  std::map<std::uint32_t, std::size_t> index_of;
  for (std::size_t i = 0; i < count; ++i) {
    addresses.push_back(Address(i));
    index_of[Address(i)] = i;
  }
  std::uint64_t now = 0;
  Roll run;
  run.asked.resize(count);
  std::multimap<std::uint64_t, PacketView> pending;  // answers on their way
  const ConfirmAllSeams seams{
      .clock = [&] { return static_cast<std::uint32_t>(now); },
      .send =
          [&](std::uint32_t address, std::uint16_t sequence) {
            const std::size_t i = index_of.at(address);
            const auto nth = static_cast<std::uint32_t>(run.asked[i].size());
            EXPECT_EQ(sequence, static_cast<std::uint16_t>(RollCall::kFirstSequence + nth));
            run.asked[i].push_back(now);
            if (run.asked[i].size() > 50) throw std::runtime_error("asked without end");
            for (const Reply& r : replies) {
              if (r.index != i || r.nth != nth) continue;
              PacketView answer;
              answer.ours = true;
              answer.kind = r.kind;
              answer.sequence = sequence;
              std::memcpy(answer.target.data(), &address, 4);
              pending.emplace(now + r.ms, answer);
            }
            return true;
          },
      .receive = [&](std::int32_t wait) -> std::optional<PacketView> {
        EXPECT_GE(wait, 0);
        if (!pending.empty() && pending.begin()->first <= now + static_cast<std::uint64_t>(wait)) {
          now = std::max(now, pending.begin()->first);
          PacketView answer = pending.begin()->second;
          pending.erase(pending.begin());
          return answer;
        }
        now += static_cast<std::uint64_t>(wait);
        return std::nullopt;
      },
      .confirmed = {},
      .waiting = {},
  };
  run.outcomes = ConfirmAll(addresses, timeout, seams);
  run.end = now;
  return run;
}

TEST(ConfirmAll, AsksEachAddressOnceASecondUntilItAnswers) {
  const struct Case {
    const char* name;
    std::size_t count;
    std::int32_t timeout;
    std::vector<Reply> replies;
    std::vector<O> outcomes;
    std::vector<std::size_t> asked;  // requests per address
    std::uint64_t end;
  } cases[] = {
      {"all silent", 3, 3000, {}, {O::kTimedOut, O::kTimedOut, O::kTimedOut}, {3, 3, 3}, 3000},
      {"answers end the asking",
       3,
       5000,
       {{0, 0, K::rkEchoReply}, {2, 1, K::rkEchoReply, 1500}},
       {O::kConfirmed, O::kTimedOut, O::kConfirmed},
       {1, 5, 3},
       5000},
      {"done when all have answered",
       2,
       60000,
       {{0, 2, K::rkEchoReply}, {1, 0, K::rkEchoReply, 40}},
       {O::kConfirmed, O::kConfirmed},
       {3, 1},
       2005},
      {"the last outcome decides",
       2,
       3000,
       {{0, 2, K::rkUnreachable}, {1, 0, K::rkTtlExpired}},
       {O::kError, O::kTimedOut},
       {3, 3},
       3000},
      {"no time limit", 1, -2, {{0, 6, K::rkEchoReply}}, {O::kConfirmed}, {7}, 6005},
      {"0: each once, then a second", 2, 0, {}, {O::kTimedOut, O::kTimedOut}, {1, 1}, 1000},
      {"below 0 too", 1, -7, {{0, 0, K::rkUnreachable}}, {O::kError}, {1}, 1000},
  };
  for (const Case& c : cases) {
    Roll run = Drive(c.count, c.timeout, c.replies);
    EXPECT_EQ(run.outcomes, c.outcomes) << c.name;
    std::vector<std::size_t> asked;
    for (const auto& times : run.asked) asked.push_back(times.size());
    EXPECT_EQ(asked, c.asked) << c.name;
    EXPECT_EQ(run.end, c.end) << c.name;
  }
}

// A long list goes out paced in its first second, and no address is asked twice within a
// second.
TEST(ConfirmAll, PacesTheRequests) {
  Roll run = Drive(2500, 2500, {});
  std::map<std::uint64_t, int> per_ms;
  for (const auto& times : run.asked) {
    ASSERT_EQ(times.size(), 3u);
    EXPECT_GE(times[1] - times[0], 1000u);
    EXPECT_GE(times[2] - times[1], 1000u);
    ++per_ms[times[0]];
  }
  for (const auto& [ms, n] : per_ms) EXPECT_LE(n, kRequestsPerMs) << "at " << ms << " ms";
  EXPECT_EQ(per_ms.rbegin()->first, 249u);
}

}  // namespace
}  // namespace trolvane
