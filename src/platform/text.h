// Character stepping and locale comparison of the platform's ANSI code page
// (code page 932 on Windows, UTF-8 natively).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace os {

// Length in bytes of the character starting at pos (at least 1; pos < text.size()).
std::size_t CharLength(std::string_view text, std::size_t pos);

// Case-insensitive equality as the platform's locale comparison sees it.
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

// A text file as the program's own texts are written: on Windows a file that is valid
// UTF-8 (as Notepad saves it, with or without a byte order mark) or UTF-16 with a byte
// order mark (Notepad's "Unicode") is converted to the ANSI code page and any other is
// taken as ANSI text already; natively UTF-16 becomes UTF-8 and anything else is kept.
std::string ListTextToNative(std::string text);

// The program's own text (the ANSI code page) as UTF-8, for what every platform reads as
// UTF-8 (JSON); natively the text as it is.
std::string NativeTextToUtf8(std::string_view text);

}  // namespace os
