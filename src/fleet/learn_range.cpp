#include "fleet/learn_range.h"

#include "platform/winsock.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"

namespace trolvane {
namespace {

// A run of one to three decimal digits up to most, taken from the front of text.
std::optional<int> TakeNumber(std::string_view& text, int most) {
  std::size_t digits = 0;
  int value = 0;
  while (digits < text.size() && digits < 3 && text[digits] >= '0' && text[digits] <= '9') {
    value = value * 10 + (text[digits] - '0');
    ++digits;
  }
  if (digits == 0 || value > most) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

std::optional<LearnRange> ParseLearnRange(std::string_view text) {
  std::uint32_t address = 0;
  for (int field = 0; field < 4; ++field) {
    if (field > 0 && !TakeChar(text, '.')) return std::nullopt;
    const std::optional<int> value = TakeNumber(text, 255);
    if (!value) return std::nullopt;
    address = address << 8 | static_cast<std::uint32_t>(*value);
  }
  if (!TakeChar(text, '/')) return std::nullopt;
  const std::optional<int> bits = TakeNumber(text, kLearnBitsMost);
  if (!bits || *bits < kLearnBitsLeast || !text.empty()) return std::nullopt;
  return LearnRange{address & ~(std::uint32_t{0xFFFFFFFF} >> *bits), *bits};
}

std::string LearnRangeText(const LearnRange& range) {
  return DottedQuad(os::HToNl(range.network)) + "/" + IntToText(range.bits);
}

}  // namespace trolvane
