#include "platform/checksum.h"

namespace os {
namespace {

std::uint16_t Folded(std::uint32_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(sum);
}

}  // namespace

std::uint16_t InternetChecksum(const std::uint8_t* bytes, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  }
  if (length % 2 != 0) sum += static_cast<std::uint32_t>(bytes[length - 1]) << 8;
  return static_cast<std::uint16_t>(~Folded(sum));
}

std::uint16_t UpdatedChecksum(std::uint16_t checksum, std::uint16_t old_word,
                              std::uint16_t new_word) {
  const std::uint32_t sum = static_cast<std::uint16_t>(~checksum) +
                            static_cast<std::uint32_t>(static_cast<std::uint16_t>(~old_word)) +
                            new_word;
  return static_cast<std::uint16_t>(~Folded(sum));
}

}  // namespace os
