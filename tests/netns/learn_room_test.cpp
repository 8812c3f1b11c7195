// Learning a room ("/l") on one link where each machine has its own MAC, and the list it
// writes fed back to "/f". Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include "netns/room_lab.h"

namespace trolvane::testing {
namespace {

using Hosts = std::vector<RoomLab::LinkHost>;

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  return lines;
}

// The comment line (its date as "2026-12-07 09:30"), then each host in address order.
void ExpectList(const RunResult& r, const std::string& range, const Hosts& hosts) {
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), hosts.size() + 1) << r.out;
  std::string head = ProgramLines(
      {"# " + range + " で応答した機器 " + std::to_string(hosts.size()) + "台 (2026-12-07 09:30)"});
  const std::size_t date = head.rfind('(') + 1;
  EXPECT_EQ(lines[0].substr(0, date), head.substr(0, date)) << lines[0];
  EXPECT_EQ(lines[0].size(), head.size()) << lines[0];
  for (std::size_t i = 0; i < hosts.size(); ++i) {
    EXPECT_EQ(lines[i + 1], ProgramLines({hosts[i].mac + " " + hosts[i].address + " " +
                                          std::to_string(hosts[i].bits)}));
  }
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

// Every machine that resolves is listed, also the one whose firewall drops echo
// requests; the /20 is asked in blocks, and its last block is read too. The /24's list,
// fed back to /f, wakes and confirms the three that answer pings.
TEST_F(LearnInNamespaces, ListsEveryMachineAndFeedsTheHostList) {
  const Hosts& h = RoomLab::LinkHosts();
  RunResult room24 = room_->RunProgram({"/l:198.18.1.0/24"});
  EXPECT_EQ(room24.status, 0);
  ExpectList(room24, "198.18.1.0/24", {h[0], h[1], h[2], h[3]});
  if (!UnderWindowsBuild()) {
    // Without an ICMP socket, empty datagrams to port 9 make the addresses resolve.
    RunResult unprivileged = room_->RunProgram({"/l:198.18.1.0/24"}, 60, false, true);
    EXPECT_EQ(unprivileged.status, 0);
    ExpectList(unprivileged, "198.18.1.0/24", {h[0], h[1], h[2], h[3]});
  }
  RunResult room20 = room_->RunProgram({"/l:198.18.32.7/20"}, 90);
  EXPECT_EQ(room20.status, 0);
  ExpectList(room20, "198.18.32.0/20", {h[4], h[5], h[6]});

  const std::string list = "/tmp/trolvane-learned-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(list, std::ios::binary) << room24.out;
  RunResult wake =
      room_->RunProgram({UnderWindowsBuild() ? "/f:Z:" + list : "/f:" + list, "/t:3000"});
  ::unlink(list.c_str());
  EXPECT_EQ(wake.status, 5);
  const std::vector<std::string> lines = Lines(wake.out);
  ASSERT_EQ(lines.size(), 5u) << wake.out;
  std::set<std::string> confirmed;
  for (int i = 0; i < 3; ++i) {
    confirmed.insert(ProgramLines({"ホスト(" + h[i].address + ")の起動を確認しました。"}));
  }
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.begin() + 3), confirmed);
  EXPECT_EQ(lines[3], ProgramLines({"ホスト(" + h[3].address +
                                    ")の起動を確認できませんでした。(Pingタイムアウト)"}));
  EXPECT_EQ(lines[4], ProgramLines({"4台中3台の起動を確認しました。"}));
}

// A bad range or "/v" ends with status 2 and its line before anything is sent.
TEST_F(LearnInNamespaces, BadSettingsSendNothing) {
  const char* const range = "学習範囲(/lｽｲｯﾁの指定値)が不正です。";
  const char* const check = "MAC確認(/vｽｲｯﾁの指定値)が不正です。";
  const struct {
    std::vector<std::string> arguments;
    const char* line;
  } cases[] = {
      {{"/l:198.18.1.0/8"}, range},
      {{"/l:198.18.1.0/31"}, range},
      {{"/l:abc"}, range},
      {{"/l:198.18.1.0"}, range},
      {{"/m:02-00-00-00-00-01", "/h:198.18.1.21", "/v:2"}, check},
      {{"/m:02-00-00-00-00-01", "/h:198.18.1.21", "/v:x"}, check},
  };
  for (const auto& c : cases) {
    const std::uint64_t sent = room_->ClientTxPackets();
    RunResult r = room_->RunProgram(c.arguments);
    EXPECT_EQ(r.status, 2) << c.arguments.back();
    EXPECT_EQ(r.out, ProgramLines({c.line})) << c.arguments.back();
    EXPECT_EQ(room_->ClientTxPackets(), sent) << c.arguments.back();
  }
}

// The Windows build under Wine, with raw ICMP sockets and through the ICMP helper API:
// the neighbour table of the IP helper gives the same list.
class LearnUnderWine : public LearnInNamespaces, public ::testing::WithParamInterface<bool> {};

TEST_P(LearnUnderWine, ListsTheRoom) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
  const Hosts& h = RoomLab::LinkHosts();
  RunResult r = room_->RunProgram({"/l:198.18.1.0/24"}, 180, GetParam());
  EXPECT_EQ(r.status, 0);
  ExpectList(r, "198.18.1.0/24", {h[0], h[1], h[2], h[3]});
}

INSTANTIATE_TEST_SUITE_P(RawIcmp, LearnUnderWine, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Refused" : "Allowed";
                         });

}  // namespace
}  // namespace trolvane::testing
