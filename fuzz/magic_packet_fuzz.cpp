// The MAC rule. Whatever text it accepts consists of exactly six runs of hexadecimal
// digits, and the packet holds the low byte of each run sixteen times behind six 0xFF;
// whatever it refuses leaves the packet untouched and names the text. Any six bytes
// written as 01-02-... are accepted back unchanged.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "text/int_convert.h"
#include "text/messages.h"
#include "wake/magic_packet.h"

namespace {

using trolvane::MagicPacketBytes;
using trolvane::TMagicPacket;

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::vector<std::string> HexRuns(std::string_view text) {
  std::vector<std::string> runs;
  std::string run;
  for (char c : text.substr(0, text.find('\0'))) {
    if (IsHex(c)) {
      run += c;
    } else if (!run.empty()) {
      runs.push_back(run);
      run.clear();
    }
  }
  if (!run.empty()) runs.push_back(run);
  return runs;
}

void CheckText(std::string_view text) {
  MagicPacketBytes packet;
  packet.fill(0xA5);
  try {
    TMagicPacket::BuildMagicPacket(text, packet);
  } catch (const trolvane::EArgsException& e) {
    FUZZ_CHECK(e.Message() == trolvane::msg::kMacAddressError + std::string(text));
    for (std::uint8_t b : packet) FUZZ_CHECK(b == 0xA5);
    return;
  }
  for (char c : text.substr(0, text.find('\0'))) {
    FUZZ_CHECK(IsHex(c) || c == '-' || (c >= 1 && c <= 32));
  }
  std::vector<std::string> runs = HexRuns(text);
  FUZZ_CHECK(runs.size() == 6);
  for (std::size_t k = 0; k < 6; ++k) FUZZ_CHECK(packet[k] == 0xFF);
  for (std::size_t k = 6; k < packet.size(); ++k) {
    std::string_view run = runs[(k - 6) % 6];
    int low =
        trolvane::ParseInteger("$" + std::string(run.substr(run.size() > 2 ? run.size() - 2 : 0)))
            .value_or(-1);
    FUZZ_CHECK(packet[k] == low);
  }
}

void CheckWritten(const std::uint8_t* bytes) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x-%02X-%02x-%02X-%02x-%02X", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5]);
  MagicPacketBytes packet{};
  TMagicPacket::BuildMagicPacket(text, packet);
  for (std::size_t k = 6; k < packet.size(); ++k) FUZZ_CHECK(packet[k] == bytes[(k - 6) % 6]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckText(trolvane::fuzz::AsText(data, size));
  if (size >= 6) CheckWritten(data);
  return 0;
}
