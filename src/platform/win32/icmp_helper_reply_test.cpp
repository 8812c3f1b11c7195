#include "platform/win32/icmp_helper_reply.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/ipv4_header.h"

namespace os::win32 {
namespace {

constexpr std::uint32_t kTarget = 0x020012C6;  // 198.18.0.2, network order
constexpr std::uint32_t kRouter = 0x010012C6;  // 198.18.0.1

// An echo request as the code above sends it: identifier 0x1234, sequence 3489.
std::array<std::uint8_t, 52> Request() {
  std::array<std::uint8_t, 52> r{8, 0, 0, 0, 0x34, 0x12, 0xA1, 0x0D, 0x40, 0xE2, 0x01, 0x00};
  for (std::size_t i = 20; i < r.size(); ++i) r[i] = 'E';
  PutNetworkWord(r.data() + 2, InternetChecksum(r.data(), r.size()));
  return r;
}

std::uint32_t Address(const std::uint8_t* p) {
  std::uint32_t a = 0;
  std::memcpy(&a, p, 4);
  return a;
}

// A valid IPv4 header for an ICMP payload of that many bytes.
void ExpectHeader(const std::uint8_t* h, std::size_t payload, std::uint8_t ttl,
                  std::uint32_t source) {
  EXPECT_EQ(h[0], 0x45);
  EXPECT_EQ((h[2] << 8) | h[3], static_cast<int>(kIpv4HeaderSize + payload));
  EXPECT_EQ(h[8], ttl);
  EXPECT_EQ(h[9], 1);
  EXPECT_EQ(Address(h + 12), source);
  EXPECT_EQ(InternetChecksum(h, kIpv4HeaderSize), 0) << "header checksum";
}

TEST(IcmpHelperReply, EchoReplyCarriesTheRequestsNumbersAndTheEchoedData) {
  const auto request = Request();
  std::array<std::uint8_t, 44> echoed{};
  std::memcpy(echoed.data(), request.data() + 8, echoed.size());
  ICMP_ECHO_REPLY reply{};
  reply.Address = kTarget;
  reply.DataSize = echoed.size();
  reply.Data = echoed.data();
  reply.Options.Ttl = 64;

  auto d = RawDatagramFor(IP_SUCCESS, reply, {request, kTarget, 128});
  ASSERT_EQ(d.size(), 20u + 52u);
  ExpectHeader(d.data(), 52, 64, kTarget);
  const std::uint8_t* icmp = d.data() + 20;
  EXPECT_EQ(icmp[0], 0);
  EXPECT_EQ(icmp[1], 0);
  EXPECT_EQ(0, std::memcmp(icmp + 4, request.data() + 4, 4)) << "identifier and sequence";
  EXPECT_EQ(0, std::memcmp(icmp + 8, echoed.data(), echoed.size()));
  EXPECT_EQ(InternetChecksum(icmp, 52), 0) << "ICMP checksum";
}

// Each error comes from the address that reported it and quotes our request to the
// target: an IPv4 header and at least the request's ICMP header.
TEST(IcmpHelperReply, ErrorsQuoteTheRequestBehindItsHeader) {
  struct Case {
    ULONG status;
    std::uint8_t type;
    std::uint8_t code;
  } const cases[] = {
      {IP_DEST_NET_UNREACHABLE, 3, 0},  {IP_DEST_HOST_UNREACHABLE, 3, 1},
      {IP_DEST_PORT_UNREACHABLE, 3, 3}, {IP_TTL_EXPIRED_TRANSIT, 11, 0},
      {IP_TTL_EXPIRED_REASSEM, 11, 1},
  };
  const auto request = Request();
  for (const Case& c : cases) {
    ICMP_ECHO_REPLY reply{};
    reply.Address = kRouter;
    reply.Options.Ttl = 63;
    auto d = RawDatagramFor(c.status, reply, {request, kTarget, 128});
    ASSERT_GE(d.size(), 20u + 8u + 20u + 8u) << c.status;
    const std::size_t icmp_size = d.size() - 20;
    ExpectHeader(d.data(), icmp_size, 63, kRouter);
    const std::uint8_t* icmp = d.data() + 20;
    EXPECT_EQ(icmp[0], c.type) << c.status;
    EXPECT_EQ(icmp[1], c.code) << c.status;
    EXPECT_EQ(InternetChecksum(icmp, icmp_size), 0) << c.status;
    const std::uint8_t* quoted = icmp + 8;
    EXPECT_EQ(quoted[0], 0x45) << c.status;
    EXPECT_EQ(quoted[9], 1) << c.status;
    EXPECT_EQ(Address(quoted + 16), kTarget) << c.status;
    EXPECT_EQ(0, std::memcmp(quoted + 20, request.data(), 8)) << c.status;
  }
}

TEST(IcmpHelperReply, NoMessageStandsBehindATimeOutOrALocalFailure) {
  const auto request = Request();
  ICMP_ECHO_REPLY reply{};
  for (ULONG status : {IP_REQ_TIMED_OUT, IP_GENERAL_FAILURE, IP_NO_RESOURCES}) {
    EXPECT_TRUE(RawDatagramFor(status, reply, {request, kTarget, 128}).empty()) << status;
  }
}

}  // namespace
}  // namespace os::win32
