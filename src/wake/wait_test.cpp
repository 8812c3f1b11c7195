#include "wake/wait.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

#include "net/net_exceptions.h"
#include "platform/winsock.h"
#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/broadcast_address.h"
#include "wake/pacer.h"
#include "wake/socket_wire.h"

namespace trolvane {
namespace {

using K = Heard::Kind;
using Via = os::Route::Via;
using Medium = os::Route::Medium;
using Table = std::optional<std::vector<os::Neighbour>>;  // none: the read is refused

// A machine's answer to its n-th request: a kind after some ms, or nothing; shift moves
// the sequence it carries off the request's.
struct Answer {
  std::optional<K> kind;
  std::uint64_t ms = 0;
  std::uint16_t shift = 0;
};
using Plan = std::vector<Answer>;  // by request; the last repeats
const Answer kSilent{};
const Answer kReply{K::kEchoReply, 5};

std::uint32_t At(std::uint32_t d) { return os::HToNl(0xC6120000u + d); }  // 198.18.0.0 + d
const os::HardwareAddress kX = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01};
const os::HardwareAddress kY = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
const os::Route kOnLink{Via::kLink, Medium::kBroadcast, 2, 24};
os::Neighbour Entry(std::uint32_t address, const os::HardwareAddress& mac,
                    std::uint32_t ifindex = 2) {
  return {address, mac, ifindex, true, false, std::nullopt};
}

// A network of its own: each address's n-th request meets its plan's answer. Only waits
// move the clock (a pause wakes on the timer's next tick), and each send costs send_us.
class Net : public Wire {
 public:
  std::map<std::uint32_t, Plan> plan;
  std::optional<os::Route> route = os::Route{Via::kGateway, Medium::kBroadcast, 2, -1};
  std::map<std::uint32_t, std::optional<os::Route>> routes;          // where not `route`
  std::vector<os::Neighbour> before;                                 // the table as the run starts
  std::vector<Table> readings{Table{std::vector<os::Neighbour>{}}};  // the last stays
  // Send results by kind ('w', 'e', 'a', 'p') and address; the last stays.
  std::map<std::pair<char, std::uint32_t>, std::vector<Sent>> refuse;
  int failing_receives = 0;
  std::uint64_t stall_at = 0, stall_us = 0, send_us = 0, tick_us = 0, slack_us = 0;
  bool duplicate = false, stall_in_pause = false;
  std::optional<std::uint32_t> table_limit;  // an entry is held 3 s after a send to it

  struct Sending {
    std::uint64_t at;
    char what;  // 'w'ake, 'e'cho, 'a'ttempt, 'p'robe
    std::uint32_t address;
  };
  std::uint64_t now = 0;
  int reads = 0;
  std::vector<Sending> sends;
  std::vector<std::pair<std::size_t, std::uint64_t>> confirmed;  // line, ms
  std::multimap<std::uint64_t, Heard> due;

  std::uint64_t Clock() override { return now; }
  void Pause(std::uint64_t us) override {
    now += us + slack_us;
    if (stall_in_pause) Stall();
    if (tick_us > 0) now = (now + tick_us - 1) / tick_us * tick_us;
  }
  Sent Datagram(std::uint32_t address, std::uint16_t, const os::HardwareAddress&) override {
    return Refusal('w', address, Record('w', address));
  }
  Sent Echo(std::uint32_t address, std::uint16_t sequence) override {
    const std::size_t n = Record('e', address);
    const Sent sent = Refusal('e', address, n);
    for (int i = duplicate ? 2 : 1; sent == Sent::kSent && i > 0; --i)
      Answers(address, n, sequence);
    return sent;
  }
  Sent Attempt(std::uint32_t address, std::uint16_t) override {
    const std::size_t n = Record('a', address);
    const Sent sent = Refusal('a', address, n);
    if (sent == Sent::kSent) Answers(address, n, 0);
    return sent;
  }
  Sent Probe(std::uint32_t address) override {
    const std::size_t n = Record('p', address);
    const Sent sent = Refusal('p', address, n);
    if (sent == Sent::kSent) Answers(address, n, 0);
    return sent;
  }
  std::optional<Heard> Receive(std::int32_t ms) override {
    if (failing_receives > 0 && failing_receives--) throw std::runtime_error("receive");
    const std::uint64_t until = now + static_cast<std::uint64_t>(ms) * 1000;
    if (!stall_in_pause) Stall();
    if (due.empty() || due.begin()->first > until) {
      now = std::max(now + 1, until);  // a look costs a moment too
      return std::nullopt;
    }
    now = std::max(now, due.begin()->first);
    const Heard heard = due.begin()->second;
    due.erase(due.begin());
    return heard;
  }
  bool ReadTable(std::vector<os::Neighbour>* entries) override {
    const Table& t = readings[std::min<std::size_t>(reads++, readings.size() - 1)];
    if (t) *entries = *t;
    return t.has_value();
  }
  std::optional<std::uint32_t> TableLimit() override { return table_limit; }
  std::optional<std::uint32_t> TableHeld() override {
    std::set<std::uint32_t> held;
    for (const Sending& s : sends) {
      if (s.at + 3000000 > now) held.insert(s.address);
    }
    return static_cast<std::uint32_t>(held.size());
  }

  LinkReads Reads() {
    return {[this](const std::vector<std::uint32_t>& addresses) {
              std::vector<std::optional<os::Route>> r;
              for (std::uint32_t a : addresses) r.push_back(routes.count(a) ? routes[a] : route);
              return r;
            },
            [this](std::vector<os::Neighbour>* entries) { return *entries = before, true; }};
  }
  // Runs the wait over lines; a line given as woken had its packet from the send step.
  Roster Run(std::vector<RosterLine> lines, WaitRules rules, bool woken = true) {
    for (RosterLine& line : lines) {
      line.wakes = woken ? 1 : 0;
      line.delivered = woken;
    }
    Roster roster(std::move(lines), Reads());
    RunWait(roster, *this, rules,
            {[this](std::size_t l) { confirmed.emplace_back(l, now / 1000); }, {}});
    return roster;
  }
  std::vector<std::uint64_t> TimesMs(char what, std::uint32_t address) const {
    std::vector<std::uint64_t> times;
    for (const Sending& s : sends) {
      if (s.what == what && s.address == address) times.push_back(s.at / 1000);
    }
    return times;
  }

 private:
  // How many of these went to the address before.
  std::size_t Record(char what, std::uint32_t address) {
    if (sends.size() > 200000) throw std::runtime_error("the wait does not end");
    sends.push_back({now, what, address});
    now += send_us;
    return counts_[{what, address}]++;
  }
  Sent Refusal(char what, std::uint32_t address, std::size_t n) {
    const auto& r = refuse[{what, address}];
    return r.empty() ? Sent::kSent : r[std::min(n, r.size() - 1)];
  }
  void Stall() {
    if (stall_us > 0 && now >= stall_at) now += std::exchange(stall_us, 0);
  }
  void Answers(std::uint32_t address, std::size_t n, std::uint16_t sequence) {
    const Plan& p = plan[address];
    const Answer a = p.empty() ? kSilent : p[std::min(n, p.size() - 1)];
    const auto seq = static_cast<std::uint16_t>(sequence + a.shift);
    if (a.kind) due.emplace(now + a.ms * 1000, Heard{*a.kind, address, seq, kY});
  }
  std::map<std::pair<char, std::uint32_t>, std::size_t> counts_;
};

RosterLine Line(std::uint32_t address, std::optional<os::HardwareAddress> mac = kX,
                std::int32_t bits = kNoMaskBits) {
  RosterLine line;
  line.host = "h";
  line.mac = mac;
  line.mask_bits = bits;
  line.to.host = address;
  if (bits != kNoMaskBits) line.to.broadcast = BroadcastOf(address, bits);
  return line;
}

WaitRules Rules(std::int32_t timeout, int wakes = 1) {
  WaitRules rules;
  rules.timeout = timeout;
  rules.wakes = wakes;
  return rules;
}

// "ok", "timeout", "error", or the MAC of the other machine.
std::string Outcome(const Roster& roster, std::size_t line) {
  const trolvane::Outcome& o = roster.lines[line].outcome;
  switch (o.kind) {
    case trolvane::Outcome::Kind::kConfirmed:
      return "ok";
    case trolvane::Outcome::Kind::kTimeout:
      return "timeout";
    case trolvane::Outcome::Kind::kOtherMachine:
      return MacText(*o.mac);
    default:
      return "error";
  }
}
std::string Other(const os::HardwareAddress& mac) { return MacText(mac); }

TEST(Wait, AsksOnceASecondAndTheLastOutcomeDecides) {
  const struct Case {
    const char* name;
    std::int32_t timeout;
    Plan plan;
    std::vector<std::uint64_t> requests_ms;
    std::string outcome;
    std::uint64_t end_ms;
  } cases[] = {
      {"silent host", 3000, {kSilent}, {0, 1000, 2000}, "timeout", 3000},
      {"answers the third",
       5000,
       {kSilent, kSilent, {K::kEchoReply, 200}},
       {0, 1000, 2000},
       "ok",
       2200},
      {"an error, then silence", 2000, {{K::kIcmpError, 5}, kSilent}, {0, 1000}, "timeout", 2000},
      {"silence, then an error", 2000, {kSilent, {K::kIcmpError, 30}}, {0, 1000}, "error", 2000},
      {"no time limit",
       -2,
       {kSilent, kSilent, kSilent, {K::kEchoReply, 10}},
       {0, 1000, 2000, 3000},
       "ok",
       3010},
      {"0 asks once and waits the second", 0, {kSilent}, {0}, "timeout", 1000},
      {"-5 too", -5, {{K::kEchoReply, 300}}, {0}, "ok", 300},
      {"a short time-out still waits a second", 300, {{K::kEchoReply, 700}}, {0}, "ok", 700},
      {"a reply to a request never sent",
       2000,
       {{K::kEchoReply, 5, 100}},
       {0, 1000},
       "timeout",
       2000},
  };
  for (const Case& c : cases) {
    Net net;
    net.plan[At(1)] = c.plan;
    const Roster r = net.Run({Line(At(1))}, Rules(c.timeout));
    EXPECT_EQ(Outcome(r, 0), c.outcome) << c.name;
    EXPECT_EQ(net.TimesMs('e', At(1)), c.requests_ms) << c.name;
    EXPECT_EQ(net.now / 1000, c.end_ms) << c.name;
  }
}

// What used to go wrong with many hosts and a hostile network.
TEST(Wait, ManyMachinesUnderStress) {
  // An answer that comes twice confirms once.
  Net twice;
  twice.duplicate = true;
  twice.plan[At(1)] = {kReply};
  const Roster r1 = twice.Run({Line(At(1)), Line(At(2))}, Rules(2000));
  EXPECT_EQ(Outcome(r1, 0) + Outcome(r1, 1), "oktimeout");
  EXPECT_EQ(twice.confirmed.size(), 1u);

  // A send that cannot go is that host's error at once; one held up for want of buffers
  // is sent again in its next turn (a wake held up is not yet given), and in a list so is
  // one that found no route while a link flapped; the others go on.
  Net refused;
  refused.refuse[{'e', At(1)}] = {Sent::kFailed};
  refused.refuse[{'e', At(2)}] = {Sent::kBusy, Sent::kBusy, Sent::kSent};
  refused.plan[At(3)] = {{K::kEchoReply, 1500}};
  refused.refuse[{'w', At(4)}] = {Sent::kBusy, Sent::kSent};
  refused.refuse[{'w', At(5)}] = {Sent::kBusy};
  refused.refuse[{'e', At(6)}] = {Sent::kNoRoute, Sent::kNoRoute, Sent::kSent};
  refused.plan[At(6)] = {kReply};
  WaitRules riding = Rules(3000);
  riding.retry_unreachable = true;
  const Roster r2 =
      refused.Run({Line(At(1)), Line(At(2)), Line(At(3)), Line(At(4)), Line(At(5)), Line(At(6))},
                  riding, false);
  std::string outcomes;
  for (std::size_t l = 0; l < 6; ++l) outcomes += Outcome(r2, l) + " ";
  EXPECT_EQ(outcomes, "error timeout ok timeout error ok ");
  EXPECT_EQ(refused.TimesMs('e', At(1)).size(), 1u);
  EXPECT_EQ(refused.TimesMs('e', At(2)), (std::vector<std::uint64_t>{0, 1000, 2000}));
  EXPECT_EQ(refused.TimesMs('w', At(4)), (std::vector<std::uint64_t>{0, 1000}));
  EXPECT_EQ(refused.TimesMs('e', At(6)).size(), 3u);
  // A single host ends at its first send that found no route; "/t:0" in a list asks each
  // host once.
  Net solo;
  solo.refuse[{'e', At(1)}] = {Sent::kNoRoute};
  EXPECT_EQ(Outcome(solo.Run({Line(At(1))}, Rules(3000)), 0), "error");
  Net once;
  once.Run({Line(At(1)), Line(At(2))}, Rules(0));
  EXPECT_EQ(once.TimesMs('e', At(1)).size() + once.TimesMs('e', At(2)).size(), 2u);

  // "/r:3": a silent host is woken again in its second and third turns, one that answered
  // never; in a list, each line's repeats go, not only the first round's.
  Net again;
  again.plan[At(2)] = {kReply};
  again.Run({Line(At(1)), Line(At(2))}, Rules(4000, 3));
  EXPECT_EQ(again.TimesMs('w', At(1)), (std::vector<std::uint64_t>{1000, 2000}));
  EXPECT_EQ(again.TimesMs('w', At(2)).size(), 0u);
  Net list;
  list.Run({Line(At(1)), Line(At(1))}, Rules(4000, 3), false);
  EXPECT_EQ(list.TimesMs('w', At(1)), (std::vector<std::uint64_t>{0, 1000, 1000, 2000, 2000}));

  // A few failed receives end no wait; a socket that keeps failing ends it in error.
  Net flaky;
  flaky.failing_receives = 3;
  flaky.plan[At(1)] = {{K::kEchoReply, 50}};
  EXPECT_EQ(Outcome(flaky.Run({Line(At(1))}, Rules(3000)), 0), "ok");
  Net broken;
  broken.failing_receives = 1000;
  EXPECT_EQ(Outcome(broken.Run({Line(At(1))}, Rules(-2)), 0), "error");

  // No ICMP socket: every packet still goes, then every host not heard on a port is a
  // ping error.
  for (const std::vector<std::uint16_t>& ports : {std::vector<std::uint16_t>{}, {22}}) {
    Net no_icmp;
    no_icmp.refuse[{'e', At(1)}] = no_icmp.refuse[{'e', At(2)}] = {Sent::kNoSocket};
    WaitRules rules = Rules(ports.empty() ? -2 : 2000);
    rules.ports = ports;
    const Roster r3 = no_icmp.Run({Line(At(1)), Line(At(2))}, rules, false);
    EXPECT_EQ(Outcome(r3, 0) + Outcome(r3, 1), "errorerror");
    EXPECT_EQ(no_icmp.TimesMs('w', At(2)).size(), 1u);
  }

  // A line that cannot be written is that error, never taken for a failed receive.
  Net unwritable;
  unwritable.plan[At(1)] = {kReply};
  Roster roster({Line(At(1))}, unwritable.Reads());
  EXPECT_THROW(RunWait(roster, unwritable, Rules(2000),
                       {[](std::size_t) { throw std::logic_error("write"); }, {}}),
               std::logic_error);

  // Three places in the neighbour table (a quarter of it left to others), three silent
  // hosts on the link ahead of one that answers: the silent ones give their places up in
  // turn, and the fourth is asked.
  // A path the platform cannot name may take a place as well.
  WaitRules unchecked = Rules(10000);
  unchecked.mac_check = false;
  for (const std::optional<os::Route>& route : {std::optional<os::Route>(kOnLink), {}}) {
    Net crowded;
    crowded.route = route;
    crowded.table_limit = 4;
    crowded.plan[At(4)] = {kReply};
    const Roster r4 = crowded.Run({Line(At(1)), Line(At(2)), Line(At(3)), Line(At(4))}, unchecked);
    EXPECT_EQ(Outcome(r4, 3), "ok");
    EXPECT_GE(crowded.TimesMs('e', At(4)).at(0), 3000u);
  }
  // Where the table has room for all, nobody rests: silent machines are asked once a
  // second for the whole wait, and one that starts answering at 2.5 s is confirmed at once.
  Net roomy;
  roomy.route = kOnLink;
  roomy.table_limit = 1024;
  roomy.plan[At(3)] = {kSilent, kSilent, kSilent, kReply};
  roomy.Run({Line(At(1)), Line(At(2)), Line(At(3))}, unchecked);
  EXPECT_EQ(roomy.TimesMs('e', At(1)).size(), 10u);
  EXPECT_EQ(roomy.confirmed.at(0).second, 3005u);

  // Where each send takes longer than the gap (a slow system), the answers are still taken
  // between the sends: 3,000 hosts on the link that answer at once are each asked once,
  // and judged by a handful of readings of the table, none closer than 20 ms. The gap
  // counts from the end of a send that took longer than it.
  Net slow;
  slow.send_us = 400;
  slow.route = kOnLink;
  std::vector<RosterLine> many;
  std::vector<os::Neighbour> entries;
  for (std::uint32_t i = 1; i <= 3000; ++i) {
    slow.plan[At(i)] = {{K::kEchoReply, 1}};
    many.push_back(Line(At(i)));
    entries.push_back(Entry(At(i), kX));
  }
  slow.readings = {entries};
  const Roster r5 = slow.Run(many, Rules(5000));
  EXPECT_EQ(r5.Confirmed(), 3000u);
  EXPECT_EQ(slow.sends.size(), 3000u);
  EXPECT_LE(slow.reads, 3000 * (slow.send_us + kRequestGapUs) / 20000 + 2);
  for (std::size_t i = 1; i < slow.sends.size(); ++i) {
    ASSERT_GE(slow.sends[i].at - slow.sends[i - 1].at, slow.send_us + kRequestGapUs) << i;
  }
}

// Held up for 2.5 s in the first round, 2,500 silent hosts with two ports each are asked
// at the pace afterwards: on a fine timer never two sends closer than the gap, never one
// host twice in a second, whether the hold-up came in a pause or a receive and however
// late the timer's pauses wake (its slack). On a timer of 1 ms or 15.6 ms the gap is a
// rate: 10,000 sends a second still, and no burst larger than one tick's share after the
// hold-up.
TEST(Wait, KeepsThePaceWhateverTheTimer) {
  const struct {
    std::uint64_t tick, slack;
    bool stall_in_pause;
  } timers[] = {{0, 0, false}, {0, 0, true}, {0, 60, false}, {1000, 0, false}, {15600, 0, false}};
  for (const auto& [tick, slack, stall_in_pause] : timers) {
    Net net;
    net.tick_us = tick;
    net.slack_us = slack;
    net.stall_in_pause = stall_in_pause;
    net.stall_at = 100000;
    net.stall_us = 2500000;
    std::vector<RosterLine> lines;
    for (std::uint32_t i = 1; i <= 2500; ++i) lines.push_back(Line(At(i)));
    WaitRules rules = Rules(6000);
    rules.ports = {22, 3389};
    net.Run(lines, rules);
    std::map<std::uint32_t, std::uint64_t> last;
    std::size_t burst = 0, most = 0;
    for (std::size_t i = 1; i < net.sends.size(); ++i) {
      const auto& s = net.sends[i];
      const std::uint64_t gap = s.at - net.sends[i - 1].at;
      if (tick == 0) {
        ASSERT_GE(gap, kRequestGapUs) << i;
      }
      burst = gap < kRequestGapUs ? burst + 1 : 0;
      most = std::max(most, burst);
      if (s.what == 'e' && last.count(s.address) != 0) {
        ASSERT_GE(s.at - last[s.address], kRequestIntervalUs) << s.address;
      }
      if (s.what == 'e') last[s.address] = s.at;
    }
    EXPECT_LE(most, tick / kRequestGapUs + 1) << tick;
    // The first round of 7,500 sends ends within a second of the hold-up.
    EXPECT_LT(net.TimesMs('a', At(2500)).at(1), 3700u) << tick;
  }
}

// An answer from the link confirms only the lines whose MAC the neighbour table gives its
// address, by a reading after it came (one every 20 ms at most); where the table cannot
// tell, as before the check. Host 0 is .20, woken as kX unless a case says otherwise, and
// answers each request 5 ms later (host 1, .21, where a case names it, too).
TEST(Wait, JudgesEachAnswerByAReadingAfterIt) {
  using L = std::vector<std::pair<std::uint32_t, os::HardwareAddress>>;
  const struct Case {
    const char* name;
    std::vector<Table> readings;
    std::vector<std::string> outcomes;  // by line
    std::optional<os::Route> route = kOnLink;
    bool on = true;
    std::uint64_t confirmed_ms = 5;  // when line 0 was, if it was
    L lines = {{At(20), kX}};
    std::map<std::uint32_t, Plan> plan = {};
  } cases[] = {
      {"the woken MAC", {{{Entry(At(20), kX)}}}, {"ok"}},
      {"another MAC", {{{Entry(At(20), kY)}}}, {Other(kY)}},
      {"behind a router", {{{Entry(At(20), kY)}}}, {"ok"}, os::Route{Via::kGateway}},
      {"a tunnel", {{{Entry(At(20), kY)}}}, {"ok"}, os::Route{Via::kLink, Medium::kPlain}},
      {"the check off", {{{Entry(At(20), kY)}}}, {"ok"}, kOnLink, false},
      {"a path the platform cannot name", {{{Entry(At(20), kY)}}}, {"ok"}, std::nullopt},
      {"a refused read: as before the check", {std::nullopt}, {"ok"}},
      {"the path's interface", {{{Entry(At(20), kY), Entry(At(20), kX, 3)}}}, {Other(kY)}},
      {"two lines at one address",
       {{{Entry(At(20), kX)}}},
       {"ok", Other(kX)},
       kOnLink,
       true,
       5,
       L{{At(20), kX}, {At(20), kY}}},
      {"an entry gone already: the next answer",
       {{{}}, {{Entry(At(20), kX)}}},
       {"ok"},
       kOnLink,
       true,
       1005},
      {"no entry twice: the table cannot tell", {{{}}}, {"ok"}, kOnLink, true, 1005},
      {"once another machine was seen, no entry confirms nothing",
       {{{Entry(At(20), kY)}}, {{}}},
       {Other(kY)}},
      {"asked still after another machine, the woken one that takes the address back",
       {{{Entry(At(20), kY)}}, {{Entry(At(20), kX)}}},
       {"ok"},
       kOnLink,
       true,
       1005},
      {"a leftover entry, read for host 1, judges neither host 0 nor a later reading",
       {{{Entry(At(20), kX), Entry(At(21), kY)}}, {{}}},
       {"ok", "ok"},
       kOnLink,
       true,
       2000,
       L{{At(20), kX}, {At(21), kY}},
       {{At(20), {kSilent, kReply}}, {At(21), {kReply, kSilent}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Net net;
    net.route = c.route;
    net.readings = c.readings;
    std::vector<RosterLine> lines;
    for (const auto& [address, mac] : c.lines) {
      lines.push_back(Line(address, mac));
      net.plan[address] = {kReply};
    }
    for (const auto& [address, p] : c.plan) net.plan[address] = p;
    WaitRules rules = Rules(2000);
    rules.mac_check = c.on;
    const Roster r = net.Run(lines, rules);
    for (std::size_t l = 0; l < c.outcomes.size(); ++l) {
      EXPECT_EQ(Outcome(r, l), c.outcomes[l]) << c.name << " line " << l;
    }
    for (const auto& [line, ms] : net.confirmed) {
      if (line == 0) {
        EXPECT_EQ(ms, c.confirmed_ms);
      }
    }
    if (!c.on || !c.route || c.route->via != Via::kLink || c.route->medium != Medium::kBroadcast) {
      EXPECT_EQ(net.reads, 0) << c.name;
    }
  }
  // A router may reset for a machine that is not there (a path chosen by port, a route
  // added during the wait): a refusal proves one only with its entry, whatever "/v".
  const Table kWoken = std::vector<os::Neighbour>{Entry(At(20), kX)},
              kNone = std::vector<os::Neighbour>{};
  const std::tuple<Table, bool, const char*> refusals[] = {{kWoken, true, "ok"},
                                                           {kNone, true, "timeout"},
                                                           {std::nullopt, true, "timeout"},
                                                           {kNone, false, "timeout"}};
  for (const auto& [reading, on, outcome] : refusals) {
    Net net;
    net.route = kOnLink;
    net.readings = {reading};
    net.plan[At(20)] = {{K::kRefused, 5}};
    WaitRules rules = Rules(2000);
    rules.mac_check = on;
    rules.ports = {3389};
    EXPECT_EQ(Outcome(net.Run({Line(At(20))}, rules), 0), outcome) << on;
  }
}

// Where a line's packet goes: to its host, with given mask bits to their broadcast too;
// without, to its link's broadcast instead where the table cannot take the unicast to the
// woken MAC (an off PC answers no address resolution). Each line by its own machine's
// path, whatever lines come before it.
TEST(Wait, ThePacketGoesWhereItCanArrive) {
  const std::uint32_t kLink24 = At(255);
  const struct Case {
    const char* name;
    std::optional<os::Route> route;
    std::vector<os::Neighbour> before;
    std::int32_t bits;
    std::vector<std::uint32_t> sent;  // in order
  } cases[] = {
      {"an off PC on the link", kOnLink, {}, kNoMaskBits, {kLink24}},
      {"its entry holds another MAC", kOnLink, {Entry(At(6), kY)}, kNoMaskBits, {kLink24}},
      {"the entry is another link's", kOnLink, {Entry(At(6), kX, 3)}, kNoMaskBits, {kLink24}},
      {"a /31 link has no broadcast",
       os::Route{Via::kLink, Medium::kBroadcast, 2, 31},
       {},
       kNoMaskBits,
       {At(6)}},
      {"nor has a /0", os::Route{Via::kLink, Medium::kBroadcast, 2, 0}, {}, kNoMaskBits, {At(6)}},
      {"a /30 has", os::Route{Via::kLink, Medium::kBroadcast, 2, 30}, {}, kNoMaskBits, {At(7)}},
      {"a link whose medium cannot be read",
       os::Route{Via::kLink, Medium::kUnknown, 2, 24},
       {},
       kNoMaskBits,
       {At(6)}},
      {"given bits decide alone", kOnLink, {}, 24, {At(6), kLink24}},
      {"/s:0 names no network", kOnLink, {}, 0, {At(6)}},
      {"a path the platform cannot name", std::nullopt, {}, kNoMaskBits, {At(6)}},
  };
  for (const Case& c : cases) {
    Net net;
    net.route = os::Route{Via::kGateway};
    net.routes[At(6)] = c.route;
    net.before = c.before;
    RosterLine refused = Line(At(9));
    refused.to.host.reset();
    // A refused line and a repeated one come first; the packets go as the first turn's.
    net.Run({refused, Line(At(5)), Line(At(5)), Line(At(6), kX, c.bits)}, Rules(0), false);
    std::vector<std::uint32_t> sent;
    for (const auto& s : net.sends) {
      if (s.what == 'w' && s.address != At(5)) sent.push_back(s.address);
    }
    EXPECT_EQ(sent, c.sent) << c.name;
    EXPECT_EQ(net.TimesMs('w', At(5)).size(), 1u) << c.name;  // identical datagrams once
  }
}

// What a failed send means for the turn, from the system's code.
TEST(Wait, ASendThatFailsIsToldByItsCode) {
  const std::pair<int, Sent> codes[] = {{10055, Sent::kBusy},    {10035, Sent::kBusy},
                                        {10049, Sent::kBusy},    {10024, Sent::kNoDescriptor},
                                        {10050, Sent::kNoRoute}, {10051, Sent::kNoRoute},
                                        {10065, Sent::kNoRoute}, {10013, Sent::kFailed}};
  for (const auto& [code, sent] : codes) {
    struct Refusing : EchoExchange {
      int code;
      void Send(std::uint32_t, std::uint16_t) override { throw ENetSocketError(code, "send"); }
      std::optional<Heard> Receive(std::int32_t) override { return std::nullopt; }
    } echo;
    echo.code = code;
    SocketWire wire(echo, false);
    EXPECT_EQ(wire.Echo(At(1), 1), sent) << code;
    EXPECT_EQ(wire.LastSendError(), code);
  }
}

// A sweep asks each address twice at most, the second time only when it was silent: by
// its own ARP requests, a machine is the one whose reply came; by the system's table, one
// that confirmed its entry after its first probe on the range's link, or answered the
// probe while its entry is reachable, never a leftover of a machine that left before.
TEST(Wait, ASweepFindsTheMachinesThatAnsweredIt) {
  Net arp;
  arp.plan[At(1)] = {{K::kArpReply, 2}};
  arp.plan[At(2)] = {kSilent, {K::kArpReply, 2}};
  Roster by_reply(std::vector<std::uint32_t>{At(1), At(2), At(3)}, arp.Reads());
  WaitRules rules;
  rules.sweep = WaitRules::Sweep::kByReply;
  RunWait(by_reply, arp, rules);
  EXPECT_EQ(by_reply.machines[0].heard, kY);
  EXPECT_EQ(by_reply.machines[1].heard, kY);
  EXPECT_FALSE(by_reply.machines[2].heard);
  EXPECT_EQ(arp.TimesMs('p', At(1)), std::vector<std::uint64_t>{0});
  EXPECT_EQ(arp.TimesMs('p', At(3)), (std::vector<std::uint64_t>{0, 1000}));
  EXPECT_LT(arp.now, 2000000u);

  // A range whose first round outlasts a second (a /16 takes seconds): every silent
  // address still gets its second probe, and the last one's second reply is heard. A
  // probe the system had no room for is asked again; one never sent is left unasked.
  Net wide;
  wide.plan[At(19999)] = {kSilent, {K::kArpReply, 2}};
  wide.refuse[{'p', At(2)}] = {Sent::kBusy, Sent::kBusy, Sent::kSent};
  wide.refuse[{'p', At(3)}] = {Sent::kBusy};
  std::vector<std::uint32_t> range;
  for (std::uint32_t i = 1; i < 20000; ++i) range.push_back(At(i));
  Roster swept(range, wide.Reads());
  RunWait(swept, wide, rules);
  EXPECT_EQ(swept.machines.back().heard, kY);
  EXPECT_EQ(wide.TimesMs('p', At(19998)).size(), 2u);
  EXPECT_EQ(wide.TimesMs('p', At(2)).size(), 4u);
  EXPECT_TRUE(swept.machines[1].asked);
  EXPECT_FALSE(swept.machines[2].asked);

  // Where the platform says not when an entry was confirmed (Windows), one reachable
  // already before the sweep proves nothing.
  Net table;
  table.route = kOnLink;
  table.plan[At(4)] = {kReply};
  os::Neighbour fresh = Entry(At(1), kX), left = Entry(At(2), kX), other_link = Entry(At(3), kX, 3),
                answered = Entry(At(4), kX), left_untimed = Entry(At(5), kX),
                new_untimed = Entry(At(6), kX);
  fresh.confirmed_ms_ago = 10;
  left.confirmed_ms_ago = answered.confirmed_ms_ago = 60000;
  table.readings = {Table{{left_untimed}},
                    Table{{fresh, left, other_link, answered, left_untimed, new_untimed}}};
  Roster by_table(std::vector<std::uint32_t>{At(1), At(2), At(3), At(4), At(5), At(6)},
                  table.Reads());
  rules.sweep = WaitRules::Sweep::kByTable;
  RunWait(by_table, table, rules);
  std::string found;
  for (const Machine& m : by_table.machines) found += m.heard ? "+" : "-";
  EXPECT_EQ(found, "+--+-+");
}

}  // namespace
}  // namespace trolvane
