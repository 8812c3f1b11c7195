#include "platform/win32/icmp_helper_reply.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/ipv4_header.h"

namespace os::win32 {
namespace {

constexpr std::uint32_t kTarget = 0x020012C6;  // 198.18.0.2, network order
constexpr std::uint32_t kRouter = 0x010012C6;  // 198.18.0.1

std::uint32_t Address(const std::uint8_t* p) {
  std::uint32_t a = 0;
  std::memcpy(&a, p, 4);
  return a;
}

// Each outcome as a raw socket hands it up: an intact IPv4 header from the answering or
// reporting address, an intact ICMP message carrying the request's identifier and
// sequence number, in the reply itself or in the request that an error quotes (an IPv4
// header to the target, then the request's ICMP header).
TEST(IcmpHelperReply, OutcomesComeUpAsTheirIcmpMessages) {
  struct Case {
    ULONG status;
    int type;  // -1: nothing comes up
    int code;
  } const cases[] = {
      {IP_SUCCESS, 0, 0},
      {IP_DEST_NET_UNREACHABLE, 3, 0},
      {IP_DEST_HOST_UNREACHABLE, 3, 1},
      {IP_TTL_EXPIRED_TRANSIT, 11, 0},
      {IP_REQ_TIMED_OUT, -1, 0},
      {IP_GENERAL_FAILURE, -1, 0},
  };
  // Identifier 0x1234, sequence 3489, as the code above sends them.
  std::array<std::uint8_t, 52> request{8, 0, 0, 0, 0x34, 0x12, 0xA1, 0x0D, 0x40, 0xE2, 0x01};
  request.back() = 'E';
  PutNetworkWord(request.data() + 2, InternetChecksum(request.data(), request.size()));
  ICMP_ECHO_REPLY reply{};
  reply.Address = kRouter;
  reply.Options.Ttl = 63;
  reply.Data = request.data() + 8;  // the echoed data
  reply.DataSize = 44;

  for (const Case& c : cases) {
    auto d = RawDatagramFor(c.status, reply, {request, kTarget, 128});
    if (c.type < 0) {
      EXPECT_TRUE(d.empty()) << c.status;
      continue;
    }
    ASSERT_GE(d.size(), 20u + 8u + 44u) << c.status;
    EXPECT_EQ(d[0], 0x45);
    EXPECT_EQ((d[2] << 8) | d[3], static_cast<int>(d.size())) << c.status;
    EXPECT_EQ(d[8], 63) << c.status;
    EXPECT_EQ(d[9], 1) << c.status;
    EXPECT_EQ(Address(&d[12]), kRouter) << c.status;
    EXPECT_EQ(InternetChecksum(d.data(), 20), 0) << c.status;
    const std::uint8_t* icmp = d.data() + 20;
    EXPECT_EQ(icmp[0], c.type) << c.status;
    EXPECT_EQ(icmp[1], c.code) << c.status;
    EXPECT_EQ(InternetChecksum(icmp, d.size() - 20), 0) << c.status;
    const std::uint8_t* ours = icmp + 4;
    if (c.type == 0) {
      EXPECT_EQ(0, std::memcmp(icmp + 8, request.data() + 8, 44)) << "echoed data";
    } else {
      const std::uint8_t* quoted = icmp + 8;
      EXPECT_EQ(quoted[0], 0x45) << c.status;
      EXPECT_EQ(quoted[9], 1) << c.status;
      EXPECT_EQ(Address(quoted + 16), kTarget) << c.status;
      EXPECT_EQ(quoted[20], 8) << c.status;
      ours = quoted + 24;
    }
    EXPECT_EQ(0, std::memcmp(ours, request.data() + 4, 4)) << c.status;
  }
}

}  // namespace
}  // namespace os::win32
