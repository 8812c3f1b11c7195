#include <windows.h>

#include "platform/text.h"
#include "platform/utf16.h"

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

std::string ListTextToNative(std::string text) {
  if (std::optional<std::string> converted = Utf16TextToUtf8(text)) text = std::move(*converted);
  std::string_view utf8 = text;
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  if (utf8.empty()) return std::string(utf8);
  const int size = static_cast<int>(utf8.size());
  const int wide_length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (wide_length <= 0) return text;  // not UTF-8: ANSI text already
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), wide_length);
  const int length =
      ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

std::string NativeTextToUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int wide_length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (wide_length <= 0) return std::string(text);
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wide_length);
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, utf8.data(), length, nullptr,
                        nullptr);
  return utf8;
}

}  // namespace os
