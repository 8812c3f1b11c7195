// The host list's errors as a user meets them, for both builds: each ends before anything
// is sent, with its one line and status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

class HostListErrors : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }

  // Writes the list and gives its name as the build under test reads it (Wine reaches the
  // machine's files through drive Z:).
  std::string List(const std::string& text) {
    std::ofstream(path_, std::ios::binary) << text;
    return UnderWindowsBuild() ? "Z:" + path_ : path_;
  }

  const std::string path_ = "/tmp/trolvane-list-errors-" + std::to_string(::getpid()) + ".txt";
};

TEST_F(HostListErrors, EndBeforeAnythingIsSent) {
  const std::string bad = List("# room\r\n01-02-03-04-05-06 127.0.0.1\r\n01-02-03 127.0.0.2\r\n");
  const std::string missing = UnderWindowsBuild() ? "Z:/nonexistent/list" : "/nonexistent/list";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string line;
  } cases[] = {
      {{"/f:" + missing}, 2, "ホスト一覧(" + missing + ")を読み込めませんでした。"},
      {{"/f:-"}, 2, "ホスト一覧(-)にホストがありません。"},  // standard input is empty
      {{"/f:" + bad, "/t:0"},
       2,
       "ホスト一覧(" + bad +
           ")の3行目が不正です。MACアドレスの処理中にエラーが発生しました。01-02-03"},
  };
  for (const auto& c : cases) {
    RunResult r = RunProgram(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments[0];
    EXPECT_EQ(r.out, ProgramLines({c.line})) << c.arguments[0];
  }
}

TEST_F(HostListErrors, APortThatIsNoNumberAndNoServiceIsStatus3) {
  const std::string list = List("01-02-03-04-05-06 127.0.0.1\n");
  RunResult r = RunProgram({"/f:" + list, "/p:abc"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out,
            ProgramLines({"マジックパケットの送信処理に失敗しました。'abc' は整数ではありません"}));
}

}  // namespace
}  // namespace trolvane::testing
