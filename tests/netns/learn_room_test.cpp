// Learning a room ("/l") on one link where each machine has its own MAC, and the list it
// writes fed back to "/f". Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <numeric>
#include <set>
#include <sstream>

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

// The comment line (any date of the form "2026-12-07 09:30"), then each host in order.
void ExpectList(const RunResult& r, const std::string& range, const std::vector<int>& hosts) {
  const auto& h = RoomLab::LinkHosts();
  std::string expected = ProgramLines(
      {"# " + range + " で応答した機器 " + std::to_string(hosts.size()) + "台 (2026-12-07 09:30)"});
  const std::size_t date = expected.rfind('(') + 1;
  expected.replace(date, 16, r.out.substr(date, 16));
  for (int i : hosts) {
    expected += ProgramLines({h[i].mac + " " + h[i].address + " " + std::to_string(h[i].bits)});
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

// Every machine that resolves is listed, also the one whose firewall drops echo requests,
// and without an ICMP socket too, but not a leftover entry of a machine that is gone; the
// /20 is asked in blocks, its last one read as well (its last machine answers only the
// second request). The /24's list, fed back to /f, wakes and
// confirms the three that answer pings.
TEST_F(LearnInNamespaces, ListsEveryMachineAndFeedsTheHostList) {
  const auto& h = RoomLab::LinkHosts();
  room_->AnswerSecondRequestOnly(6);
  room_->AddStaleEntry("198.18.1.77", "02-00-00-00-00-77");
  room_->AddStaleEntry(h[1].address, h[1].mac);
  RunResult room24 = room_->RunProgram({"/l:198.18.1.0/24"});
  ExpectList(room24, "198.18.1.0/24", {0, 1, 2, 3});
  if (!UnderWindowsBuild()) {
    ExpectList(room_->RunProgram({"/l:198.18.1.0/24"}, 60, false, true), "198.18.1.0/24",
               {0, 1, 2, 3});
  }
  ExpectList(room_->RunProgram({"/l:198.18.32.7/20"}, 90), "198.18.32.0/20", {4, 5, 6});
  if (!UnderWindowsBuild()) {
    // On a terminal, the status line is shown and erased before the list.
    const std::string out =
        RunOnTerminal({"/l:198.18.1.0/24"}, 30, {"ip", "netns", "exec", room_->client()}).out;
    const std::size_t shown = out.find("\r学習中 0/254台\x1b[K");
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

const char kOtherMac[] = "02-00-00-00-00-99";

// An answer confirms only when the machine that gave it is the one woken, where the
// neighbour table can tell (on the link); a routed host is confirmed as before, and /v:0
// turns the check off. A list says the same of each host.
TEST_F(LearnInNamespaces, OnlyTheWokenMachineConfirms) {
  const auto& h = RoomLab::LinkHosts();
  const std::string routed = RoomLab::Answering(0), other = "/m:" + std::string(kOtherMac);
  const std::string another = "(別の機器(" + h[1].mac + ")が応答)";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out;
  } cases[] = {
      {{"/m:" + h[1].mac, "/h:" + h[1].address}, 0, Confirmed(h[1].address)},
      {{other, "/h:" + h[1].address},
       5,
       ProgramLines({"ホストの起動を確認できませんでした。" + another})},
      {{other, "/h:" + routed}, 0, Confirmed(routed)},
      {{other, "/h:" + h[1].address, "/v:0"}, 0, Confirmed(h[1].address)},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/t:2000");
    RunResult r = room_->RunProgram(arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments[0] << " " << c.arguments[1];
    EXPECT_EQ(r.out, c.out) << c.arguments[0] << " " << c.arguments[1];
  }

  const std::string list = "/tmp/trolvane-mac-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(list) << h[0].mac << " " << h[0].address << "\n"
                      << kOtherMac << " " << h[1].address << "\n"
                      << kOtherMac << " " << routed << "\n";
  RunResult r = room_->RunProgram({UnderWindowsBuild() ? "/f:Z:" + list : "/f:" + list, "/t:2000"});
  ::unlink(list.c_str());
  ExpectListRun(r, 5, {h[0].address, routed},
                {"ホスト(" + h[1].address + ")の起動を確認できませんでした。" + another,
                 "3台中2台の起動を確認しました。"});
}

// A bad range or "/v" ends with status 2 and its line before anything is sent; so does a
// range that is routed, unrouted, or wider than its link.
TEST_F(LearnInNamespaces, BadSettingsSendNothing) {
  const std::string range = "学習範囲(/lｽｲｯﾁの指定値)が不正です。";
  const std::string check = "MAC確認(/vｽｲｯﾁの指定値)が不正です。";
  for (const auto& [argument, line] : {std::pair{"/l:198.18.1.0/8", range},
                                       {"/l:198.18.1.0/31", range},
                                       {"/l:198.18.64.0/24", range},
                                       {"/l:198.18.4.0/22", range},
                                       {"/l:198.18.1.0/23", range},
                                       {"/l:abc", range},
                                       {"/l:198.18.1.0", range},
                                       {"/v:2", check},
                                       {"/v:x", check}}) {
    const std::uint64_t sent = room_->ClientTxPackets();
    RunResult r = room_->RunProgram({"/m:02-00-00-00-00-01", "/h:198.18.1.21", argument});
    EXPECT_EQ(r.status, 2) << argument;
    EXPECT_EQ(r.out, ProgramLines({line})) << argument;
    EXPECT_EQ(room_->ClientTxPackets(), sent) << argument;
  }
}

// The Windows build under Wine, with raw ICMP sockets and through the ICMP helper API:
// the IP helper's neighbour table gives the same list.
class LearnUnderWine : public LearnInNamespaces, public ::testing::WithParamInterface<bool> {};

TEST_P(LearnUnderWine, ListsTheRoom) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
  ExpectList(room_->RunProgram({"/l:198.18.1.0/24"}, 180, GetParam()), "198.18.1.0/24",
             {0, 1, 2, 3});
  const auto& h = RoomLab::LinkHosts();
  RunResult r = room_->RunProgram({"/m:" + std::string(kOtherMac), "/h:" + h[1].address, "/t:2000"},
                                  180, GetParam());
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, ProgramLines(
                       {"ホストの起動を確認できませんでした。(別の機器(" + h[1].mac + ")が応答)"}));
}

INSTANTIATE_TEST_SUITE_P(RawIcmp, LearnUnderWine, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Refused" : "Allowed";
                         });

}  // namespace
}  // namespace trolvane::testing
