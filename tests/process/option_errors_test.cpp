// A "/c" text that is no port list, a "/r" outside 1..10 or an "/o" other than json ends
// the run before anything is sent, for one host and for a list alike.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/program_runner.h"
#include "support/unit/socket_test_support.h"

namespace trolvane::testing {
namespace {

TEST(OptionValueErrors, EndWithStatus2BeforeAnythingIsSent) {
  StartWinsock();
  LoopbackReceiver receiver;
  const std::string path = "/tmp/trolvane-ports-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(path) << "01-02-03-04-05-06 127.0.0.1\n";
  const std::string port = "/p:" + receiver.PortText();
  const std::string ports = "確認ポート(/cｽｲｯﾁの指定値)が不正です。";
  const std::string sends = "再送回数(/rｽｲｯﾁの指定値)が不正です。";
  const std::string format = "出力形式(/oｽｲｯﾁの指定値)が不正です。";
  for (const auto& [option, line] : {std::pair{"/c:abc", ports},
                                     {"/c:0", ports},
                                     {"/c:65536", ports},
                                     {"/c:1,,2", ports},
                                     {"/r:0", sends},
                                     {"/r:11", sends},
                                     {"/r:x", sends},
                                     {"/o:xml", format}}) {
    for (const std::string& run :
         {std::string("/h:127.0.0.1"), std::string(UnderWindowsBuild() ? "/f:Z:" : "/f:") + path}) {
      RunResult r = RunProgram({"/m:01-02-03-04-05-06", run, port, option});
      EXPECT_EQ(r.status, 2) << option << " " << run;
      EXPECT_EQ(r.out, ProgramLines({line})) << option;
    }
  }
  std::remove(path.c_str());
  EXPECT_FALSE(receiver.Receive(200).has_value()) << "a datagram went out";
}

}  // namespace
}  // namespace trolvane::testing
