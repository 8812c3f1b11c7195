// A "/c" text that is no port list ends the run before anything is sent, for one host and
// for a list alike, on both builds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support/program_runner.h"
#include "support/unit/socket_test_support.h"

namespace trolvane::testing {
namespace {

class ProbePortErrors : public WinsockTest {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }
  const std::string path_ = "/tmp/trolvane-ports-" + std::to_string(::getpid()) + ".txt";
};

TEST_F(ProbePortErrors, EndWithStatus2BeforeAnythingIsSent) {
  LoopbackReceiver receiver;
  ASSERT_TRUE(receiver.Ok());
  std::ofstream(path_) << "01-02-03-04-05-06 127.0.0.1\n";
  const std::string list = "/f:" + (UnderWindowsBuild() ? "Z:" + path_ : path_);
  const std::string port = "/p:" + receiver.PortText();
  const std::vector<std::string> runs[] = {{"/m:01-02-03-04-05-06", "/h:127.0.0.1", port},
                                           {list, port}};
  for (const char* ports : {"/c:abc", "/c:0", "/c:65536", "/c:1,,2"}) {
    for (std::vector<std::string> arguments : runs) {
      arguments.push_back(ports);
      RunResult r = RunProgram(arguments);
      EXPECT_EQ(r.status, 2) << ports << " " << arguments[0];
      EXPECT_EQ(r.out, ProgramLines({"確認ポート(/cｽｲｯﾁの指定値)が不正です。"})) << ports;
    }
  }
  EXPECT_FALSE(receiver.Receive(200).has_value()) << "a datagram went out";
}

}  // namespace
}  // namespace trolvane::testing
