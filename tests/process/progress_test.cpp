// The status line while the program waits: on a terminal it shows and is erased before
// the result line; with standard error elsewhere nothing at all is written there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/program_runner.h"
#include "support/terminal_runner.h"

namespace trolvane::testing {
namespace {

class ProgressLine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (UnderWindowsBuild()) GTEST_SKIP() << "a Windows console cannot be watched under Wine";
    if (::geteuid() != 0) GTEST_SKIP() << "a raw ICMP socket needs root";
    std::ofstream(list_) << "01-02-03-04-05-06 127.0.0.1\n01-02-03-04-05-07 127.0.0.2\n";
  }
  void TearDown() override { std::remove(list_.c_str()); }

  const std::string list_ = "/tmp/trolvane-progress-" + std::to_string(::getpid()) + ".txt";
};

// The terminal turns each line end into CR LF. (Learning's is in the learning lab.)
TEST_F(ProgressLine, ShowsOnATerminalAndIsErasedBeforeTheResult) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string shown;
    std::string first_result;
    std::string result;  // the end of the output
  } cases[] = {
      {{"/m:01-02-03-04-05-06", "/h:127.0.0.1", "/t:5000"},
       0,
       "起動確認中 残り5秒",
       "ホスト(",
       "ホスト(127.0.0.1)の起動を確認しました。\r\n"},
      {{"/f:" + list_, "/t:5000"},
       0,
       "起動確認中 0/2台 残り5秒",
       "ホスト(",
       "2台中2台の起動を確認しました。\r\n"},
  };
  for (const auto& c : cases) {
    RunResult r = RunOnTerminal(c.arguments);
    EXPECT_EQ(r.status, c.status) << r.out;
    const std::size_t shown = r.out.find("\r" + c.shown + "\x1b[K");
    const std::size_t erased = r.out.find("\r\x1b[K", shown + 1);
    EXPECT_NE(shown, std::string::npos) << r.out;
    EXPECT_LT(erased, r.out.find(c.first_result)) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - c.result.size()), c.result);
  }
}

TEST_F(ProgressLine, NothingGoesToStandardErrorElsewhere) {
  for (const auto& arguments :
       {std::vector<std::string>{"/m:01-02-03-04-05-06", "/h:127.0.0.1", "/t:5000"},
        std::vector<std::string>{"/f:" + list_, "/t:5000"}}) {
    std::vector<std::string> command = {"sh", "-c", "\"$0\" \"$@\" 2>&1 >/dev/null",
                                        TROLVANE_PROGRAM};
    command.insert(command.end(), arguments.begin(), arguments.end());
    RunResult r = RunCommand(command);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "") << "standard error";
  }
}

}  // namespace
}  // namespace trolvane::testing
