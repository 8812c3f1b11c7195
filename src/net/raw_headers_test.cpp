#include "net/raw_headers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "platform/checksum.h"

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
      EXPECT_EQ(os::InternetChecksum(area.data(), area.size()), 0) << id << " " << tick;
    }
  }
}

constexpr std::uint16_t kOurId = 0x4321;
constexpr std::uint16_t kOurSeq = 3489;
const std::array<std::uint8_t, 4> kHost = {198, 18, 0, 2};
const std::array<std::uint8_t, 4> kRouter = {198, 18, 0, 254};
const std::array<std::uint8_t, 4> kUs = {198, 18, 0, 1};

// An IPv4 header of ihl words, TTL 57, with the protocol and the addresses given.
Bytes Ipv4(std::array<std::uint8_t, 4> source, std::array<std::uint8_t, 4> destination = kUs,
           std::uint8_t protocol = 1, int ihl = 5) {
  Bytes b(static_cast<std::size_t>(ihl) * 4, 0);
  b[0] = static_cast<std::uint8_t>(0x40 | ihl);
  b[8] = 57;
  b[9] = protocol;
  std::copy(source.begin(), source.end(), b.begin() + 12);
  std::copy(destination.begin(), destination.end(), b.begin() + 16);
  return b;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Sets the ICMP checksum of the message that starts at offset.
Bytes Sealed(Bytes b, std::size_t offset) {
  b[offset + 2] = b[offset + 3] = 0;
  os::PutNetworkWord(b.data() + offset + os::kIcmpChecksumAt,
                     os::InternetChecksum(b.data() + offset, b.size() - offset));
  return b;
}

Bytes Echo(std::uint8_t type, std::uint16_t id = kOurId, std::uint16_t seq = kOurSeq) {
  Bytes b(kEchoRequestSize, 0);
  BuildEchoRequest(b.data(), id, seq, 1000, "");
  b[0] = type;
  return Sealed(b, 0);
}

// A datagram from `from` holding an error message of type that quotes the first
// quote_bytes of `quoted` behind a header to `to` of that protocol.
Bytes ErrorQuoting(std::uint8_t type, const Bytes& quoted, std::size_t quote_bytes = 8,
                   std::uint8_t protocol = 1, std::array<std::uint8_t, 4> to = kHost,
                   std::array<std::uint8_t, 4> from = kRouter) {
  Bytes message = {type, 1, 0, 0, 0, 0, 0, 0};
  message = Join(message, Ipv4(kUs, to, protocol));
  message.insert(message.end(), quoted.begin(), quoted.begin() + quote_bytes);
  return Join(Ipv4(from), Sealed(message, 0));
}

// A UDP header from port 0x4321 (our identifier) to port 3489 (our sequence number).
const Bytes kUdpHeaderLikeOurs = {0x21, 0x43, 0xA1, 0x0D, 0, 8, 0, 0};

TEST(ExamineReply, TakesOnlyIntactAnswersThatCarryOurRequest) {
  using K = TReplyStatusKind;
  Bytes broken = Join(Ipv4(kHost), Echo(0));
  broken[30] ^= 1;
  struct Case {
    const char* name;
    Bytes packet;
    bool ours;
    K kind;
    std::array<std::uint8_t, 4> target;
  } const cases[] = {
      {"echo reply", Join(Ipv4(kHost), Echo(0)), true, K::rkEchoReply, kHost},
      {"our request, reflected", Join(Ipv4(kHost), Echo(8)), true, K::rkEchoReply, kHost},
      {"header with options", Join(Ipv4(kHost, kUs, 1, 7), Echo(0)), true, K::rkEchoReply, kHost},
      {"unreachable", ErrorQuoting(3, Echo(8)), true, K::rkUnreachable, kHost},
      {"time exceeded", ErrorQuoting(11, Echo(8)), true, K::rkTtlExpired, kHost},
      {"quote to another address", ErrorQuoting(3, Echo(8), 8, 1, kRouter), true, K::rkUnreachable,
       kRouter},
      {"broken checksum", broken, false, K::rkError, {}},
      {"another identifier", Join(Ipv4(kHost), Echo(0, kOurId + 1)), false, K::rkError, {}},
      {"quotes another identifier", ErrorQuoting(3, Echo(8, 1)), false, K::rkError, {}},
      {"quotes a UDP header", ErrorQuoting(3, kUdpHeaderLikeOurs, 8, 17), false, K::rkError, {}},
      {"quotes our bytes under another protocol",
       ErrorQuoting(3, Echo(8), 8, 17),
       false,
       K::rkError,
       {}},
      {"quotes an echo reply", ErrorQuoting(3, Echo(0)), false, K::rkError, {}},
      {"quote cut short", ErrorQuoting(3, Echo(8), 7), false, K::rkError, {}},
      {"redirect", ErrorQuoting(5, Echo(8)), false, K::rkError, {}},
      {"timestamp request",
       Join(Ipv4(kHost),
            Sealed(Bytes{13, 0, 0, 0, 0x21, 0x43, 0xA1, 0x0D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   0)),
       false,
       K::rkError,
       {}},
      {"shorter than header plus 8",
       Join(Ipv4(kHost), Bytes{0xFF, 0xFF, 0, 0, 0x21, 0x43, 0xA1}),
       false,
       K::rkError,
       {}},
      {"header length under 20",
       Bytes{0x40, 0x7f, 0, 0, 0x21, 0x43, 0xA1, 0x0D},
       false,
       K::rkError,
       {}},
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, kIcmpAreaSize> area{};
    std::copy(c.packet.begin(), c.packet.end(), area.begin());
    PacketView view = ExamineReply(area.data(), static_cast<int>(c.packet.size()), kOurId);
    EXPECT_EQ(view.ours, c.ours) << c.name;
    if (!c.ours) continue;
    EXPECT_EQ(view.kind, c.kind) << c.name;
    EXPECT_EQ(view.type, c.packet[(c.packet[0] & 0x0F) * 4u]) << c.name;
    EXPECT_EQ(view.sequence, kOurSeq) << c.name;
    EXPECT_EQ(view.ttl, 57) << c.name;
    EXPECT_EQ(std::memcmp(&view.target, c.target.data(), 4), 0) << c.name;
    EXPECT_EQ(view.source, c.kind == K::rkEchoReply ? kHost : kRouter) << c.name;
  }
}

TEST(ExamineReply, ShortQuoteIgnoresWhatAnEarlierPacketLeft) {
  std::array<std::uint8_t, kIcmpAreaSize> area{};
  Bytes full = ErrorQuoting(3, Echo(8));
  std::copy(full.begin(), full.end(), area.begin());
  Bytes cut = ErrorQuoting(3, Echo(8, 1, 1), 4);
  std::copy(cut.begin(), cut.end(), area.begin());
  EXPECT_FALSE(ExamineReply(area.data(), static_cast<int>(cut.size()), kOurId).ours);
}

}  // namespace
}  // namespace trolvane
