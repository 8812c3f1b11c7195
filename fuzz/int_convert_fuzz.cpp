// The integer parser against the laws that follow from its rule: whatever it accepts,
// both raising and defaulting forms agree, leading blanks change nothing, a trailing
// character always fails, and every value it gives writes back to the same value.
#include <string>

#include "fuzz_check.h"
#include "text/exception.h"
#include "text/int_convert.h"

using trolvane::fuzz::AsText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = AsText(data, size);
  std::optional<std::int32_t> parsed = trolvane::ParseInteger(text);

  try {
    std::int32_t value = trolvane::TextToInt(text);
    FUZZ_CHECK(parsed && *parsed == value);
  } catch (const trolvane::EConvertError& e) {
    FUZZ_CHECK(!parsed);
    FUZZ_CHECK(e.Message().find(text) != std::string::npos);
  }
  FUZZ_CHECK(trolvane::TextToIntDef(text, 7) == parsed.value_or(7));
  FUZZ_CHECK(trolvane::ParseInteger(" " + std::string(text)) == parsed);
  FUZZ_CHECK(!trolvane::ParseInteger(std::string(text) + " "));

  if (parsed) {
    FUZZ_CHECK(trolvane::ParseInteger(trolvane::IntToText(*parsed)) == parsed);
    // Any accepted "$" form means the same under every other hexadecimal prefix.
    std::size_t dollar = text.find('$');
    if (dollar != std::string_view::npos) {
      for (const char* prefix : {"x", "X", "0x", "0X"}) {
        std::string other(text);
        other.replace(dollar, 1, prefix);
        FUZZ_CHECK(trolvane::ParseInteger(other) == parsed);
      }
    }
  }
  return 0;
}
