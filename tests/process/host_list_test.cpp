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

TEST_F(HostListErrors, ListsThatWakeNothing) {
  const std::string name = List("");
  const std::string missing = UnderWindowsBuild() ? "Z:/nonexistent/list" : "/nonexistent/list";
  const std::string bad_line = "ホスト一覧(" + name + ")の";
  const struct {
    std::string list;  // written to the file first unless empty
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {"/f:" + missing}, 2, {"ホスト一覧(" + missing + ")を読み込めませんでした。"}},
      {"", {"/f:-"}, 2, {"ホスト一覧(-)にホストがありません。"}},  // standard input is empty
      {"# room\r\n01-02-03-04-05-06 127.0.0.1\r\n01-02-03 127.0.0.2\r\n",
       {"/f:" + name, "/t:0"},
       2,
       {bad_line + "3行目が不正です。MACアドレスの処理中にエラーが発生しました。01-02-03"}},
      {"01-02-03-04-05-06 127.0.0.1 47\n",
       {"/f:" + name},
       2,
       {bad_line + "1行目が不正です。サブネットマスクのビット数は0から32で指定してください。"}},
      {std::string("01-02-03-04-05-06 127.0.0.1\0\x1b[2J\n", 34),
       {"/f:" + name},
       2,
       {bad_line + "1行目が不正です。制御文字を含んでいます。"}},
      // As Notepad saves it: UTF-8 with a byte order mark, shown in the program's code page.
      {"\xEF\xBB\xBF"
       "01-02-03-04-05-06 127.0.0.1 ビット\r\n",
       {"/f:" + name},
       2,
       {bad_line + "1行目が不正です。'ビット' は整数ではありません"}},
      {"01-02-03-04-05-06 0.0.0.0\n",  // this machine: refused, nothing sent
       {"/f:" + name, "/t:0"},
       5,
       {"ホスト(0.0.0.0)の起動を確認できませんでした。(Pingエラー)",
        "1台中0台の起動を確認しました。"}},
  };
  for (const auto& c : cases) {
    if (!c.list.empty()) List(c.list);
    RunResult r = RunProgram(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.list;
    std::string expected;
    for (const std::string& line : c.lines) expected += ProgramLines({line});
    EXPECT_EQ(r.out, expected) << c.list;
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
