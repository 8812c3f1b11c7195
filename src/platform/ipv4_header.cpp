#include "platform/ipv4_header.h"

#include <algorithm>
#include <cstring>

namespace os {

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
