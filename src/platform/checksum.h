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

// The checksum of a message after one of its 16-bit words changed from old_word to
// new_word (RFC 1624), without the rest of the message: it stays valid for a message that
// was cut short. All three are numbers stored most significant byte first.
std::uint16_t UpdatedChecksum(std::uint16_t checksum, std::uint16_t old_word,
                              std::uint16_t new_word);

}  // namespace os
