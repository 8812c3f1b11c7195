#include <gtest/gtest.h>

#include <string>

#include "net/socket_test_support.h"
#include "text/messages.h"
#include "wake/magic_packet.h"

namespace trolvane::testing {
namespace {

// The host is 127.0.0.1 and its /24 broadcast address 127.0.0.255: both are local, so
// every datagram stays on this machine.
class SendStepTest : public WinsockTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Ok());
    job_.SetHostAddress("127.0.0.1");
    job_.SetPortText(host_.PortText());
    job_.SetMacAddress("01-02-03-04-05-06");
  }

  static std::string Packet() {
    MagicPacketBytes p{};
    TMagicPacket::BuildMagicPacket("01-02-03-04-05-06", p);
    return std::string(p.begin(), p.end());
  }

  LoopbackReceiver host_;
  TMagicPacket job_{nullptr};
};

TEST_F(SendStepTest, WithoutMaskBitsSendsOneDatagramToTheHost) {
  job_.SendMagicPacket();
  EXPECT_EQ(host_.Receive(), Packet());
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

TEST_F(SendStepTest, WithMaskBitsSendsAgainToTheBroadcastAddress) {
  LoopbackReceiver broadcast("127.0.0.255", host_.Port());
  // Wine binds only the addresses of its interfaces; the process tests cover this
  // build's broadcast datagram with a native receiver.
  if (!broadcast.Ok()) GTEST_SKIP() << "this platform cannot bind 127.0.0.255";
  job_.SetMaskBits(24);
  job_.SendMagicPacket();
  EXPECT_EQ(host_.Receive(), Packet());
  EXPECT_EQ(broadcast.Receive(), Packet());
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

// An empty host and 0.0.0.0 would mean this machine; with mask bits, a field outside
// 0..255 would reach another network's broadcast address. Nothing is sent for either.
TEST_F(SendStepTest, RefusesHostsThatNameNoOtherMachine) {
  const struct {
    const char* host;
    std::int32_t mask_bits;
  } cases[] = {{"", -1}, {"0", -1}, {"0.0.0.0", 24}, {"127.0.0.-1", 24}, {"127.0.1.256", 16}};
  for (const auto& c : cases) {
    job_.SetHostAddress(c.host);
    job_.SetMaskBits(c.mask_bits);
    try {
      job_.SendMagicPacket();
      ADD_FAILURE() << "sent to [" << c.host << "]";
    } catch (const EArgsException& e) {
      EXPECT_EQ(e.Message(), msg::kBadHostAddress) << c.host;
    }
  }
  EXPECT_EQ(host_.Receive(300), std::nullopt);
}

TEST_F(SendStepTest, AServiceNameServesAsThePort) {
  LoopbackReceiver echo("127.0.0.1", 7);
  if (!echo.Ok()) GTEST_SKIP() << "port 7 on loopback is taken or needs root here";
  job_.SetPortText("echo");
  job_.SendMagicPacket();
  EXPECT_EQ(echo.Receive(), Packet());
}

}  // namespace
}  // namespace trolvane::testing
