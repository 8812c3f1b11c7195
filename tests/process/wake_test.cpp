// The send step as a user meets it: datagrams on loopback, error lines and statuses.
#include <gtest/gtest.h>

#include <string>

#include "support/netns_lab.h"
#include "support/program_runner.h"
#include "support/unit/expected_packet.h"
#include "support/unit/socket_test_support.h"

namespace trolvane::testing {
namespace {

constexpr const char* kMac = "/m:01-02-03-04-05-06";

std::string Packet() { return ExpectedPacket(); }

std::string NotInteger(const std::string& text) { return "'" + text + "' は整数ではありません"; }

class ProgramSend : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Ok()); }
  std::string PortOption() const { return "/p:" + host_.PortText(); }

  LoopbackReceiver host_;
};

TEST_F(ProgramSend, WithoutMaskBitsOneDatagramArrives) {
  RunProgram({kMac, "/h:127.0.0.1", PortOption(), "/t:1000"});
  EXPECT_EQ(host_.Receive(), Packet());
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

TEST_F(ProgramSend, WithMaskBitsTheBroadcastAddressGetsTheSecond) {
  LoopbackReceiver broadcast("127.0.0.255", host_.Port());
  ASSERT_TRUE(broadcast.Ok());
  RunProgram({kMac, "/h:127.0.0.1", "/s:24", PortOption(), "/t:1000"});
  EXPECT_EQ(host_.Receive(), Packet());
  EXPECT_EQ(broadcast.Receive(), Packet());
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

TEST_F(ProgramSend, AMalformedMacEndsWithTheWrappedLine) {
  struct Case {
    const char* argument;
    const char* mac;
  } const cases[] = {
      {"/m:01:02:03:04:05:06", "01:02:03:04:05:06"},
      {"/m:", ""},
      {"/m:01-02-03-04-05-06-07", "01-02-03-04-05-06-07"},
  };
  for (const auto& c : cases) {
    RunResult r = RunProgram({c.argument, "/h:127.0.0.1", PortOption()});
    EXPECT_EQ(r.status, 3) << c.argument;
    EXPECT_EQ(r.out, ProgramLines({std::string("マジックパケットの送信処理に失敗しました。"
                                               "MACアドレスの処理中にエラーが発生しました。") +
                                   c.mac}));
  }
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

TEST_F(ProgramSend, APortTextThatIsNoServiceAndNoNumberEndsWithStatus3) {
  RunResult r = RunProgram({kMac, "/h:127.0.0.1", "/p:abc"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out,
            ProgramLines({"マジックパケットの送信処理に失敗しました。" + NotInteger("abc")}));
}

// With standard output closed, no socket takes its place: the receiver gets the packet and
// nothing else, however the run ends.
TEST_F(ProgramSend, AClosedStandardOutputIsNoSocket) {
  RunOptions options;
  options.close_stdout = true;
  RunProgram({kMac, "/h:127.0.0.1", PortOption(), "/t:0"}, options);
  EXPECT_EQ(host_.Receive(), Packet());
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

// The broadcast must be that of the address the packet goes to: refused before anything goes.
TEST_F(ProgramSend, AHostNameWithMaskBitsEndsWithStatus2BeforeAnyDatagram) {
  RunResult r = RunProgram({kMac, "/h:localhost", "/s:24", PortOption()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, ProgramLines({"ホストアドレス(/hｽｲｯﾁの指定値)が不正です。"}));
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

// a.b.c.d is looked up as a name first, so it runs where lookups go nowhere.
TEST(ProgramSendInNamespace, AHostFieldThatIsNoIntegerIsAnUnexpectedError) {
  if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
  NetnsLab lab("wake");
  std::string ns = lab.AddNamespace("proc");
  // Wine builds a fresh prefix on its first run there, which takes a while.
  RunResult r = RunProgram({kMac, "/h:a.b.c.d", "/s:24"},
                           {.time_limit_seconds = 180, .prefix = lab.ProgramPrefix(ns)});
  EXPECT_EQ(r.status, 99);
  EXPECT_EQ(r.out, ProgramLines({"予期していない例外が発生しました。" + NotInteger("a")}));
}

}  // namespace
}  // namespace trolvane::testing
