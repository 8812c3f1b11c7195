#include "text/mac_text.h"

namespace trolvane {

std::string MacText(const os::HardwareAddress& mac) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t byte : mac) {
    if (!text.empty()) text += '-';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace trolvane
