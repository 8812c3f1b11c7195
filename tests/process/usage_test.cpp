// The program as a user meets it: exact bytes and exit status.
#include <gtest/gtest.h>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

// No argument, or a request for help alone.
TEST(ProgramUsage, NoArgumentWritesTheUsageScreen) {
  const std::string expected = ProgramLines({
      "",
      "マジックパケットを送信して、\"Wake on Lan\"に対応したＰＣの電源をＯＮにします。",
      "またパケットの送信後にICMP(Ping)を使用してホスト起動のチェックも行います。",
      "<注>このコマンドを実行するには、Administrator権限が必要です。",
      "",
      "Trolvane /m:MACｱﾄﾞﾚｽ /h:ﾎｽﾄｱﾄﾞﾚｽ {/p:ﾎﾟｰﾄ} {/s:ｻﾌﾞﾈｯﾄﾏｽｸﾋﾞｯﾄ数}",
      "",
      "  /m ... パケット送信先ホストのＭＡＣアドレスを指定します。",
      "  /h ... パケット送信先ホストのＩＰアドレスを指定します。",
      "  /p ... パケットの送信に使用するポート番号を指定します。",
      "  /s ... パケット送信先ホストのサブネットマスクのビット数を指定します。",
      "  ※1 /sオプションはマジックパケットをブロードキャストするために使用しています。",
      "  ※2 "
      "パケット送信先ホストがスイッチングハブに接続されている場合は、ブロードキャストする必要があり"
      "ます。",
      "",
      "<sample1> Trolvane.exe /m:01-02-03-04-05-06 /h:192.168.0.130",
      "<sample2> Trolvane.exe /m:01-02-03-04-05-06 /h:192.168.0.25 /s:24",
      "",
      "Trolvane Version " TROLVANE_VERSION,
      "",
  });
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{}, {"/?"}, {"-h"}, {"--help"}}) {
    RunResult r = RunProgram(arguments);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(arguments);
    EXPECT_EQ(r.out, expected) << ::testing::PrintToString(arguments);
  }
}

// Beside another argument, a request for help is an argument that means nothing.
TEST(ProgramUsage, OneArgumentIsTooFew) {
  const std::string mac = "/m:01-02-03-04-05-06";
  for (const auto& [arguments, line] :
       {std::pair{std::vector<std::string>{mac}, "引数が足りません。"},
        {std::vector<std::string>{"/?", mac}, "ホストアドレス(/hｽｲｯﾁの指定値)が不正です。"}}) {
    RunResult r = RunProgram(arguments);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(arguments);
    EXPECT_EQ(r.out, ProgramLines({line})) << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace trolvane::testing
