// The start-up confirmation against this machine's loopback: the host always answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

class ConfirmOnLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    // Raw ICMP needs root; the unprivileged path has tests of its own.
    if (::geteuid() != 0) GTEST_SKIP() << "a raw ICMP socket needs root";
  }
};

// Under the Windows build also with raw ICMP refused: the ICMP helper API answers then.
TEST_F(ConfirmOnLoopback, AnsweringHostIsConfirmed) {
  for (bool refused : RawIcmpRefusals()) {
    RunOptions options;
    options.raw_icmp_refused = refused;
    RunResult r = RunProgram({"/m:01-02-03-04-05-06", "/h:127.0.0.1", "/t:5000"}, options);
    EXPECT_EQ(r.status, 0) << "raw ICMP refused: " << refused;
    EXPECT_EQ(r.out, ProgramLines({"ホスト(127.0.0.1)の起動を確認しました。"}))
        << "raw ICMP refused: " << refused;
  }
}

TEST_F(ConfirmOnLoopback, HostNameIsShownAsGiven) {
  RunResult r = RunProgram({"/m:01-02-03-04-05-06", "/h:localhost", "/t:5000"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ProgramLines({"ホスト(localhost)の起動を確認しました。"}));
}

TEST_F(ConfirmOnLoopback, SinglePingWhenTheTimeoutIsNotPositive) {
  // A wait of 0 is one readiness test: the reply may or may not be there yet.
  RunResult r = RunProgram({"/m:01-02-03-04-05-06", "/h:127.0.0.1", "/t:0"});
  if (r.status == 0) {
    EXPECT_EQ(r.out, ProgramLines({"ホスト(127.0.0.1)の起動を確認しました。"}));
  } else {
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, ProgramLines({"ホストの起動を確認できませんでした。(Pingタイムアウト)"}));
  }
}

}  // namespace
}  // namespace trolvane::testing
