#include "net/icmp_client.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/net_exceptions.h"
#include "net/raw_headers.h"
#include "platform/checksum.h"
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

constexpr char kPinged[] = "198.18.0.7";
const std::uint32_t kPingedAddress = os::HToNl(0xC6120007);  // kPinged

// What the pinged host 198.18.0.7 (TTL 61) sends back for a request with this sequence
// number: an echo message of the type, or an error message of the type from the router
// 198.18.0.9 quoting the request sent to `to`. Checksums are valid.
std::vector<std::uint8_t> Packet(std::uint8_t type, std::uint16_t sequence, std::uint8_t to = 7) {
  const bool echo = type == 0 || type == 8;
  std::vector<std::uint8_t> p(echo ? 20 + 52 : 20 + 8 + 20 + 8, 0);
  p[0] = 0x45;
  p[8] = 61;
  p[12] = 198, p[13] = 18, p[14] = 0, p[15] = echo ? 7 : 9;
  std::uint8_t* icmp = p.data() + 20;
  if (echo) {
    BuildEchoRequest(icmp, OurId(), sequence, 0, "");
  } else {
    std::uint8_t* quote = icmp + 8;
    quote[0] = 0x45, quote[9] = 1;
    quote[16] = 198, quote[17] = 18, quote[18] = 0, quote[19] = to;
    std::uint8_t request[kEchoRequestSize];
    BuildEchoRequest(request, OurId(), sequence, 0, "");
    std::copy_n(request, 8, quote + 20);  // a quote holds the first 8 bytes
  }
  icmp[0] = type;
  icmp[2] = icmp[3] = 0;
  os::PutNetworkWord(icmp + os::kIcmpChecksumAt, os::InternetChecksum(icmp, p.size() - 20));
  return p;
}

bool Decode(TNetIcmpClient& client, const std::vector<std::uint8_t>& packet, TReplyStatus& result) {
  std::copy(packet.begin(), packet.end(), client.ReceiveArea().begin());
  return client.DecodeReply(static_cast<int>(packet.size()), result);
}

TEST(IcmpClient, DecodeReplyFillsTheResultForOurAnswer) {
  struct Case {
    std::uint8_t type;
    TReplyStatusKind kind;
    const char* source;
  };
  const Case cases[] = {{0, TReplyStatusKind::rkEchoReply, kPinged},
                        {8, TReplyStatusKind::rkEchoReply, kPinged},
                        {3, TReplyStatusKind::rkUnreachable, "198.18.0.9"},
                        {11, TReplyStatusKind::rkTtlExpired, "198.18.0.9"}};
  for (const Case& c : cases) {
    TNetIcmpClient client;
    client.NoteRequestSent(kPingedAddress, kFirstSequence);
    TReplyStatus result;
    result.RoundTripMs = 77;
    auto packet = Packet(c.type, 3489);
    ASSERT_TRUE(Decode(client, packet, result));
    EXPECT_EQ(result.ByteCount, static_cast<std::int32_t>(packet.size()));
    EXPECT_EQ(result.SourceAddress, c.source);
    EXPECT_EQ(result.IcmpType, c.type);
    EXPECT_EQ(result.Sequence, 3489);
    EXPECT_EQ(result.ReplyTtl, 61);
    EXPECT_EQ(result.Status, c.kind);
    EXPECT_EQ(result.RoundTripMs, 77u) << "left to Ping";
  }
}

// Which answers end a wait: only the pinged address's, to a request of this exchange or,
// within a series, of any earlier exchange of the series.
TEST(IcmpClient, DecodeReplyCountsOnlyThePingedAddressAndItsRequests) {
  struct Case {
    const char* name;
    bool series;
    std::vector<std::uint16_t> sent;  // to 198.18.0.7, in this order
    std::vector<std::uint8_t> packet;
    bool counts;
  };
  std::vector<std::uint8_t> from_elsewhere = Packet(0, 3489);
  from_elsewhere[15] = 8;  // 198.18.0.8 answers with our numbers
  const Case cases[] = {
      {"the pinged address answers", false, {3489}, Packet(0, 3489), true},
      {"another address answers", false, {3489}, from_elsewhere, false},
      {"a quote of our request to another address", false, {3489}, Packet(3, 3489, 8), false},
      {"a request of an earlier exchange", false, {3489, 3490}, Packet(0, 3489), false},
      {"a request of the series", true, {3489, 3490, 3491}, Packet(0, 3489), true},
      {"an unreachable for the series", true, {3489, 3490}, Packet(3, 3489), true},
      {"a number the series never sent", true, {3489, 3490}, Packet(0, 3491), false},
      {"the series runs over 65535", true, {65535, 0}, Packet(0, 65535), true},
  };
  for (const Case& c : cases) {
    TNetIcmpClient client;
    if (c.series) client.BeginSeries();
    for (std::uint16_t sequence : c.sent) client.NoteRequestSent(kPingedAddress, sequence);
    TReplyStatus result;
    EXPECT_EQ(Decode(client, c.packet, result), c.counts) << c.name;
  }
}

TEST(IcmpClient, NothingReceivedIsTheTimeOut) {
  TNetIcmpClient client;
  TReplyStatus result;
  ASSERT_TRUE(client.DecodeReply(0, result));
  EXPECT_EQ(result.Status, TReplyStatusKind::rkTimedOut);
  EXPECT_EQ(result.SourceAddress, "0.0.0.0");
  EXPECT_EQ(result.ByteCount, 0);
  EXPECT_EQ(result.IcmpType, 0);
  EXPECT_EQ(result.ReplyTtl, 0);
  EXPECT_EQ(result.Sequence, 3489);
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

  client_.BeginSeries();
  client_.Ping();
  client_.Ping();
  EXPECT_TRUE(client_.SocketHandle().SocketOpen()) << "a series keeps its socket";
}

// "LOCALHOST" in any case, and an address given as a number, need no lookup.
TEST_F(IcmpLoopback, LocalhostInAnyCaseAndANumberAreLoopback) {
  client_.SetHost("LocalHost");
  client_.Ping("hello");
  EXPECT_EQ(client_.LastReply().Status, TReplyStatusKind::rkEchoReply);
  EXPECT_EQ(client_.LastReply().SourceAddress, "127.0.0.1");
  client_.SetHost(os::HToNl(0x7F000001));
  client_.Ping();
  EXPECT_EQ(client_.LastReply().SourceAddress, "127.0.0.1");
  EXPECT_EQ(client_.Host(), "127.0.0.1");
}

}  // namespace
}  // namespace trolvane
