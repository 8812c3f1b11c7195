#include <windows.h>

#include "platform/text.h"

namespace os {

std::size_t CharLength(std::string_view text, std::size_t pos) {
  // CharNextA needs a terminated text; a lead byte at the very end stands alone.
  char piece[3] = {text[pos], pos + 1 < text.size() ? text[pos + 1] : '\0', '\0'};
  const char* next = ::CharNextA(piece);
  auto n = static_cast<std::size_t>(next - piece);
  return n == 0 ? 1 : n;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
  return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace os
