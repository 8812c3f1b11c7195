// The host text as the program reads it: one address for the magic packet and the echo
// requests, and texts that name no other machine refused before anything is sent. In a
// namespace, where a text that goes to the resolver goes nowhere. Needs root.
#include <gtest/gtest.h>

#include <memory>

#include "netns/ping_lab.h"

namespace trolvane::testing {
namespace {

const char kMac[] = "/m:02-00-5E-00-53-02";

class HostTextInNamespaces : public PingLabTest {};

// The platform's parser reads 010 as octal 8, and so must both steps: the magic packet
// and the echo requests go to 198.18.0.8, which answers, while nothing lives at .10.
// A text that parser refuses gets neither, even where another parser would read it. The
// client has spoken to .8 before, so its table takes the unicast there.
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
    if (*c.sink != '\0') lab_->RunProgram({kMac, c.host, "/t:3000"});
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

// The broadcast goes to the subnet of the address the packet went to: 198.18.0100.5 is
// 198.18.64.5 (octal), so /s:24 broadcasts to 198.18.64.255, never to 198.18.100.255
// (which has no route here, and would fail the run).
TEST_F(HostTextInNamespaces, TheBroadcastIsThatOfTheAddressUsed) {
  lab_->AddTargetAddress("198.18.64.5/24");
  RunCommand({"ip", "-n", lab_->client(), "route", "add", "198.18.64.0/24", "via", "198.18.0.2"});
  auto sink = lab_->StartInTarget({"udp_sink", "7", "2", "4000"});
  ASSERT_TRUE(sink->WaitForOutput("ready\n", 10000));
  RunResult r = lab_->RunProgram({kMac, "/h:198.18.0100.5", "/s:24", "/t:3000"});
  EXPECT_EQ(r.status, 0);
  const std::string received = sink->Finish(6000).out;
  EXPECT_NE(received.find("198.18.64.5 "), std::string::npos) << received;
  EXPECT_NE(received.find("198.18.64.255 "), std::string::npos) << received;
}

// An empty host and 0.0.0.0 mean this machine; with /s a field outside 0..255 would
// carry into another network's broadcast address, and mask bits outside 0..32 would name
// another network. Nothing leaves the program.
TEST_F(HostTextInNamespaces, TextsThatNameNoOtherMachineSendNothing) {
  const std::string bad_host = "ホストアドレス(/hｽｲｯﾁの指定値)が不正です。";
  const std::string bad_bits = "サブネットマスク(/sｽｲｯﾁの指定値)が不正です。";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{kMac, "/t:1000"}, bad_host},
      {{kMac, "/h:"}, bad_host},
      {{kMac, "/h:0"}, bad_host},
      {{kMac, "/h:0.0.0.0", "/s:24"}, bad_host},
      {{kMac, "/h:198.18.0.-1", "/s:24"}, bad_host},
      {{kMac, "/h:198.18.0.256", "/s:16"}, bad_host},
      {{kMac, "/h:198.18.0.2", "/s:47"}, bad_bits},
      {{kMac, "/h:198.18.0.2", "/s:-17"}, bad_bits},
      {{kMac, "/h:198.18.0.2", "/s:33"}, bad_bits},
      {{kMac, "/h:198.18.0.2", "/s:-1"}, bad_bits},
  };
  for (const auto& [arguments, line] : cases) {
    const std::uint64_t sent = lab_->ClientTxPackets();
    RunResult r = lab_->RunProgram(arguments);
    EXPECT_EQ(r.status, 2) << arguments.back();
    EXPECT_EQ(r.out, ProgramLines({line})) << arguments.back();
    EXPECT_EQ(lab_->ClientTxPackets(), sent) << arguments.back();
  }
}

}  // namespace
}  // namespace trolvane::testing
