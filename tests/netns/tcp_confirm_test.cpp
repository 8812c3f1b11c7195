// Confirmation through a firewall, against PingLab's shielded target. Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "net/tcp_prober.h"
#include "net/udp_socket.h"
#include "netns/ping_lab.h"
#include "netns/room_lab.h"

namespace trolvane::testing {
namespace {

const char kConfirmed[] = "ホスト(198.18.0.2)の起動を確認しました。";
const char kTimedOut[] = "ホストの起動を確認できませんでした。(Pingタイムアウト)";

// Probes every address and port at once from inside ns; the child's status counts the
// attempts that did not end with their outcome.
int ProbeInside(const std::string& ns,
                const std::vector<std::tuple<std::string, std::uint16_t, ProbeOutcome>>& cases) {
  return NetnsLab::RunInside(ns, [&cases] {
    StartWinsock();
    TTcpProber prober(1500);
    for (const auto& [address, port, _] : cases) prober.Start(os::inet_addr(address.c_str()), port);
    std::vector<ProbeResult> ended;
    for (int i = 0; i < 50 && ended.size() < cases.size(); ++i) prober.Poll(100, &ended);
    int right = 0;
    for (const ProbeResult& r : ended) {
      for (const auto& [address, port, outcome] : cases) {
        right +=
            os::inet_addr(address.c_str()) == r.address && port == r.port && outcome == r.outcome;
      }
    }
    return static_cast<int>(cases.size()) - right;
  });
}

class TcpConfirmInNamespaces : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<PingLab>();
    lab_->ShieldTarget();
  }
  void TearDown() override { ::unlink(list_.c_str()); }

  std::unique_ptr<PingLab> lab_;
  const std::string list_ = "/tmp/trolvane-tcp-list-" + std::to_string(::getpid()) + ".txt";
};

// Only the host's own answers count: an accept or a reset, never an ICMP error.
TEST_F(TcpConfirmInNamespaces, TheProberTellsWhatTheFirewallLetsThrough) {
  EXPECT_EQ(ProbeInside(lab_->client(), {{"198.18.0.2", 3389, ProbeOutcome::kAccepted},
                                         {"198.18.0.2", 445, ProbeOutcome::kRefused},
                                         {"198.18.0.2", 22, ProbeOutcome::kTimedOut},
                                         {"198.18.0.2", 23, ProbeOutcome::kFailed},
                                         {PingLab::kDeafHost, 3389, ProbeOutcome::kTimedOut}}),
            0);
  RunResult r = lab_->RunProgram({"/m:02-00-5E-00-53-02", "/h:198.18.0.2", "/t:2000"});
  EXPECT_EQ(r.status, 5) << "pings are ignored";
  EXPECT_EQ(r.out, ProgramLines({kTimedOut}));
}

TEST_F(TcpConfirmInNamespaces, APortConfirmsWherePingsAreDropped) {
  lab_->SetSysctl(lab_->client(), "net.ipv4.ping_group_range", "1 0");  // no ICMP unprivileged
  std::ofstream(list_) << "02-00-5E-00-53-02 198.18.0.2\n02-02-03-04-05-06 198.18.0.3\n";
  const struct {
    std::string hosts, ports, timeout;
    bool unprivileged;
    int status;
    std::string out;
  } cases[] = {
      {"/h:198.18.0.2", "/c:3389", "/t:5000", false, 0, ProgramLines({kConfirmed})},
      {"/h:198.18.0.2", "/c:445", "/t:5000", false, 0, ProgramLines({kConfirmed})},
      {"/h:198.18.0.2", "/c:22", "/t:3000", false, 5, ProgramLines({kTimedOut})},
      {"/h:198.18.0.2", "/c:23", "/t:3000", false, 5, ProgramLines({kTimedOut})},
      {"/h:198.18.0.2", "/c:3389", "/t:5000", true, 0, ProgramLines({kConfirmed})},
      {"/f:" + list_, "/c:22,3389", "/t:3000", false, 5,
       ProgramLines({kConfirmed,
                     "ホスト(198.18.0.3)の起動を確認できませんでした。(Pingタイムアウト)",
                     "2台中1台の起動を確認しました。"})},
  };
  for (const auto& c : cases) {
    RunResult r =
        lab_->RunProgram({"/m:02-00-5E-00-53-02", c.hosts, c.ports, c.timeout}, c.unprivileged);
    EXPECT_EQ(r.status, c.status) << c.hosts << " " << c.ports;
    EXPECT_EQ(r.out, c.out) << c.hosts << " " << c.ports;
  }
}

// The Windows build under Wine, without raw ICMP.
class TcpConfirmUnderWine : public TcpConfirmInNamespaces {};

TEST_F(TcpConfirmUnderWine, APortConfirmsWherePingsAreDropped) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's case";
  RunResult r = lab_->RunBuildUnderTest(
      {"/m:02-00-5E-00-53-02", "/h:198.18.0.2", "/c:3389", "/t:5000"}, true);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ProgramLines({kConfirmed}));
}

TEST(TcpRoomLab, EveryAddressAcceptsOnThePort) {
  if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
  RoomLab room;
  room.AcceptOnlyOn(3389);
  std::vector<std::tuple<std::string, std::uint16_t, ProbeOutcome>> cases;
  for (int i = 0; i < 16383; i += 41)
    cases.emplace_back(RoomLab::Answering(i), 3389, ProbeOutcome::kAccepted);
  EXPECT_EQ(ProbeInside(room.client(), cases), 0);
}

}  // namespace
}  // namespace trolvane::testing
