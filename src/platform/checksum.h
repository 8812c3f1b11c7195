// The Internet checksum (RFC 1071), the one sum of every layer that writes or checks an
// ICMP message or an IPv4 header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os {

// The checksum of the bytes (an odd last byte padded with zero), as a number to be stored
// most significant byte first. Over a message that holds its checksum it gives 0 when the
// checksum verifies.
std::uint16_t InternetChecksum(const std::uint8_t* bytes, std::size_t length);

}  // namespace os
