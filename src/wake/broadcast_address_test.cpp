#include <gtest/gtest.h>

#include "text/exception.h"
#include "text/messages.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

std::string Broadcast(const char* host, std::int32_t mask_bits) {
  TMagicPacket job(nullptr);
  job.SetHostAddress(host);
  job.SetMaskBits(mask_bits);
  return job.GetBroadcastAddress();
}

TEST(GetBroadcastAddress, SetsTheHostBitsIn32BitArithmetic) {
  struct Case {
    const char* host;
    std::int32_t mask_bits;
    const char* broadcast;
  } const cases[] = {
      {"192.168.0.25", 24, "192.168.0.255"},
      {"192.168.0.25", 16, "192.168.255.255"},
      {"192.168.0.25", 8, "192.255.255.255"},
      {"192.168.0.130", 25, "192.168.0.255"},
      {"192.168.0.25", 31, "192.168.0.25"},
      {"192.168.0.24", 31, "192.168.0.25"},
      {"192.168.0.25", 0, "255.255.255.255"},
      {"192.168.0.25", 32, "192.168.0.25"},
      {"0xC0.0xA8.0.25", 24, "192.168.0.255"},
      {"198.18.0100.5", 24, "198.18.64.255"},  // the subnet of 198.18.64.5, where the packet goes
      {"198.18.0.255", 24, "198.18.0.255"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Broadcast(c.host, c.mask_bits), c.broadcast) << c.host << " /" << c.mask_bits;
  }
}

// A field outside 0..255 would carry into the broadcast address of another network, and
// bits taken modulo 32 would name another network too.
TEST(GetBroadcastAddress, RejectsWhatNamesNoSubnetOfTheHost) {
  const struct {
    const char* host;
    std::int32_t bits;
    const char* message;
  } cases[] = {
      {"1.2.3", 24, msg::kBadHostAddress},        {"1.2.3.4.5", 24, msg::kBadHostAddress},
      {"pc01", 24, msg::kBadHostAddress},         {"", 24, msg::kBadHostAddress},
      {"1.2.3.4.", 24, msg::kBadHostAddress},     {"192.168.0.256", 24, msg::kBadHostAddress},
      {"192.168.-1.5", 24, msg::kBadHostAddress}, {"300.1.2.3", 24, msg::kBadHostAddress},
      {"0.0.0.$100", 24, msg::kBadHostAddress},   {"$C0.XA8.0.25", 24, msg::kBadHostAddress},
      {" 198.18.0.2 ", 24, msg::kBadHostAddress}, {"+1.2.3.4", 24, msg::kBadHostAddress},
      {"192.168.0.25", 33, msg::kBadMaskBits},    {"192.168.0.25", 47, msg::kBadMaskBits},
      {"192.168.0.25", -2, msg::kBadMaskBits},    {"192.168.0.25", INT32_MIN, msg::kBadMaskBits},
  };
  for (const auto& c : cases) {
    try {
      Broadcast(c.host, c.bits);
      ADD_FAILURE() << "accepted: [" << c.host << "] /" << c.bits;
    } catch (const EArgsException& e) {
      EXPECT_EQ(e.Message(), c.message) << c.host << " /" << c.bits;
    }
  }
}

TEST(GetBroadcastAddress, PassesTheConversionErrorOfTheFirstBadField) {
  struct Case {
    const char* host;
    const char* field;
  } const cases[] = {{"a.b.c.d", "a"}, {"1..2.3", ""}, {"1.2.3.4x", "4x"}, {"1.2.$.4", "$"}};
  for (const auto& c : cases) {
    try {
      Broadcast(c.host, 24);
      ADD_FAILURE() << "accepted: [" << c.host << "]";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(c.field) + "' は整数ではありません") << c.host;
    }
  }
}

}  // namespace
}  // namespace trolvane
