#include "net/icmp_client.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/net_exceptions.h"
#include "platform/process.h"

namespace trolvane {
namespace {

std::uint16_t OurId() { return static_cast<std::uint16_t>(os::CurrentProcessId()); }

TEST(IcmpClient, NewClientHasItsDefaultsAndNoSocket) {
  TNetIcmpClient client;
  EXPECT_EQ(client.Protocol(), 1);
  EXPECT_EQ(client.ReceiveTimeout(), 5000);
  EXPECT_EQ(client.Port(), 0);
  EXPECT_EQ(client.BufferSize(), 8192);
  EXPECT_EQ(client.NextSequence(), 3489);
  EXPECT_EQ(client.LastReply().SourceAddress, "");
  EXPECT_FALSE(client.SocketHandle().SocketOpen());
}

TEST(IcmpClient, RequestCarriesIdentifierSequenceAndAValidChecksum) {
  TNetIcmpClient client;
  client.BuildEchoRequest("");
  const std::uint8_t* r = client.RequestArea();
  EXPECT_EQ(client.RequestSize(), 52);
  EXPECT_EQ(r[0], 8);
  EXPECT_EQ(r[4] | r[5] << 8, OurId());
  EXPECT_EQ(r[6], 0xA1);
  EXPECT_EQ(r[7], 0x0D);
  EXPECT_EQ(client.ComputeChecksum(), 0);
}

// A packet from 198.18.0.7 with TTL 61 carrying an ICMP message of type with our
// identifier and sequence number at the place the type puts them.
std::vector<std::uint8_t> Packet(std::uint8_t type, std::uint16_t sequence) {
  std::vector<std::uint8_t> p(20 + 8 + 20 + 8, 0);
  p[0] = 0x45;
  p[8] = 61;
  p[12] = 198, p[13] = 18, p[14] = 0, p[15] = 7;
  p[20] = type;
  std::size_t at = type == 0 || type == 8 ? 24 : 20 + 8 + 20 + 4;
  p[at] = static_cast<std::uint8_t>(OurId());
  p[at + 1] = static_cast<std::uint8_t>(OurId() >> 8);
  p[at + 2] = static_cast<std::uint8_t>(sequence);
  p[at + 3] = static_cast<std::uint8_t>(sequence >> 8);
  return p;
}

bool Decode(TNetIcmpClient& client, const std::vector<std::uint8_t>& packet, int n,
            TReplyStatus& result) {
  std::copy(packet.begin(), packet.end(), client.ReceiveArea().begin());
  return client.DecodeReply(n, result);
}

TEST(IcmpClient, DecodeReplyFillsTheResultForOurAnswer) {
  struct Case {
    std::uint8_t type;
    TReplyStatusKind kind;
  };
  const Case cases[] = {{0, TReplyStatusKind::rkEchoReply},
                        {8, TReplyStatusKind::rkEchoReply},
                        {3, TReplyStatusKind::rkUnreachable},
                        {11, TReplyStatusKind::rkTtlExpired}};
  for (const Case& c : cases) {
    TNetIcmpClient client;
    TReplyStatus result;
    result.RoundTripMs = 77;
    auto packet = Packet(c.type, 3489);
    ASSERT_TRUE(Decode(client, packet, static_cast<int>(packet.size()), result));
    EXPECT_EQ(result.ByteCount, 56);
    EXPECT_EQ(result.SourceAddress, "198.18.0.7");
    EXPECT_EQ(result.IcmpType, c.type);
    EXPECT_EQ(result.Sequence, 3489);
    EXPECT_EQ(result.ReplyTtl, 61);
    EXPECT_EQ(result.Status, c.kind);
    EXPECT_EQ(result.RoundTripMs, 77u) << "left to Ping";
  }
}

TEST(IcmpClient, DecodeReplyPassesOverOthersAndTimesOutOnNothing) {
  TNetIcmpClient client;
  TReplyStatus result;
  auto other = Packet(0, 3490);
  EXPECT_FALSE(Decode(client, other, static_cast<int>(other.size()), result));
  EXPECT_EQ(result.Status, TReplyStatusKind::rkError);

  ASSERT_TRUE(client.DecodeReply(0, result));
  EXPECT_EQ(result.Status, TReplyStatusKind::rkTimedOut);
  EXPECT_EQ(result.SourceAddress, "0.0.0.0");
  EXPECT_EQ(result.ByteCount, 0);
  EXPECT_EQ(result.IcmpType, 0);
  EXPECT_EQ(result.ReplyTtl, 0);
  EXPECT_EQ(result.Sequence, 3489);
}

TEST(IcmpClient, DecodeReplyRaisesForShortPacketsAndOtherTypes) {
  struct Case {
    std::uint8_t type;
    int n;
    const char* message;
  };
  const Case cases[] = {{0, 27, "Not enough bytes received"},
                        {5, 56, "Non-echo type response received"},
                        {9, 28, "Non-echo type response received"}};
  for (const Case& c : cases) {
    TNetIcmpClient client;
    TReplyStatus result;
    try {
      Decode(client, Packet(c.type, 3489), c.n, result);
      ADD_FAILURE() << "no error for type " << int(c.type);
    } catch (const ENetIcmpException& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

// Real exchanges with this machine, which answers on loopback. Raw sockets need rights
// that the test may not have.
class IcmpLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.SetHost("127.0.0.1");
    client_.SetReceiveTimeout(5000);
    try {
      client_.AcquireHandle().Close();
    } catch (const ENetInvalidSocket&) {
      GTEST_SKIP() << "no right to a raw ICMP socket here";
    }
  }
  TNetIcmpClient client_;
};

TEST_F(IcmpLoopback, SequenceNumbersRunOnAndWrap) {
  std::vector<std::uint16_t> seen;
  client_.OnReply = [&](TNetIcmpClient& sender, const TReplyStatus& status) {
    EXPECT_EQ(&sender, &client_);
    EXPECT_EQ(&status, &client_.LastReply());
    seen.push_back(status.Sequence);
  };
  client_.Ping();
  EXPECT_EQ(client_.LastReply().Status, TReplyStatusKind::rkEchoReply);
  EXPECT_EQ(client_.LastReply().SourceAddress, "127.0.0.1");
  EXPECT_EQ(client_.LastReply().ByteCount, 20 + 52);
  client_.Ping();
  client_.Ping("", 7);
  EXPECT_EQ(client_.NextSequence(), 8);
  client_.Ping("", 65535);
  EXPECT_EQ(client_.NextSequence(), 0);
  client_.Ping();
  EXPECT_EQ(seen, (std::vector<std::uint16_t>{3489, 3490, 7, 65535, 0}));
  EXPECT_FALSE(client_.SocketHandle().SocketOpen()) << "each exchange closes its socket";
}

TEST_F(IcmpLoopback, LocalhostInAnyCaseIsLoopback) {
  client_.SetHost("LocalHost");
  client_.Ping("hello");
  EXPECT_EQ(client_.LastReply().Status, TReplyStatusKind::rkEchoReply);
  EXPECT_EQ(client_.LastReply().SourceAddress, "127.0.0.1");
}

}  // namespace
}  // namespace trolvane
