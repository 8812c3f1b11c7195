#include "app/arguments.h"

#include <gtest/gtest.h>

namespace trolvane {
namespace {

TEST(ProgramArguments, TakeWhatFollowsTheProgramName) {
  using Words = std::vector<std::string>;
  const struct {
    os::CommandLine line;
    Words arguments;
  } cases[] = {
      {{true, "trolvane.exe /m:1 \"/h:a b\"", {}}, {"/m:1", "/h:a b"}},
      {{true, "\"C:\\Program Files\\trolvane.exe\"", {}}, {}},
      {{true, "", {}}, {}},
      {{false, "", {"/m:1", "", "/h:x"}}, {"/m:1", "/h:x"}},
      {{false, "", {}}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramArguments(c.line), c.arguments) << c.line.text;
}

}  // namespace
}  // namespace trolvane
