#include "text/int_convert.h"

#include "text/exception.h"
#include "text/messages.h"

namespace trolvane {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::int32_t> ParseHex(std::string_view digits, bool negative) {
  std::uint32_t value = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0 || value > 0x0FFFFFFFu) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal(std::string_view digits, bool negative) {
  std::uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || value > 214748364u) return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (!negative) {
    if (value > 2147483647u) return std::nullopt;
    return static_cast<std::int32_t>(value);
  }
  if (value > 2147483648u) return std::nullopt;
  return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string_view rest = text.substr(i);
  bool hex = false;
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    hex = true;
    rest.remove_prefix(1);
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    hex = true;
    rest.remove_prefix(2);
  }
  if (rest.empty()) return std::nullopt;
  return hex ? ParseHex(rest, negative) : ParseDecimal(rest, negative);
}

std::int32_t TextToInt(std::string_view text) {
  if (auto value = ParseInteger(text)) return *value;
  std::string message = msg::kNotInteger;
  message.replace(message.find("%s"), 2, text);
  throw EConvertError(message);
}

std::int32_t TextToIntDef(std::string_view text, std::int32_t default_value) {
  return ParseInteger(text).value_or(default_value);
}

std::string IntToText(std::int32_t value) { return std::to_string(value); }

}  // namespace trolvane
