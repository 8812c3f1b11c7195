// The host list's errors as a user meets them, for both builds: each ends before anything
// is sent, with its one line and status.
#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

// The text in UTF-16 of the given byte order ("UTF-16LE", "UTF-16BE"), behind its mark.
std::string Utf16(const std::string& utf8, const char* order) {
  std::string out(2 + utf8.size() * 4, '\0');
  out.replace(0, 2, std::string(order) == "UTF-16LE" ? "\xFF\xFE" : "\xFE\xFF");
  iconv_t cd = ::iconv_open(order, "UTF-8");
  char* in = const_cast<char*>(utf8.data());
  char* to = out.data() + 2;
  std::size_t in_left = utf8.size(), out_left = out.size() - 2;
  ::iconv(cd, &in, &in_left, &to, &out_left);
  ::iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

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
  // Names never looked up: the bad line ends the run first.
  const std::string japanese = "01-02-03-04-05-06, 受付のPC, 24\r\n会議室 127.0.0.1\r\n";
  const std::string japanese_bad =
      bad_line + "2行目が不正です。MACアドレスの処理中にエラーが発生しました。会議室";
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
      // And its twins in Notepad's "Unicode", either byte order; a broken one is taken as it is.
      {"\xEF\xBB\xBF" + japanese, {"/f:" + name}, 2, {japanese_bad}},
      {Utf16(japanese, "UTF-16LE"), {"/f:" + name}, 2, {japanese_bad}},
      {Utf16(japanese, "UTF-16BE"), {"/f:" + name}, 2, {japanese_bad}},
      {Utf16(japanese, "UTF-16LE").substr(0, 9),
       {"/f:" + name},
       2,
       {bad_line + "1行目が不正です。制御文字を含んでいます。"}},
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
