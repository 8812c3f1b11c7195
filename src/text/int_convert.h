// The one integer parser of the program: option values, MAC fields, address octets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trolvane {

// Signed 32-bit decimal, or hexadecimal after "$", "x", "X", "0x" or "0X"; leading
// blanks, one sign. Nothing else is accepted.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// Raises EConvertError "'<text>' は整数ではありません" on failure.
std::int32_t TextToInt(std::string_view text);
std::int32_t TextToIntDef(std::string_view text, std::int32_t default_value);
std::string IntToText(std::int32_t value);

}  // namespace trolvane
