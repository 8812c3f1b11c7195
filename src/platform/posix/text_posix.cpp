#include "platform/ascii.h"
#include "platform/text.h"
#include "platform/utf16.h"

namespace os {

// UTF-8: a lead byte and the continuation bytes that follow it.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t n = 1;
  while (n < want && pos + n < text.size() &&
         (static_cast<unsigned char>(text[pos + n]) & 0xC0) == 0x80) {
    ++n;
  }
  return n;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
  return SameAsciiIgnoringCase(a, b);
}

std::string ListTextToNative(std::string text) {
  std::optional<std::string> utf8 = Utf16TextToUtf8(text);
  return utf8 ? std::move(*utf8) : std::move(text);
}

std::string NativeTextToUtf8(std::string_view text) { return std::string(text); }

}  // namespace os
