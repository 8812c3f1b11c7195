// The program as a user meets it: exact bytes and exit status.
#include <gtest/gtest.h>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

TEST(ProgramUsage, NoArgumentWritesTheUsageScreen) {
  RunResult r = RunProgram({});
  EXPECT_EQ(r.status, 2);
  std::string expected = ProgramLines({
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
  EXPECT_EQ(r.out, expected);
}

TEST(ProgramUsage, OneArgumentIsTooFew) {
  RunResult r = RunProgram({"/m:01-02-03-04-05-06"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, ProgramLines({"引数が足りません。"}));
}

}  // namespace
}  // namespace trolvane::testing
