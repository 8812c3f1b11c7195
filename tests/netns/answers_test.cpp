// Which answers confirm a host, on a network where other hosts and other programs speak
// ICMP too: only the pinged address's own answer to one of this run's requests, however
// late it comes within the wait. Needs root.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "netns/ping_lab.h"

namespace trolvane::testing {
namespace {

const char kMac[] = "/m:02-00-5E-00-53-02";

class AnswersInNamespaces : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
  }

  // A lab whose target's kernel answers no echo requests, and a responder of the test's
  // in its place; the target may get a second address.
  std::unique_ptr<BackgroundProcess> Responder(const std::vector<std::string>& options,
                                               const std::string& second_address = "",
                                               int seconds = 6) {
    lab_.reset();  // its namespaces' names are taken until it is gone
    lab_ = std::make_unique<PingLab>();
    lab_->SetSysctl(lab_->target(), "net.ipv4.icmp_echo_ignore_all", "1");
    if (!second_address.empty()) lab_->AddTargetAddress(second_address);
    std::vector<std::string> argv = {"echo_responder", std::to_string(seconds)};
    argv.insert(argv.end(), options.begin(), options.end());
    auto responder = lab_->StartInTarget(argv);
    EXPECT_TRUE(responder->WaitForOutput("ready\n", 10000));
    return responder;
  }

  std::unique_ptr<PingLab> lab_;
};

std::string Confirmed() { return ProgramLines({"ホスト(198.18.0.2)の起動を確認しました。"}); }
std::string TimedOut() {
  return ProgramLines({"ホストの起動を確認できませんでした。(Pingタイムアウト)"});
}

// Each reply comes 1.5 s after its request, when the next request is already out.
TEST_F(AnswersInNamespaces, RepliesSlowerThanASecondAreHeard) {
  auto responder = Responder({"--delay", "1500"});
  const auto start = std::chrono::steady_clock::now();
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:6000"});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Confirmed());
  EXPECT_LT(seconds, 5.0);
}

// Raw socket and, as nobody, the kernel's ping socket.
TEST_F(AnswersInNamespaces, RepliesFromAnotherAddressDoNotConfirm) {
  for (bool unprivileged : {false, true}) {
    auto responder = Responder({"--from", "198.18.0.4"}, "198.18.0.4/25");
    if (unprivileged) {
      lab_->SetSysctl(lab_->client(), "net.ipv4.ping_group_range", "65534 65534");
    }
    RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:3000"}, unprivileged);
    EXPECT_EQ(r.status, 5) << "unprivileged " << unprivileged;
    EXPECT_EQ(r.out, TimedOut()) << "unprivileged " << unprivileged;
    EXPECT_EQ(responder->Finish(15000).out.find("answered 0"), std::string::npos)
        << "the other address never answered";
  }
}

TEST_F(AnswersInNamespaces, AnotherProgramsRepliesDoNotConfirm) {
  auto responder = Responder({"--other-id"});
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:3000"});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, TimedOut());
  EXPECT_EQ(responder->Finish(15000).out.find("answered 0"), std::string::npos);
}

// A timestamp request with our numbers comes 20 ms before each real reply.
TEST_F(AnswersInNamespaces, AnUnrelatedMessageDoesNotEndTheWait) {
  auto responder = Responder({"--stray", "13", "--delay", "20"});
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:5000"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Confirmed());
}

// Without a time limit the program asks once a second until the machine is up.
TEST_F(AnswersInNamespaces, WithoutATimeLimitALateHostIsConfirmed) {
  lab_ = std::make_unique<PingLab>();
  lab_->SetSysctl(lab_->target(), "net.ipv4.icmp_echo_ignore_all", "1");
  auto machine = lab_->StartInTarget({"answer_after_wake", "7", "3000", "20"});
  ASSERT_TRUE(machine->WaitForOutput("ready\n", 10000));
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0.2", "/t:-2"});
  EXPECT_EQ(machine->Finish(10000).out, "ready\nanswering\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Confirmed());
  EXPECT_GE(lab_->IcmpCounter(lab_->target(), "InType8"), 4) << "asked again each second";
}

// The same under Wine, with raw ICMP sockets and, as for a user without them, through the
// ICMP helper API, whose requests each live for their host's second: an answer within it
// (900 ms late) is heard, also without a time limit. A lab (and a Wine prefix) for each.
// Windows build only.
class SlowRepliesUnderWine : public AnswersInNamespaces,
                             public ::testing::WithParamInterface<bool> {};

TEST_P(SlowRepliesUnderWine, AreHeard) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
  auto responder = Responder({"--delay", GetParam() ? "900" : "1500"}, "", 60);
  // Wine makes the lab's prefix on its first run, which takes a while.
  ASSERT_EQ(lab_->RunBuildUnderTest({}, false, 180).status, 2);
  for (const char* timeout : {"/t:6000", "/t:-2"}) {
    const auto start = std::chrono::steady_clock::now();
    RunResult r = lab_->RunBuildUnderTest({kMac, "/h:198.18.0.2", timeout}, GetParam(), 30);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 0) << timeout;
    EXPECT_EQ(r.out, Confirmed()) << timeout;
    EXPECT_LT(seconds, 5.0) << timeout;
  }
}

INSTANTIATE_TEST_SUITE_P(RawIcmp, SlowRepliesUnderWine, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Refused" : "Allowed";
                         });

}  // namespace
}  // namespace trolvane::testing
