// Learning a room ("/l") on one link where each machine has its own MAC, and the list it
// writes fed back to "/f". Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <numeric>
#include <set>
#include <sstream>
#include <thread>

#include "netns/room_lab.h"
#include "support/terminal_runner.h"

namespace trolvane::testing {
namespace {

std::string Confirmed(const std::string& host) {
  return ProgramLines({"ホスト(" + host + ")の起動を確認しました。"});
}

// A list run: a confirmation for each of `confirmed` in any order, then `rest` in order.
void ExpectListRun(const RunResult& r, int status, const std::vector<std::string>& confirmed,
                   std::initializer_list<std::string_view> rest) {
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  EXPECT_EQ(r.status, status);
  ASSERT_EQ(lines.size(), confirmed.size() + rest.size()) << r.out;
  std::set<std::string> expected;
  for (const std::string& host : confirmed) expected.insert(Confirmed(host));
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.begin() + confirmed.size()), expected);
  EXPECT_EQ(std::accumulate(lines.begin() + confirmed.size(), lines.end(), std::string()),
            ProgramLines(rest));
}

// Runs what follows with each line it writes to standard error marked "2> ".
const std::vector<std::string> kMarkErrors = {
    "bash", "-c", "set -o pipefail; { \"$0\" \"$@\" 2>&1 1>&3 3>&- | sed 's/^/2> /'; } 3>&1"};
// An ARP reply of 198.18.1.199 (…98) to this machine's 198.18.1.1, in a frame to another
// MAC (…99), again and again for a few seconds.
const char kForeignReplies[] =
    "timeout 10 python3 -c 'import socket, time\n"
    "s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW); s.bind((\"veth1\", 0))\n"
    "f = bytes.fromhex(\"020000009999020000009998080600010800060400020200000099"
    "98c61201c7020000009999c6120101\")\n"
    "for _ in range(400): s.send(f); time.sleep(0.01)'";

// The comment line (any date of the form "2026-12-07 09:30"), then each host in order, with
// its own bits or those given.
void ExpectList(const RunResult& r, const std::string& range, const std::vector<int>& hosts,
                int bits = 0) {
  const auto& h = RoomLab::LinkHosts();
  std::string expected = ProgramLines(
      {"# " + range + " で応答した機器 " + std::to_string(hosts.size()) + "台 (2026-12-07 09:30)"});
  const std::size_t date = expected.rfind('(') + 1;
  expected.replace(date, 16, r.out.substr(std::min(date, r.out.size()), 16));
  for (int i : hosts) {
    expected += ProgramLines(
        {h[i].mac + " " + h[i].address + " " + std::to_string(bits > 0 ? bits : h[i].bits)});
  }
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, expected);
}

class LearnInNamespaces : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    room_ = std::make_unique<RoomLab>();
    room_->LinkRoom();
  }
  std::unique_ptr<RoomLab> room_;
};

// Every machine that answers this sweep is listed, also the one whose firewall drops echo
// requests, by its own ARP requests and, without rights, by the system's table (a second
// run right after too), but not an entry of a machine that is gone (stale, or reachable as
// it left a moment before), one on another link of the same /24, nor a reply to another
// MAC; nothing goes through the gateway of a routed sub-range. The /20's and the /16's last
// machines answer only the second request. Each line carries the bits of the link's own
// prefix. A link that refuses sends lists all, or says how many it could not ask; one that
// goes down while the routes are read ends the run. The /24's list, fed back to /f, wakes
// and confirms the three that answer pings.
TEST_F(LearnInNamespaces, ListsEveryMachineAndFeedsTheHostList) {
  const auto& h = RoomLab::LinkHosts();
  room_->AnswerSecondRequestOnly(6);
  room_->AnswerSecondRequestOnly(8);
  const auto leftovers = [&] {
    room_->AddStaleEntry(h[1].address, h[1].mac);  // re-checked: its machine answers late
    room_->AddStaleEntry("198.18.1.77", "02-00-00-00-00-77");
    room_->AddStaleEntry("198.18.1.50", "02-00-00-00-00-50", "reachable");
    room_->AddStaleEntry("198.18.1.99", "02-00-00-00-00-99", "reachable", "veth3");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the machines left
  };
  leftovers();
  auto capture = room_->CaptureResolutions(8);
  room_->Shell("ip link set veth1 promisc on")->Finish(5000);
  auto foreign = room_->Shell(kForeignReplies, true);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  RunResult room24 = room_->RunProgram({"/l:198.18.1.0/24"});
  ExpectList(room24, "198.18.1.0/24", {0, 1, 2, 3});
  foreign->Finish(10000);
  // The first round keeps the gap between any two requests (each new address resolved
  // sets off one ARP request at once; the system's repeats a second later come in bursts).
  std::istringstream requests(capture->Finish(10000).out);
  int count = 0, close = 0, routed = 0;
  double last = 0;
  for (std::string line; std::getline(requests, line);) {
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    const std::size_t asked = line.find("who-has 198.18.1.");
    routed += asked != std::string::npos && std::stoi(line.substr(asked + 17)) / 64 == 1;
    const double at = std::stod(line);
    close += count > 0 && count < 200 && at - last < 50e-6 ? 1 : 0;
    last = at;
    ++count;
  }
  EXPECT_GE(count, 200);
  EXPECT_LE(close, 2);
  EXPECT_EQ(routed, 0);
  if (!UnderWindowsBuild()) {
    room_->ForgetNeighbours();  // as after a night: entries this machine confirmed lately
    leftovers();                // are listed only when their machine answers the sweep
    ExpectList(room_->RunProgram({"/l:198.18.1.0/24"}, 60, false, true), "198.18.1.0/24",
               {0, 1, 2, 3});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ExpectList(room_->RunProgram({"/l:198.18.1.0/24"}, 60, false, true), "198.18.1.0/24",
               {0, 1, 2, 3});
  }
  EXPECT_EQ(room_->ClientSentToRoutedRange(), 0u);
  ExpectList(room_->RunProgram({"/l:198.18.32.7/20"}, 90), "198.18.32.0/20", {4, 5, 6});
  ExpectList(room_->RunProgram({"/l:198.19.0.0/16"}, 120), "198.19.0.0/16", {7, 8});
  ExpectList(room_->RunProgram({"/l:198.18.1.16/29"}), "198.18.1.16/29", {0, 1});
  ExpectList(room_->RunProgram({"/l:198.19.200.8/29"}), "198.19.200.8/29", {8}, 24);
  room_->Shell("tc qdisc add dev veth1 root tbf rate 256kbit burst 1600 limit 3000")->Finish(5000);
  RunResult refused = room_->RunProgram({"/l:198.18.1.0/24"}, 60, false, false, kMarkErrors);
  room_->Shell("tc qdisc del dev veth1 root")->Finish(5000);
  if (refused.status == 5) {
    EXPECT_NE(refused.out.find("2> " + ProgramText("学習範囲(198.18.1.0/24)の")), std::string::npos)
        << refused.out;
  } else {
    ExpectList(refused, "198.18.1.0/24", {0, 1, 2, 3});
  }
  auto flap =
      room_->Shell("for i in $(seq 200); do ip link set veth4 down; ip link set veth4 up; done");
  RunResult flapped = room_->RunProgram({"/l:198.19.0.0/16"}, 60, false, false, kMarkErrors);
  flap->Finish(10000);
  EXPECT_EQ(flapped.status, 5);
  EXPECT_EQ(flapped.out.rfind("2> " + ProgramText("学習範囲(198.19.0.0/16)の"), 0), 0u)
      << flapped.out;
  if (!UnderWindowsBuild()) {
    // On a terminal, the status line is shown and erased before the list.
    const std::string out =
        RunOnTerminal({"/l:198.18.1.0/24"}, 30, {"ip", "netns", "exec", room_->client()}).out;
    // This machine's own addresses and the routed 198.18.1.64/26 are not asked.
    const std::size_t shown = out.find("\r学習中 0/188台\x1b[K");
    EXPECT_NE(shown, std::string::npos) << out;
    EXPECT_LT(out.find("\r\x1b[K", shown + 1), out.find("# 198.18.1.0/24 で応答した機器 4台 ("))
        << out;
  }

  const std::string list = "/tmp/trolvane-learned-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(list, std::ios::binary) << room24.out;
  RunResult wake =
      room_->RunProgram({UnderWindowsBuild() ? "/f:Z:" + list : "/f:" + list, "/t:3000"});
  ::unlink(list.c_str());
  ExpectListRun(wake, 5, {h[0].address, h[1].address, h[2].address},
                {"ホスト(" + h[3].address + ")の起動を確認できませんでした。(Pingタイムアウト)",
                 "4台中3台の起動を確認しました。"});
}

// The README's room 12 as written: each of its commands that name its list, run on the
// list in a folder of its own (`trolvane` being the program under test, pc-12-03 named by
// the client's hosts file), confirms every line: of the README's list, and of the one /l
// wrote.
TEST_F(LearnInNamespaces, TheReadmeRoomWakesAsWritten) {
  room_->ReadmeRoom();
  std::ifstream readme(TROLVANE_SOURCE_DIR "/README.md");
  std::string fence, block, list;
  int commands = 0;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("```", 0) != 0) {
      block += line + "\n";
      continue;
    }
    if (block.rfind("# room 12,", 0) == 0) list = block;
    if (fence == "```sh" && block.find("room12.txt") != std::string::npos) {
      ++commands;
      const std::string script =
          "cd \"$(mktemp -d)\" && trap 'rm -r \"$PWD\"' EXIT\n"
          "trolvane() { \"$0\" \"$@\"; }\n"
          "cat >room12.txt <<'EOF'\n" +
          list + "EOF\n" + block;
      RunResult r = room_->RunProgram({}, 60, false, false, {"sh", "-c", script});
      EXPECT_EQ(r.status, 0) << block << r.out;
      EXPECT_TRUE(r.out.ends_with(ProgramLines({"3台中3台の起動を確認しました。"}))) << r.out;
    }
    fence = fence.empty() ? line : "";
    block.clear();
  }
  EXPECT_GE(commands, 2);
}

const char kOtherMac[] = "02-00-00-00-00-99";

// An answer confirms only when the machine that gave it is the one woken, where the
// neighbour table can tell (on the link); a routed host is confirmed as before, and /v:0
// turns the check off. A list says the same of each host.
TEST_F(LearnInNamespaces, OnlyTheWokenMachineConfirms) {
  const auto& h = RoomLab::LinkHosts();
  const std::string routed = RoomLab::Answering(0), other = "/m:" + std::string(kOtherMac);
  const std::string another = "(別の機器(" + h[1].mac + ")が応答)";
  // .21 and .22 lie under a route that names a nexthop object alone; a static entry set
  // by hand is an entry like a resolved one.
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    const char* entry = nullptr;  // h[1]'s entry, set by hand for the case
  } cases[] = {
      {{"/m:" + h[1].mac, "/h:" + h[1].address}, 0, Confirmed(h[1].address)},
      {{other, "/h:" + h[1].address},
       5,
       ProgramLines({"ホストの起動を確認できませんでした。" + another})},
      {{other, "/h:" + h[1].address},
       5,
       ProgramLines({"ホストの起動を確認できませんでした。" + another}),
       "noarp"},
      {{other, "/h:" + routed}, 0, Confirmed(routed)},
      {{other, "/h:" + h[1].address, "/v:0"}, 0, Confirmed(h[1].address)},
  };
  for (const auto& c : cases) {
    if (c.entry != nullptr) room_->AddStaleEntry(h[1].address, h[1].mac, c.entry);
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/t:2000");
    RunResult r = room_->RunProgram(arguments);
    if (c.entry != nullptr) room_->AddStaleEntry(h[1].address, h[1].mac, "none");
    EXPECT_EQ(r.status, c.status) << c.arguments[0] << " " << c.arguments[1];
    EXPECT_EQ(r.out, c.out) << c.arguments[0] << " " << c.arguments[1];
  }

  // Each line is its own machine: of two lines at one address, the one that holds it. A
  // leftover entry of the machine that was woken, read for another host's answer, does
  // not judge the answer of the machine that now holds the address.
  const std::string list = "/tmp/trolvane-mac-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(list) << h[0].mac << " " << h[0].address << "\n"
                      << kOtherMac << " " << h[1].address << "\n"
                      << kOtherMac << " " << routed << "\n"
                      << h[2].mac << " " << h[2].address << "\n"
                      << kOtherMac << " " << h[2].address << "\n";
  room_->AddStaleEntry(h[1].address, kOtherMac);
  RunResult r =
      room_->RunProgram({UnderWindowsBuild() ? "/f:Z:" + list : "/f:" + list, "/t:10000"});
  ExpectListRun(r, 5, {h[0].address, routed, h[2].address},
                {"ホスト(" + h[1].address + ")の起動を確認できませんでした。" + another,
                 "ホスト(" + h[2].address + ")の起動を確認できませんでした。(別の機器(" + h[2].mac +
                     ")が応答)",
                 "5台中3台の起動を確認しました。"});
  // "/v:0" turns the check off for a list too.
  r = room_->RunProgram({UnderWindowsBuild() ? "/f:Z:" + list : "/f:" + list, "/t:3000", "/v:0"});
  ExpectListRun(r, 0, {h[0].address, h[1].address, routed, h[2].address, h[2].address},
                {"5台中5台の起動を確認しました。"});
  ::unlink(list.c_str());
}

// A bad range or "/v" ends with status 2 and its line before anything is sent; so does a
// range that is routed, unrouted, wider than its link, or on a link that resolves no
// addresses. "/l"'s line goes to standard error, so that its output holds the list alone.
TEST_F(LearnInNamespaces, BadSettingsSendNothing) {
  const std::string range = "学習範囲(/lｽｲｯﾁの指定値)が不正です。";
  const std::string check = "MAC確認(/vｽｲｯﾁの指定値)が不正です。";
  for (const auto& [argument, line] : {std::pair{"/l:198.18.1.0/8", range},
                                       {"/l:198.18.1.0/31", range},
                                       {"/l:198.18.64.0/24", range},
                                       {"/l:198.18.4.0/22", range},
                                       {"/l:198.18.1.0/23", range},
                                       {"/l:198.18.14.0/24", range},
                                       {"/l:abc", range},
                                       {"/l:198.18.1.0", range},
                                       {"/v:2", check},
                                       {"/v:x", check}}) {
    const std::uint64_t sent = room_->ClientTxPackets();
    RunResult r = room_->RunProgram({"/m:02-00-00-00-00-01", "/h:198.18.1.21", argument}, 60, false,
                                    false, kMarkErrors);
    EXPECT_EQ(r.status, 2) << argument;
    EXPECT_EQ(r.out, (line == range ? "2> " : "") + ProgramLines({line})) << argument;
    EXPECT_EQ(room_->ClientTxPackets(), sent) << argument;
  }
}

// A PC that is off answers no address resolution, yet hears its packet without /s: at
// the broadcast of the link's own /24 (never of the narrower /25 route it lies under),
// where the neighbour table cannot take the unicast to its MAC. A given /s decides alone;
// a host the table holds with its MAC (stale too), a host routed through a nexthop object
// and one down a tunnel get no broadcast; /r repeats the packet in the host's turns until it
// answers.
void ExpectThePacketReachesAnOffPc(RoomLab& room, bool raw_icmp_refused = false) {
  const auto& h = RoomLab::LinkHosts();
  const auto& off = RoomLab::OffPc();
  const std::string list = "/tmp/trolvane-off-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(list) << off.mac << " " << off.address << "\n";
  const std::vector<std::string> wake_off = {"/m:" + off.mac, "/h:" + off.address, "/p:9"},
                                 wake_running = {"/m:" + h[0].mac, "/h:" + h[0].address, "/p:9",
                                                 "/r:3"};
  auto with = [](std::vector<std::string> a, std::initializer_list<std::string> more) {
    a.insert(a.end(), more);
    return a;
  };
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    bool answered_before;  // the run's own host was confirmed a moment ago
    std::uint64_t heard, broadcasts;
    int status;
    const char* entry = nullptr;  // its entry, set by hand
  } cases[] = {
      {"one host", with(wake_off, {"/t:1000"}), false, 1, 1, 5},
      {"a list line without bits",
       {UnderWindowsBuild() ? "/f:Z:" + list : "/f:" + list, "/p:9", "/t:1000"},
       false,
       1,
       1,
       5},
      {"/s:32", with(wake_off, {"/s:32", "/t:1000"}), false, 0, 0, 5},
      {"/r:3", with(wake_off, {"/r:3", "/t:2500"}), false, 3, 3, 5},
      {"its entry holds its MAC", wake_running, true, 0, 0, 0},
      {"its stale entry holds its MAC", wake_running, false, 0, 0, 0, "stale"},
      {"a routed host",
       {"/m:" + off.mac, "/h:" + RoomLab::Answering(0), "/p:9", "/r:3"},
       false,
       0,
       0,
       0},
      {"a tunnel", {"/m:" + off.mac, "/h:198.18.13.5", "/p:9", "/t:1000"}, false, 0, 0, 5},
  };
  for (const auto& c : cases) {
    room.ForgetNeighbours();
    if (c.answered_before) room.RunProgram(c.arguments, 60, raw_icmp_refused);
    if (c.entry != nullptr) room.AddStaleEntry(h[0].address, h[0].mac, c.entry);
    const std::uint64_t heard = room.OffPcHeard(), sent = room.ClientLinkBroadcasts();
    EXPECT_EQ(room.RunProgram(c.arguments, 60, raw_icmp_refused).status, c.status) << c.name;
    EXPECT_EQ(room.OffPcHeard() - heard, c.heard) << c.name;
    EXPECT_EQ(room.ClientLinkBroadcasts() - sent, c.broadcasts) << c.name;
  }
  ::unlink(list.c_str());
}

TEST_F(LearnInNamespaces, ThePacketReachesAnOffPc) { ExpectThePacketReachesAnOffPc(*room_); }

// What a script reads: got holds every key of want with its value, the datagrams told
// without their times.
void ExpectHolds(nlohmann::json got, const nlohmann::json& want, const std::string& what) {
  if (got.contains("sent")) {
    for (auto& sent : got["sent"]) sent.erase("ms");
  }
  nlohmann::json patched = got;
  patched.merge_patch(want);
  EXPECT_EQ(patched, got) << what;
}

// Each outcome and cause, and "/l"'s machines, told as JSON lines; a run that ends before
// any host as an error object; a dry run as a plan, with nothing sent.
void ExpectEachOutcomeToldToScripts(RoomLab& room, bool raw_icmp_refused = false) {
  using J = nlohmann::json;
  const auto& h = RoomLab::LinkHosts();
  const auto& off = RoomLab::OffPc();
  const std::string list = "/tmp/trolvane-json-" + std::to_string(::getpid()) + ".txt";
  const std::string f = (UnderWindowsBuild() ? "/f:Z:" : "/f:") + list;
  std::ofstream(list) << h[0].mac << " " << h[0].address << "\n"
                      << off.mac << " " << RoomLab::Answering(0) << "\n"
                      << off.mac << " " << off.address << "\n"
                      << off.mac << " " << RoomLab::Silent(0) << "\n"
                      << off.mac << " 0.0.0.0\n"
                      << off.mac << " " << off.address << " 32\n";
  room.RefuseDatagramsTo(RoomLab::Silent(0));
  const std::vector<std::string> limit = {"sh", "-c", "ulimit -n 4 && exec \"$@\"", "-"};
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::size_t object;  // of the run's lines; the last: its summary or error
    J want;
    bool unprivileged = false;
    std::vector<std::string> wrapper = {};
  } cases[] = {
      {{"/m:" + h[0].mac, "/h:" + h[0].address},
       0,
       0,
       {{"outcome", "confirmed"}, {"by", "echo"}, {"path", "link"}, {"answer_mac", h[0].mac}}},
      {{"/m:" + h[3].mac, "/h:" + h[3].address, "/c:1"}, 0, 0, {{"by", "tcp_refuse:1"}}},
      {{"/m:" + std::string(kOtherMac), "/h:" + h[1].address, "/t:2000"},
       5,
       0,
       {{"outcome", "other_machine"}, {"answer_mac", h[1].mac}}},
      {{"/m:" + off.mac, "/h:" + off.address, "/p:9", "/t:1000"},
       5,
       0,
       {{"outcome", "timeout"}, {"sent", {{{"to", "198.18.1.255"}, {"as", "link_broadcast"}}}}}},
      {{"/m:" + off.mac, "/h:" + RoomLab::Rejected(0), "/t:2000"},
       5,
       0,
       {{"cause", "icmp_error"}, {"detail", {{"type", 3}, {"code", 1}, {"from", "198.18.0.2"}}}}},
      {{"/m:" + off.mac, "/h:pc-nowhere"}, 5, 0, {{"cause", "name_not_resolved"}}},
      {{f, "/t:2000"}, 5, 3, {{"line", 4}, {"cause", "send_failed"}}},
      {{f, "/t:2000"}, 5, 4, {{"line", 5}, {"cause", "refused_host"}}},
      {{"/m:" + off.mac, "/h:" + h[0].address}, 5, 0, {{"cause", "no_icmp_rights"}}, true},
      {{"/m:" + h[3].mac, "/h:" + h[3].address, "/c:445", "/t:2000"},
       5,
       0,
       {{"cause", "no_descriptor"}},
       false,
       limit},
      {{"/l:198.18.1.0/24"}, 0, 0, {{"address", h[0].address}, {"mac", h[0].mac}, {"bits", 24}}},
      {{"/l:198.18.1.0/24"}, 0, 4, {{"summary", {{"range", "198.18.1.0/24"}, {"found", 4}}}}},
      {{"/l:198.18.1.0/8"},
       2,
       0,
       {{"error", {{"status", 2}, {"text", "学習範囲(/lｽｲｯﾁの指定値)が不正です。"}}}}},
      {{f, "/n"},
       0,
       2,
       {{"path", "link"}, {"sent", {{{"to", "198.18.1.255"}, {"as", "link_broadcast"}}}}}},
      {{f, "/n"}, 0, 1, {{"path", "routed"}, {"confirm", {"echo"}}}},
      {{f, "/n"}, 0, 5, {{"sent", {{{"to", off.address}, {"as", "unicast"}}}}}},  // its bits alone
      // Wine's routes do not show the gateway of the routed /26.
      {{"/l:198.18.1.0/24", "/n"},
       0,
       0,
       {{"summary", {{"addresses", UnderWindowsBuild() ? 252 : 188}, {"dry_run", true}}}}},
  };
  for (const auto& c : cases) {
    if ((c.unprivileged || !c.wrapper.empty()) && UnderWindowsBuild()) continue;
    room.ForgetNeighbours();
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/o:json");
    const std::uint64_t sent = room.ClientTxPackets();
    const RunResult r = room.RunProgram(arguments, 60, raw_icmp_refused, c.unprivileged, c.wrapper);
    const std::string what = arguments[0] + " " + arguments[1];
    EXPECT_EQ(r.status, c.status) << what;
    const std::vector<J> lines = JsonLines(r.out);
    ASSERT_GT(lines.size(), c.object) << what << ": " << r.out;
    ExpectHolds(lines[c.object], c.want, what);
    if (arguments[arguments.size() - 2] == "/n") {
      EXPECT_EQ(room.ClientTxPackets(), sent) << what;
    }
  }
  ::unlink(list.c_str());
}

TEST_F(LearnInNamespaces, EachOutcomeIsToldToScripts) { ExpectEachOutcomeToldToScripts(*room_); }

// The Windows build under Wine, with raw ICMP sockets and through the ICMP helper API:
// the IP helper's neighbour table gives the same list.
class LearnUnderWine : public LearnInNamespaces, public ::testing::WithParamInterface<bool> {};

TEST_P(LearnUnderWine, ListsTheRoom) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
  ExpectList(room_->RunProgram({"/l:198.18.1.0/24"}, 180, GetParam()), "198.18.1.0/24",
             {0, 1, 2, 3});
  EXPECT_EQ(room_->RunProgram({"/l:abc"}, 180, GetParam(), false, kMarkErrors).out,
            "2> " + ProgramLines({"学習範囲(/lｽｲｯﾁの指定値)が不正です。"}));
  const auto& h = RoomLab::LinkHosts();
  RunResult r = room_->RunProgram({"/m:" + std::string(kOtherMac), "/h:" + h[1].address, "/t:2000"},
                                  180, GetParam());
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, ProgramLines(
                       {"ホストの起動を確認できませんでした。(別の機器(" + h[1].mac + ")が応答)"}));
  ExpectThePacketReachesAnOffPc(*room_, GetParam());
  ExpectEachOutcomeToldToScripts(*room_, GetParam());
}

INSTANTIATE_TEST_SUITE_P(RawIcmp, LearnUnderWine, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Refused" : "Allowed";
                         });

}  // namespace
}  // namespace trolvane::testing
