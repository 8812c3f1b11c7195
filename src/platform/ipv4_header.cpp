#include "platform/ipv4_header.h"

#include <algorithm>
#include <cstring>

namespace os {

void WriteIpv4Header(std::uint8_t* header, std::size_t payload_length, std::uint8_t ttl,
                     std::uint32_t source, std::uint32_t destination) {
  std::memset(header, 0, kIpv4HeaderSize);
  header[0] = kIpv4VersionAndLength;
  PutNetworkWord(header + kIpv4TotalLengthAt, static_cast<std::uint32_t>(std::min<std::size_t>(
                                                  kIpv4HeaderSize + payload_length, 0xFFFF)));
  header[kIpv4TtlAt] = ttl;
  header[kIpv4ProtocolAt] = kIpProtocolIcmp;
  std::memcpy(header + kIpv4SourceAt, &source, 4);
  std::memcpy(header + kIpv4DestinationAt, &destination, 4);
  PutNetworkWord(header + kIpv4ChecksumAt, InternetChecksum(header, kIpv4HeaderSize));
}

}  // namespace os
