// Standard output that cannot be written must not change the outcome or crash the program.
#include <gtest/gtest.h>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

TEST(ProgramOutput, ClosedOrBrokenOutputKeepsTheStatus) {
  for (bool closed : {true, false}) {
    RunOptions options;
    options.close_stdout = closed;
    options.stdout_broken_pipe = !closed;
    EXPECT_EQ(RunProgram({}, options).status, 2) << (closed ? "closed" : "broken pipe");
    EXPECT_EQ(RunProgram({"x"}, options).status, 2) << (closed ? "closed" : "broken pipe");
  }
}

}  // namespace
}  // namespace trolvane::testing

namespace trolvane::testing {
namespace {

constexpr const char* kMacFailed =
    "マジックパケットの送信処理に失敗しました。MACアドレスの処理中にエラーが発生しました。";

// Port 9 on loopback: the MAC text fails before anything is sent.
TEST(ProgramOutput, CrLfInAMessageBecomesOneBlank) {
  RunResult r = UnderWindowsBuild() ? RunWithCommandLine("\"/m:01\r\n02\rx\ny\" /h:127.0.0.1 /p:9")
                                    : RunProgram({"/m:01\r\n02\rx\ny", "/h:127.0.0.1", "/p:9"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, ProgramLines({std::string(kMacFailed) + "01 02\rx\ny"}));
}

TEST(WindowsCommandLine, AQuotedArgumentKeepsItsBlanks) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "only the Windows build splits its command line";
  RunResult r = RunWithCommandLine("\"/m:01 02 03\"04\" 05\" /h:127.0.0.1 /p:9");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, ProgramLines({std::string(kMacFailed) + "01 02 0304 05"}));
}

}  // namespace
}  // namespace trolvane::testing
