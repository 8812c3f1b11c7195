// Text files saved as UTF-16 with a byte order mark (Notepad's "Unicode"), read as UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace os {

// The UTF-8 form of a text that opens with a UTF-16 byte order mark (FF FE little-endian,
// FE FF big-endian); nothing when it has no such mark or is not well-formed UTF-16 (an odd
// length, a lone surrogate), which is then taken as it is.
std::optional<std::string> Utf16TextToUtf8(std::string_view bytes);

}  // namespace os
