// The layout of ICMP over IPv4 on the wire: header sizes, message types and the byte order
// of their fields, in one place for every layer that writes or reads such a message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os {

inline constexpr std::size_t kIpv4HeaderSize = 20;  // without options
inline constexpr std::uint8_t kIpProtocolIcmp = 1;
inline constexpr std::size_t kIcmpHeaderSize = 8;

// Where the fields lie, counted from the start of their header.
inline constexpr std::uint8_t kIpv4VersionAndLength = 0x45;  // version 4, 20 bytes
inline constexpr std::size_t kIpv4TotalLengthAt = 2;
inline constexpr std::size_t kIpv4TtlAt = 8;
inline constexpr std::size_t kIpv4ProtocolAt = 9;
inline constexpr std::size_t kIpv4ChecksumAt = 10;
inline constexpr std::size_t kIpv4SourceAt = 12;
inline constexpr std::size_t kIpv4DestinationAt = 16;
inline constexpr std::size_t kIcmpChecksumAt = 2;
inline constexpr std::size_t kIcmpIdentifierAt = 4;
inline constexpr std::size_t kIcmpSequenceAt = 6;  // the next-hop MTU in "fragmentation needed"
inline constexpr std::size_t kEchoTickAt = 8;      // our requests' send time

// The version, and the header's length in bytes, that an IPv4 header's first byte gives.
inline int Ipv4Version(const std::uint8_t* header) { return header[0] >> 4; }
inline int Ipv4HeaderLength(const std::uint8_t* header) { return (header[0] & 0x0F) * 4; }

inline constexpr std::uint8_t kIcmpEchoReply = 0;
inline constexpr std::uint8_t kIcmpDestUnreachable = 3;
inline constexpr std::uint8_t kIcmpPortUnreachable = 3;  // its code
inline constexpr std::uint8_t kIcmpEchoRequest = 8;
inline constexpr std::uint8_t kIcmpTimeExceeded = 11;

// A 16-bit field stored most significant byte first.
inline std::uint16_t NetworkWord(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
inline void PutNetworkWord(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value >> 8);
  p[1] = static_cast<std::uint8_t>(value);
}

// The echo request's own numbers (identifier, sequence, tick) are stored least
// significant byte first, as the client has always written them.
inline std::uint16_t LittleWord(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline void PutLittleWord(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace os
