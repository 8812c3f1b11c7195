// The start-up confirmation of the Windows build under Wine, in the confirmation's lab:
// with raw ICMP sockets, as an administrator has them, and with raw ICMP refused, as for
// a user without them, when the ICMP helper API answers. Both must end alike. Windows
// build only (the suite's Windows run); needs root.
//
// Each way gets a lab of its own. Its router answers about one unreachable a second after
// a burst of five (the kernel's route error limit), enough for one short run; and when a
// run ends with several helper requests still running, Wine's helper may hang the next
// run on the same Wine server.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "netns/ping_lab.h"

namespace trolvane::testing {
namespace {

class ConfirmUnderWine : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!UnderWindowsBuild()) GTEST_SKIP() << "the Windows build's cases";
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<PingLab>();
    // Wine makes the lab's prefix on its first run, which takes a while.
    RunResult usage = lab_->RunBuildUnderTest({}, false, 180);
    ASSERT_EQ(usage.status, 2);
  }

  std::unique_ptr<PingLab> lab_;
};

TEST_P(ConfirmUnderWine, EndsAsTheRawPathDoes) {
  struct Case {
    const char* host;
    const char* timeout;
    bool silent_target;  // from this case on
    int status;
    const char* line;
    double at_least_seconds;
  } const cases[] = {
      {"/h:198.18.0.2", "/t:5000", false, 0, "ホスト(198.18.0.2)の起動を確認しました。", 0},
      {"/h:198.18.0.200", "/t:2000", false, 5, "ホストの起動を確認できませんでした。(Pingエラー)",
       1.9},
      {"/h:198.18.0.2", "/t:3000", true, 5,
       "ホストの起動を確認できませんでした。(Pingタイムアウト)", 2.9},
  };
  for (const Case& c : cases) {
    if (c.silent_target) lab_->SetSysctl(lab_->target(), "net.ipv4.icmp_echo_ignore_all", "1");
    auto start = std::chrono::steady_clock::now();
    RunResult r = lab_->RunBuildUnderTest({"/m:02-00-5E-00-53-02", c.host, c.timeout}, GetParam());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, c.status) << c.host;
    EXPECT_EQ(r.out, ProgramLines({c.line})) << c.host;
    EXPECT_GE(seconds, c.at_least_seconds) << c.host;
    EXPECT_LT(seconds, 15.0) << c.host;
  }
}

INSTANTIATE_TEST_SUITE_P(RawIcmp, ConfirmUnderWine, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Refused" : "Allowed";
                         });

}  // namespace
}  // namespace trolvane::testing
