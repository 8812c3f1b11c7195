// The host text as the program reads it: one address for the magic packet and the echo
// requests, and texts that name no other machine refused before anything is sent. In a
// namespace, where a text that goes to the resolver goes nowhere. Needs root.
#include <gtest/gtest.h>

#include <memory>

#include "netns/ping_lab.h"

namespace trolvane::testing {
namespace {

const char kMac[] = "/m:01-02-03-04-05-06";

class HostTextInNamespaces : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<PingLab>();
  }

  std::unique_ptr<PingLab> lab_;
};

// The platform's parser reads 010 as octal 8, and so must both steps: the magic packet
// and the echo requests go to 198.18.0.8, which answers, while nothing lives at .10.
// A text that parser refuses gets neither, even where another parser would read it.
TEST_F(HostTextInNamespaces, ThePacketAndThePingGoToTheSameAddress) {
  lab_->AddTargetAddress("198.18.0.8/25");
  const struct {
    const char* host;
    int status;
    const char* line;
    const char* sink;
  } cases[] = {
      {"/h:198.18.0.010", 0, "ホスト(198.18.0.010)の起動を確認しました。", "198.18.0.8 "},
      {"/h:198.18.0.+2", 5, "ホストの起動を確認できませんでした。(Pingエラー)", ""},
      {"/h:198.18.0.$2", 5, "ホストの起動を確認できませんでした。(Pingエラー)", ""},
  };
  for (const auto& c : cases) {
    auto sink = lab_->StartInTarget({"udp_sink", "7", "1", "4000"});
    ASSERT_TRUE(sink->WaitForOutput("ready\n", 10000));
    const long requests = lab_->IcmpCounter(lab_->target(), "InType8");
    RunResult r = lab_->RunProgram({kMac, c.host, "/t:3000"});
    EXPECT_EQ(r.status, c.status) << c.host;
    EXPECT_EQ(r.out, ProgramLines({c.line})) << c.host;
    const std::string received = sink->Finish(6000).out;
    if (*c.sink != '\0') {
      EXPECT_NE(received.find(c.sink), std::string::npos) << c.host << ": " << received;
    } else {
      EXPECT_EQ(received, "ready\n") << c.host;
      EXPECT_EQ(lab_->IcmpCounter(lab_->target(), "InType8"), requests) << c.host;
    }
  }
}

// An empty host and 0.0.0.0 mean this machine; with /s a field outside 0..255 would
// carry into another network's broadcast address. Nothing leaves the program.
TEST_F(HostTextInNamespaces, TextsThatNameNoOtherMachineSendNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {kMac, "/t:1000"},
      {kMac, "/h:"},
      {kMac, "/h:0"},
      {kMac, "/h:0.0.0.0", "/s:24"},
      {kMac, "/h:198.18.0.-1", "/s:24"},
      {kMac, "/h:198.18.0.256", "/s:16"},
  };
  for (const auto& arguments : cases) {
    const std::uint64_t sent = lab_->ClientTxPackets();
    RunResult r = lab_->RunProgram(arguments);
    EXPECT_EQ(r.status, 2) << arguments[1];
    EXPECT_EQ(r.out, ProgramLines({"ホストアドレス(/hｽｲｯﾁの指定値)が不正です。"})) << arguments[1];
    EXPECT_EQ(lab_->ClientTxPackets(), sent) << arguments[1];
  }
}

}  // namespace
}  // namespace trolvane::testing
