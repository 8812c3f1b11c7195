// The start-up confirmation against this machine's loopback, through the Windows build's
// ICMP helper API, which hands up only real answers. A raw socket also sees its own echo
// request on loopback, which counts as an answer whether or not anything replies, so the
// raw path is confirmed against hosts in namespaces, where the target can be silenced.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

TEST(ConfirmOnLoopback, TheIcmpHelperApiConfirmsAnAnsweringHost) {
  if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's ICMP helper path";
  if (::geteuid() != 0) GTEST_SKIP() << "Wine's ICMP helper needs root here";
  RunOptions options;
  options.raw_icmp_refused = true;
  RunResult r = RunProgram({"/m:01-02-03-04-05-06", "/h:127.0.0.1", "/t:5000"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ProgramLines({"ホスト(127.0.0.1)の起動を確認しました。"}));
}

}  // namespace
}  // namespace trolvane::testing
