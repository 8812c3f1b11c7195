// The Windows build splits GetCommandLineA itself; these run it with exact command lines.
#include <gtest/gtest.h>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

TEST(WindowsCommandLine, QuotesAndBlanksAsGetCommandLineHandsThem) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "only the Windows build splits its command line";
  const std::string usage_first_line = ProgramLines({""});
  struct Case {
    const char* line;
    bool usage;  // else the "too few" line
  };
  const Case cases[] = {
      {"", true},
      {"\"\"", true},
      {"\"\" \"\"", true},
      {"\"\"\"\"", true},
      {"  \t ", true},
      {"\"/m:01 02 03 04 05 06\"", false},
      {"/m:\"01 02\" \"\"", false},
      {"a\" \"b", false},
      {"\"\" /h:x \"\"", false},
      {"\"\" /h:x \"", false},
  };
  for (const auto& c : cases) {
    RunResult r = RunWithCommandLine(c.line);
    EXPECT_EQ(r.status, 2) << "[" << c.line << "]";
    if (c.usage) {
      EXPECT_EQ(r.out.substr(0, usage_first_line.size()), usage_first_line) << "[" << c.line << "]";
      EXPECT_GT(r.out.size(), 500u) << "[" << c.line << "]";
    } else {
      EXPECT_EQ(r.out, ProgramLines({"引数が足りません。"})) << "[" << c.line << "]";
    }
  }
}

}  // namespace
}  // namespace trolvane::testing
