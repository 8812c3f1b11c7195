// Confirmation through a firewall, against PingLab's shielded target. Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "netns/ping_lab.h"

namespace trolvane::testing {
namespace {

const char kConfirmed[] = "ホスト(198.18.0.2)の起動を確認しました。";
const char kTimedOut[] = "ホストの起動を確認できませんでした。(Pingタイムアウト)";
const char kPingError[] = "ホストの起動を確認できませんでした。(Pingエラー)";

class TcpConfirmInNamespaces : public PingLabTest {
 protected:
  void SetUp() override {
    PingLabTest::SetUp();
    if (lab_) lab_->ShieldTarget();
  }
  void TearDown() override { ::unlink(list_.c_str()); }

  const std::string list_ = "/tmp/trolvane-tcp-list-" + std::to_string(::getpid()) + ".txt";
};

// Only the host's own answers count: an accept or a reset, never a time-out or an ICMP
// error (23 is rejected with a port-unreachable), and a reset only from a host on the link
// that the neighbour table holds (a firewall or router on the way resets for a host that
// does not exist). An attempt that cannot be made for want of a descriptor is the host's
// error.
TEST_F(TcpConfirmInNamespaces, APortConfirmsWherePingsAreDropped) {
  lab_->SetSysctl(lab_->client(), "net.ipv4.ping_group_range", "1 0");  // no ICMP unprivileged
  std::ofstream(list_) << "02-00-5E-00-53-02 198.18.0.2\n02-02-03-04-05-06 198.18.0.3\n";
  const std::vector<std::string> by_port = {
      "sh", "-c",
      "ip rule add ipproto tcp dport 3389 lookup 100 && "
      "ip route add 198.18.0.77 via 198.18.0.2 table 100 && exec \"$@\"",
      "-"};
  const std::vector<std::string> later = {
      "sh", "-c", "(sleep 1; ip route add 198.18.0.77 via 198.18.0.2) & exec \"$@\" /v:0", "-"};
  const struct {
    std::string hosts, ports, timeout;
    bool unprivileged;
    int status;
    std::string out;
    double most_seconds = 60;  // a port's answer is heard as it comes, not at the next turn
    std::vector<std::string> wrapper = {};
  } cases[] = {
      {"/h:198.18.0.2", "", "/t:2000", false, 5, ProgramLines({kTimedOut})},  // pings ignored
      {"/h:198.18.0.2", "/c:3389", "/t:5000", false, 0, ProgramLines({kConfirmed})},
      {"/h:198.18.0.2", "/c:445", "/t:5000", false, 0, ProgramLines({kConfirmed})},
      {"/h:198.18.0.2", "/c:22,3389", "/t:5000", false, 0, ProgramLines({kConfirmed}), 0.5},
      {"/h:198.18.0.2", "/c:22", "/t:3000", false, 5, ProgramLines({kTimedOut})},
      {"/h:198.18.0.2", "/c:23", "/t:3000", false, 5, ProgramLines({kTimedOut})},
      {"/h:198.18.0.2", "/c:3389", "/t:5000", true, 0, ProgramLines({kConfirmed})},
      {"/f:" + list_, "/c:22,3389", "/t:3000", false, 5,
       ProgramLines({kConfirmed,
                     "ホスト(198.18.0.3)の起動を確認できませんでした。(Pingタイムアウト)",
                     "2台中1台の起動を確認しました。"})},
      {"/h:" + std::string(PingLab::kBehindTheTarget), "/c:3389", "/t:3000", false, 5,
       ProgramLines({kTimedOut})},
      // Nothing at .77 on the link, but the router resets for it: on a path chosen by port,
      // and on a route that appears after the path was read (with the MAC check off).
      {"/h:198.18.0.77", "/c:3389", "/t:3000", false, 5, ProgramLines({kTimedOut}), 60, by_port},
      {"/h:198.18.0.77", "/c:445", "/t:3000", false, 5, ProgramLines({kTimedOut}), 60, later},
      {"/h:198.18.0.2",
       "/c:445",
       "/t:3000",
       false,
       5,
       ProgramLines({kPingError}),
       60,
       {"sh", "-c", "ulimit -n 4 && exec \"$@\"", "-"}},
      {"/f:" + list_,
       "/c:445",
       "/t:3000",
       false,
       5,
       ProgramLines({"ホスト(198.18.0.2)の起動を確認できませんでした。(Pingエラー)",
                     "ホスト(198.18.0.3)の起動を確認できませんでした。(Pingエラー)",
                     "2台中0台の起動を確認しました。"}),
       60,
       {"sh", "-c", "ulimit -n 5 && exec \"$@\"", "-"}},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    RunResult r = lab_->RunProgram({"/m:02-00-5E-00-53-02", c.hosts, c.ports, c.timeout},
                                   c.unprivileged, c.wrapper);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
              c.most_seconds)
        << c.hosts << " " << c.ports;
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

}  // namespace
}  // namespace trolvane::testing
