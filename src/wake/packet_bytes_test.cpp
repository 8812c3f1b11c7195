#include <gtest/gtest.h>

#include "text/messages.h"
#include "wake/magic_packet.h"

namespace trolvane {
namespace {

MagicPacketBytes Expected(std::array<std::uint8_t, 6> mac) {
  MagicPacketBytes p{};
  for (std::size_t k = 0; k < 6; ++k) p[k] = 0xFF;
  for (std::size_t k = 0; k < 96; ++k) p[6 + k] = mac[k % 6];
  return p;
}

TEST(BuildMagicPacket, LaysOutSixteenCopiesOfTheMac) {
  MagicPacketBytes packet{};
  TMagicPacket::BuildMagicPacket("01-02-03-04-05-06", packet);
  EXPECT_EQ(packet, Expected({1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(packet[96], 1);
  EXPECT_EQ(packet[101], 6);
}

TEST(BuildMagicPacket, ReadsEachFieldAsHexadecimalKeepingTheLowByte) {
  struct Case {
    const char* mac;
    std::array<std::uint8_t, 6> bytes;
  } const cases[] = {
      {"aa-BB-cc-DD-ee-FF", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
      {"1-2-3-4-5-6", {1, 2, 3, 4, 5, 6}},
      {"001-02-03-04-05-06", {1, 2, 3, 4, 5, 6}},
      {"1FF-02-03-04-05-06", {0xFF, 2, 3, 4, 5, 6}},
      {"100-02-03-04-05-06", {0x00, 2, 3, 4, 5, 6}},
      {"FFFFFFFF-02-03-04-05-06", {0xFF, 2, 3, 4, 5, 6}},
      {"01 02 03 04 05 06", {1, 2, 3, 4, 5, 6}},
      {" 01 - 02-03-04-05-06 ", {1, 2, 3, 4, 5, 6}},
      {"01\t02-03-04-05-06", {1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    MagicPacketBytes packet{};
    TMagicPacket::BuildMagicPacket(c.mac, packet);
    EXPECT_EQ(packet, Expected(c.bytes)) << c.mac;
  }
}

TEST(BuildMagicPacket, RejectsAMalformedMacWithOneErrorAndNoPartialPacket) {
  const char* const cases[] = {
      "01:02:03:04:05:06",
      "01-02-03-04-05",
      "01-02-03-04-05-06-07",
      "01-02-03-04-05-06-",
      "01-02-03-04-05-",
      "-01-02-03-04-05",
      "01--02-03-04-05",
      "0x01-02-03-04-05-06",
      "$01-02-03-04-05-06",
      "100000000-02-03-04-05-06",
      "0g-02-03-04-05-06",
      "",
      "   ",
      "+1-02-03-04-05-06",
      "01-02-03-04-05-06x",
  };
  for (const char* mac : cases) {
    MagicPacketBytes packet{};
    packet.fill(0x5A);
    try {
      TMagicPacket::BuildMagicPacket(mac, packet);
      ADD_FAILURE() << "accepted: [" << mac << "]";
    } catch (const EArgsException& e) {
      EXPECT_EQ(e.Message(), std::string(msg::kMacAddressError) + mac);
    }
    MagicPacketBytes untouched{};
    untouched.fill(0x5A);
    EXPECT_EQ(packet, untouched) << mac;
  }
}

}  // namespace
}  // namespace trolvane
