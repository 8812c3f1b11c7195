#include "net/raw_headers.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace trolvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(EchoRequest, MatchesTheWorkedExample) {
  std::array<std::uint8_t, kEchoRequestSize> area{};
  BuildEchoRequest(area.data(), 0x1234, 3489, 123456, "");
  const Bytes head = {0x08, 0x00, 0x8C, 0xA9, 0x34, 0x12, 0xA1, 0x0D, 0x40, 0xE2, 0x01, 0x00};
  EXPECT_EQ(Bytes(area.begin(), area.begin() + 12), head);
  EXPECT_EQ(Bytes(area.begin() + 12, area.begin() + 20), Bytes(8, 0));
  EXPECT_EQ(Bytes(area.begin() + 20, area.end()), Bytes(32, 0x45));
}

TEST(EchoRequest, PayloadIsTheTextCutOrPaddedTo32Bytes) {
  struct Case {
    std::string payload;
    std::string expected;
  };
  const Case cases[] = {
      {"", std::string(32, 'E')},
      {"hello", "hello" + std::string(27, 'E')},
      {std::string(40, 'x'), std::string(32, 'x')},
      {std::string("a\0b", 3), std::string("a\0b", 3) + std::string(29, 'E')},
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, kEchoRequestSize + 4> area;
    area.fill(0xCC);
    BuildEchoRequest(area.data(), 7, 8, 9, c.payload);
    EXPECT_EQ(std::string(area.begin() + 20, area.begin() + kEchoRequestSize), c.expected);
    EXPECT_EQ(area[kEchoRequestSize], 0xCC) << "wrote past the request";
  }
}

TEST(EchoRequest, ChecksumOfEveryRequestVerifies) {
  const std::uint16_t ids[] = {0, 1, 0x1234, 0xFFFF};
  const std::uint32_t ticks[] = {0, 123456, 0xFFFFFFFF};
  for (std::uint16_t id : ids) {
    for (std::uint32_t tick : ticks) {
      std::array<std::uint8_t, kEchoRequestSize> area{};
      BuildEchoRequest(area.data(), id, static_cast<std::uint16_t>(tick), tick, "abc");
      // With the checksum in place the complemented sum is zero.
      EXPECT_EQ(ComputeChecksum(area.data(), kEchoRequestSize), 0) << id << " " << tick;
    }
  }
}

TEST(TickDiff, HandlesOneWrapOfTheCounter) {
  EXPECT_EQ(TickDiff(100, 350), 250u);
  EXPECT_EQ(TickDiff(0xFFFFFF00u, 0x10u), 0x110u);
  EXPECT_EQ(TickDiff(5, 5), 0u);
}

TEST(RemainingWait, NeverWrapsIntoALongerWait) {
  EXPECT_EQ(RemainingWait(1000, 400), 600);
  EXPECT_EQ(RemainingWait(1000, 1000), 0);
  EXPECT_EQ(RemainingWait(1000, 0xFFFFFFFFu), 0);
  EXPECT_EQ(RemainingWait(-2, 0), 0);
  EXPECT_EQ(RemainingWait(INT32_MIN, 5), 0);
  EXPECT_EQ(RemainingWait(INT32_MAX, 0), INT32_MAX);
}

constexpr std::uint16_t kOurId = 0x4321;
constexpr std::uint16_t kOurSeq = 3489;

// An IPv4 header of ihl words from source, TTL 57, protocol ICMP.
Bytes Ipv4(std::array<std::uint8_t, 4> source, int ihl = 5) {
  Bytes b(static_cast<std::size_t>(ihl) * 4, 0);
  b[0] = static_cast<std::uint8_t>(0x40 | ihl);
  b[8] = 57;
  b[9] = 1;
  std::copy(source.begin(), source.end(), b.begin() + 12);
  return b;
}

Bytes Echo(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
  Bytes b(kEchoRequestSize, 0);
  BuildEchoRequest(b.data(), id, seq, 1000, "");
  b[0] = type;
  return b;
}

// An error message of type quoting the first quote_bytes of a request.
Bytes ErrorQuoting(std::uint8_t type, std::uint16_t id, std::uint16_t seq,
                   std::size_t quote_bytes = 8) {
  Bytes b = {type, 1, 0, 0, 0, 0, 0, 0};
  Bytes quoted = Ipv4({198, 18, 0, 1});
  Bytes request = Echo(kIcmpEchoRequest, id, seq);
  quoted.insert(quoted.end(), request.begin(), request.begin() + quote_bytes);
  b.insert(b.end(), quoted.begin(), quoted.end());
  return b;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct ExamineCase {
  const char* name;
  Bytes packet;
  PacketVerdict verdict;
  TReplyStatusKind kind;
  std::uint8_t type;
};

TEST(ExamineReply, ClassifiesHandMadePackets) {
  using K = TReplyStatusKind;
  using V = PacketVerdict;
  const std::array<std::uint8_t, 4> host = {198, 18, 0, 2};
  const ExamineCase cases[] = {
      {"echo reply", Join(Ipv4(host), Echo(0, kOurId, kOurSeq)), V::kOurs, K::rkEchoReply, 0},
      {"echo request", Join(Ipv4(host), Echo(8, kOurId, kOurSeq)), V::kOurs, K::rkEchoReply, 8},
      {"header with options", Join(Ipv4(host, 7), Echo(0, kOurId, kOurSeq)), V::kOurs,
       K::rkEchoReply, 0},
      {"unreachable", Join(Ipv4(host), ErrorQuoting(3, kOurId, kOurSeq)), V::kOurs,
       K::rkUnreachable, 3},
      {"time exceeded", Join(Ipv4(host), ErrorQuoting(11, kOurId, kOurSeq)), V::kOurs,
       K::rkTtlExpired, 11},
      {"another sequence", Join(Ipv4(host), Echo(0, kOurId, kOurSeq + 1)), V::kForeign,
       K::rkEchoReply, 0},
      {"another identifier", Join(Ipv4(host), Echo(0, kOurId + 1, kOurSeq)), V::kForeign,
       K::rkEchoReply, 0},
      {"quotes another identifier", Join(Ipv4(host), ErrorQuoting(3, 1, kOurSeq)), V::kForeign,
       K::rkUnreachable, 3},
      {"quotes another sequence", Join(Ipv4(host), ErrorQuoting(11, kOurId, 1)), V::kForeign,
       K::rkTtlExpired, 11},
      {"short quote", Join(Ipv4(host), ErrorQuoting(3, kOurId, kOurSeq, 7)), V::kForeign,
       K::rkUnreachable, 3},
      {"type 5", Join(Ipv4(host), ErrorQuoting(5, kOurId, kOurSeq)), V::kNotEcho, K::rkError, 5},
      {"shorter than header plus 8", Join(Ipv4(host), Bytes{0, 0, 0, 0, 0x21, 0x43, 0xA1}),
       V::kTooShort, K::rkError, 0},
      // Header length 0: an echo reply with our numbers, but no header to read TTL and
      // source from within the 8 bytes received.
      {"header length under 20", Bytes{0, 0x7f, 0, 0, 0x21, 0x43, 0xA1, 0x0D}, V::kForeign,
       K::rkError, 0},
  };
  for (const ExamineCase& c : cases) {
    std::array<std::uint8_t, kIcmpAreaSize> area{};
    std::copy(c.packet.begin(), c.packet.end(), area.begin());
    PacketView view = ExamineReply(area.data(), static_cast<int>(c.packet.size()), kOurId, kOurSeq);
    EXPECT_EQ(view.verdict, c.verdict) << c.name;
    EXPECT_EQ(view.kind, c.kind) << c.name;
    EXPECT_EQ(view.type, c.type) << c.name;
    if (c.verdict == V::kOurs) {
      EXPECT_EQ(view.sequence, kOurSeq) << c.name;
      EXPECT_EQ(view.ttl, 57) << c.name;
      EXPECT_EQ(Bytes(view.source, view.source + 4), Bytes(host.begin(), host.end())) << c.name;
    }
  }
}

TEST(ExamineReply, ShortQuoteIgnoresWhatAnEarlierPacketLeft) {
  std::array<std::uint8_t, kIcmpAreaSize> area{};
  Bytes full = Join(Ipv4({198, 18, 0, 9}), ErrorQuoting(3, kOurId, kOurSeq));
  std::copy(full.begin(), full.end(), area.begin());
  Bytes cut = Join(Ipv4({198, 18, 0, 9}), ErrorQuoting(3, 1, 1, 4));
  std::copy(cut.begin(), cut.end(), area.begin());
  PacketView view = ExamineReply(area.data(), static_cast<int>(cut.size()), kOurId, kOurSeq);
  EXPECT_EQ(view.verdict, PacketVerdict::kForeign);
}

}  // namespace
}  // namespace trolvane
