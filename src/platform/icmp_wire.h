// The layout of ICMP over IPv4 on the wire: header sizes, message types and the byte order
// of their fields, in one place for every layer that writes or reads such a message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os {

inline constexpr std::size_t kIpv4HeaderSize = 20;  // without options
inline constexpr std::uint8_t kIpProtocolIcmp = 1;
inline constexpr std::size_t kIcmpHeaderSize = 8;

inline constexpr std::uint8_t kIcmpEchoReply = 0;
inline constexpr std::uint8_t kIcmpDestUnreachable = 3;
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
