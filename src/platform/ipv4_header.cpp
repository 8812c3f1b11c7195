#include "platform/ipv4_header.h"

#include <algorithm>
#include <cstring>

namespace os {

void PutNetworkWord(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value >> 8);
  p[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t InternetChecksum(const std::uint8_t* bytes, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) sum += (bytes[i] << 8) | bytes[i + 1];
  if (length % 2 != 0) sum += static_cast<std::uint32_t>(bytes[length - 1]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

void WriteIpv4Header(std::uint8_t* header, std::size_t payload_length, std::uint8_t ttl,
                     std::uint32_t source, std::uint32_t destination) {
  std::memset(header, 0, kIpv4HeaderSize);
  header[0] = 0x45;
  PutNetworkWord(header + 2, static_cast<std::uint32_t>(
                                 std::min<std::size_t>(kIpv4HeaderSize + payload_length, 0xFFFF)));
  header[8] = ttl;
  header[9] = kIpProtocolIcmp;
  std::memcpy(header + 12, &source, 4);
  std::memcpy(header + 16, &destination, 4);
  PutNetworkWord(header + 10, InternetChecksum(header, kIpv4HeaderSize));
}

}  // namespace os
