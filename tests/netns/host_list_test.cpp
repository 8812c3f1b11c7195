// Waking a room: the host list against a namespace that owns thousands of answering
// addresses and drops others without a word. Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "netns/room_lab.h"

namespace trolvane::testing {
namespace {

// A MAC of its own for each host, and the packet that carries it, written out.
std::string Mac(int i) {
  char text[18];
  std::snprintf(text, sizeof text, "02-00-00-00-%02x-%02x", (i >> 8) & 0xFF, i & 0xFF);
  return text;
}
std::string PacketHex(int i) {
  char mac[13];
  std::snprintf(mac, sizeof mac, "02000000%02x%02x", (i >> 8) & 0xFF, i & 0xFF);
  std::string hex = "ffffffffffff";
  for (int copy = 0; copy < 16; ++copy) hex += mac;
  return hex;
}

struct Host {
  int mac;
  std::string address;
  bool answers;
  const char* missing = "(Pingタイムアウト)";  // why a host that does not answer is not confirmed
};

class HostListInNamespaces : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
  }
  void TearDown() override {
    if (!list_.empty()) ::unlink(list_.c_str());
  }

  // Writes the list (CR LF ends, a comment, a blank line) and gives the /f argument.
  std::string ListArgument(const std::vector<Host>& hosts) {
    list_ = "/tmp/trolvane-list-" + std::to_string(::getpid()) + ".txt";
    std::ofstream out(list_, std::ios::binary);
    out << "# the room\r\n\r\n";
    for (const Host& h : hosts) out << Mac(h.mac) << ", " << h.address << "\r\n";
    // Wine reads the machine's files through drive Z:.
    return UnderWindowsBuild() ? "/f:Z:" + list_ : "/f:" + list_;
  }

  // The lines of a run: a confirmation for each answering host, in any order, then one
  // for each silent host in list order, then the summary.
  static void ExpectLines(const RunResult& r, const std::vector<Host>& hosts) {
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line, '\n');) lines.push_back(line + "\n");
    std::multiset<std::string> confirmed;
    std::vector<std::string> rest;
    int answering = 0;
    for (const Host& h : hosts) {
      if (h.answers) {
        ++answering;
        confirmed.insert(ProgramLines({"ホスト(" + h.address + ")の起動を確認しました。"}));
      } else {
        rest.push_back(
            ProgramLines({"ホスト(" + h.address + ")の起動を確認できませんでした。" + h.missing}));
      }
    }
    rest.push_back(ProgramLines({std::to_string(hosts.size()) + "台中" + std::to_string(answering) +
                                 "台の起動を確認しました。"}));
    ASSERT_EQ(lines.size(), confirmed.size() + rest.size()) << r.out.substr(0, 2000);
    EXPECT_EQ(std::multiset<std::string>(lines.begin(), lines.begin() + answering), confirmed);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + answering, lines.end()), rest);
  }

  // Every answering host got the packet with its own MAC, at its own address.
  static void ExpectPackets(const std::string& sink_output, const std::vector<Host>& hosts) {
    std::map<std::string, std::multiset<std::string>> received;
    std::istringstream in(sink_output);
    for (std::string address, hex; in >> address;) {
      if (address == "ready") continue;
      in >> hex;
      received[address].insert(hex);
    }
    for (const Host& h : hosts) {
      if (!h.answers) continue;
      EXPECT_EQ(received[h.address], std::multiset<std::string>{PacketHex(h.mac)}) << h.address;
    }
  }

  std::string list_;
};

// 300 hosts, every sixth of them silent, with /t:3000; the first line comes twice, and
// its identical datagram goes once (the sink takes one packet per address, so a second
// copy would crowd out another host's).
TEST_F(HostListInNamespaces, ARoomWithSilentHosts) {
  RoomLab room;
  std::vector<Host> hosts;
  int answering = 0;
  for (int i = 0; i < 300; ++i) {
    const bool answers = i % 6 != 5;
    hosts.push_back({i, answers ? RoomLab::Answering(answering) : RoomLab::Silent(i / 6), answers});
    answering += answers ? 1 : 0;
  }
  hosts.insert(hosts.begin() + 1, hosts.front());
  // A silent host whose packet the client's own firewall refuses was never woken.
  hosts.push_back({300, RoomLab::Silent(60), false, "(Pingエラー)"});
  room.RefuseDatagramsTo(hosts.back().address);
  auto sink = room.StartInRoom({"udp_sink", "7", std::to_string(answering), "15000"});
  ASSERT_TRUE(sink->WaitForOutput("ready\n", 10000));
  const auto start = std::chrono::steady_clock::now();
  RunResult r = room.RunProgram({ListArgument(hosts), "/t:3000"});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 5);
  ExpectLines(r, hosts);
  EXPECT_LT(seconds, 4.0) << "the wait is bounded by /t";
  ExpectPackets(sink->Finish(15000).out, hosts);
}

TEST_F(HostListInNamespaces, TenThousandHosts) {
  RoomLab room;
  std::vector<Host> hosts;
  for (int i = 0; i < 10000; ++i) hosts.push_back({i, RoomLab::Answering(i), true});
  auto sink = room.StartInRoom({"udp_sink", "7", "10000", "60000"});
  ASSERT_TRUE(sink->WaitForOutput("ready\n", 10000));
  // A short time-out still asks every host once and gives each its second; a slow reader
  // of a non-blocking output loses no line.
  room.ReadOutputSlowly();
  RunResult r = room.RunProgram({ListArgument(hosts), "/t:300"}, 90);
  EXPECT_EQ(r.status, 0);
  ExpectLines(r, hosts);
  ExpectPackets(sink->Finish(60000).out, hosts);
}

// A flat room of a thousand PCs on one /22, 164 running among 820 that are off: the first
// round keeps within the machine's neighbour table, and a send refused for want of room
// goes again in its host's next turn, so every running PC is confirmed and none is a ping
// error. With /s:22 the unicasts to the PCs that are off wait for address resolution in
// the datagram socket's buffer, and never hold a send up beyond /t.
TEST_F(HostListInNamespaces, AFlatRoomWithinTheNeighbourTable) {
  RoomLab room;
  room.FlatRoom();
  std::vector<Host> hosts;
  for (int i = 0, off = 0; i < 984; ++i) {
    const bool on = i % 6 == 0;
    hosts.push_back({i, on ? RoomLab::FlatRunning(i / 6) : RoomLab::FlatOff(off++), on});
  }
  for (const char* bits : {"/s:", "/s:22"}) {
    const auto start = std::chrono::steady_clock::now();
    RunResult r = room.RunProgram({ListArgument(hosts), "/t:4000", "/v:0", bits}, 60);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 6.0)
        << bits;
    EXPECT_EQ(r.status, 5) << bits;
    ExpectLines(r, hosts);
  }
}

// Held up from after its first round until its hosts' answers (2 s late) have all come: the
// socket must have room for them, since the hosts asked again answer after the wait.
TEST_F(HostListInNamespaces, AnswersWaitWhileTheProgramIsHeldUp) {
  if (UnderWindowsBuild()) GTEST_SKIP() << "the stop would hold Wine's launcher";
  RoomLab room;
  std::vector<Host> hosts;
  for (int i = 0; i < 2000; ++i) hosts.push_back({i, RoomLab::Answering(i), true});
  auto responder = room.AnswerLate(2000, 10);
  ASSERT_TRUE(responder->WaitForOutput("ready\n", 10000));
  RunResult r = room.RunProgram(
      {ListArgument(hosts), "/t:4000"}, 60, false, false,
      {"sh", "-c", "\"$@\" & sleep 1; kill -STOP $!; sleep 2.2; kill -CONT $!; wait $!", "-"});
  int confirmed = 0;
  for (std::size_t at = 0; (at = r.out.find(")の起動を確認しました", at)) != std::string::npos;
       ++at) {
    ++confirmed;
  }
  EXPECT_GT(confirmed, 1900) << r.out.substr(r.out.size() - 200);
}

// Through the ping socket, a host's genuine "host unreachable" is its own error, never that
// of the silent host asked right after it (the socket reports it on the next send).
TEST_F(HostListInNamespaces, AnUnreachableIsTheRejectedHostsAlone) {
  if (UnderWindowsBuild()) GTEST_SKIP() << "the ping socket is the native build's";
  RoomLab room;
  std::vector<Host> hosts = {{0, RoomLab::Rejected(0), false, "(Pingエラー)"}};
  for (int i = 0; i < 59; ++i) hosts.push_back({i + 1, RoomLab::Silent(i), false});
  const std::string list = ListArgument(hosts);
  for (int run = 0; run < 3; ++run) {
    RunResult r = room.RunWithPingSocket({list, "/t:2000"});
    EXPECT_EQ(r.status, 5);
    ExpectLines(r, hosts);
  }
}

// Pings dropped, one port let through: "/c" confirms every host.
TEST_F(HostListInNamespaces, TenThousandHostsBehindAFirewallConfirmByPort) {
  RoomLab room;
  room.AcceptOnlyOn(3389);
  std::vector<Host> hosts;
  for (int i = 0; i < 10000; ++i) hosts.push_back({i, RoomLab::Answering(i), true});
  RunResult r = room.RunProgram({ListArgument(hosts), "/c:3389", "/t:30000"}, 90);
  EXPECT_EQ(r.status, 0);
  ExpectLines(r, hosts);
}

// The Windows build under Wine, with raw ICMP sockets and, as for a user without them,
// through the ICMP helper API: the same lines, in code page 932 with CR LF.
class HostListUnderWine : public HostListInNamespaces,
                          public ::testing::WithParamInterface<bool> {};

// A small room with a silent host, and a building: 10,000 answering hosts over raw ICMP,
// 2,500 through the helper, all heard.
TEST_P(HostListUnderWine, ASmallRoomAndABuilding) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
  std::vector<Host> building;
  for (int i = 0; i < (GetParam() ? 2500 : 10000); ++i) {
    building.push_back({i, RoomLab::Answering(i), true});
  }
  const struct {
    std::vector<Host> hosts;
    const char* timeout;
    int status;
  } cases[] = {
      {{{0, RoomLab::Answering(0), true},
        {1, RoomLab::Silent(0), false},
        {2, RoomLab::Answering(1), true},
        {3, RoomLab::Answering(2), true}},
       "/t:3000",
       5},
      {building, "/t:60000", 0},
  };
  RoomLab room;
  for (const auto& c : cases) {
    RunResult r = room.RunProgram({ListArgument(c.hosts), c.timeout}, 240, GetParam());
    EXPECT_EQ(r.status, c.status) << c.hosts.size() << " hosts";
    ExpectLines(r, c.hosts);
  }
}

// A run that ends with requests still running holds up no later run of the same Wine
// session past its /t, and itself waits for them a second at most: lists that end at /t
// with silent hosts, lists confirmed early by a port while pings are dropped; then, with
// answers 400 ms late (all heard, twenty hosts too), runs that end early (a port answers at
// once) or mid-turn (a short /t), each followed by a run that must hear its late answer.
TEST_P(HostListUnderWine, TheNextRunStartsClean) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
  RoomLab room;
  std::vector<Host> hosts;
  for (int i = 0; i < 400; ++i) {
    const bool answers = i % 2 == 0;
    hosts.push_back({i, answers ? RoomLab::Answering(i) : RoomLab::Silent(i % 254), answers});
  }
  std::vector<Host> firewalled;
  for (int i = 0; i < 300; ++i) firewalled.push_back({i, RoomLab::Answering(i), true});
  std::vector<Host> late, silent, mixed;
  for (int i = 0; i < 20; ++i) {
    late.push_back({i, RoomLab::Answering(i), true});
    silent.push_back({i, RoomLab::Silent(i), false});
    mixed.push_back(i % 2 == 0 ? late.back() : silent.back());
  }
  enum Pings { kAtOnce, kDropped, kLate };
  const std::string mac = "/m:01-02-03-04-05-06";
  const struct {
    const std::vector<Host>* hosts;  // none: one host, in the options
    std::vector<std::string> options;
    int status;
    double within;  // seconds
    Pings pings;    // from this case on
  } cases[] = {
      {&hosts, {"/t:2000"}, 5, 4.0, kAtOnce},
      {&hosts, {"/t:2000"}, 5, 4.0, kAtOnce},
      {&firewalled, {"/c:3389", "/t:60000"}, 0, 4.0, kDropped},
      {&firewalled, {"/c:3389", "/t:60000"}, 0, 4.0, kDropped},
      {nullptr, {mac, "/h:" + RoomLab::Answering(1), "/c:3389"}, 0, 1.5, kLate},
      {nullptr, {mac, "/h:" + RoomLab::Silent(0), "/t:1500"}, 5, 3.0, kLate},
      {&late, {"/t:5000"}, 0, 1.5, kLate},
      {&silent, {"/t:1500"}, 5, 3.0, kLate},
      {&mixed, {"/c:3389", "/t:1500"}, 5, 3.0, kLate},
  };
  // Wine makes the lab's prefix on its first run, which takes a while.
  ASSERT_EQ(room.RunProgram({}, 180, GetParam()).status, 2);
  auto timed = [&](const std::vector<std::string>& arguments) {
    const auto start = std::chrono::steady_clock::now();
    const int status = room.RunProgram(arguments, 180, GetParam()).status;
    return std::pair{
        status, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
  };
  std::unique_ptr<BackgroundProcess> responder;
  Pings pings = kAtOnce;
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    if (c.pings != pings && c.pings == kDropped) room.AcceptOnlyOn(3389);
    if (c.pings != pings && c.pings == kLate) {
      responder = room.AnswerLate(400, 120);
      ASSERT_TRUE(responder->WaitForOutput("ready\n", 10000));
    }
    pings = c.pings;
    std::vector<std::string> arguments = c.options;
    if (c.hosts != nullptr) arguments.push_back(ListArgument(*c.hosts));
    const auto [status, seconds] = timed(arguments);
    EXPECT_EQ(status, c.status);
    EXPECT_LT(seconds, c.within);
    // Late answers are heard by ping; dropped ones are made up for by a port.
    std::vector<std::string> next = {mac, "/h:" + RoomLab::Answering(0), "/t:2000"};
    if (c.pings != kLate) next.push_back("/c:3389");
    const auto [next_status, next_seconds] = timed(next);
    EXPECT_EQ(next_status, 0);
    EXPECT_LT(next_seconds, 2.0) << "the next run ends within its /t";
  }
}

INSTANTIATE_TEST_SUITE_P(RawIcmp, HostListUnderWine, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Refused" : "Allowed";
                         });

}  // namespace
}  // namespace trolvane::testing
