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
