// The IPv4 header in front of every datagram that a raw ICMP socket hands up, for the
// platform layers that stand in for such a socket where the system refuses one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os {

inline constexpr std::size_t kIpv4HeaderSize = 20;
inline constexpr std::uint8_t kIpProtocolIcmp = 1;

// The Internet checksum (RFC 1071) of the bytes, as a number to be stored most
// significant byte first.
std::uint16_t InternetChecksum(const std::uint8_t* bytes, std::size_t length);

// Writes a 20-byte header for an ICMP payload of that length: no options, no
// fragmentation, a valid checksum. Addresses are in network order.
void WriteIpv4Header(std::uint8_t* header, std::size_t payload_length, std::uint8_t ttl,
                     std::uint32_t source, std::uint32_t destination);

// Stores a 16-bit value most significant byte first.
void PutNetworkWord(std::uint8_t* p, std::uint32_t value);

}  // namespace os
