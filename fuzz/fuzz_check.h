// What every fuzz target shares: a check that stops the run with the failing input kept,
// and small readers that take typed values off the front of the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Aborts, so that libFuzzer saves the input as a crash artifact.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace trolvane::fuzz {

// The input as text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Takes one byte off the front (0 when the input is used up).
inline std::uint8_t TakeByte(std::string_view& input) {
  if (input.empty()) return 0;
  auto b = static_cast<std::uint8_t>(input.front());
  input.remove_prefix(1);
  return b;
}

// Code page 932 stepping: a lead byte (0x81..0x9F, 0xE0..0xFC) takes the next byte along.
inline std::size_t Cp932Step(std::string_view text, std::size_t pos) {
  auto b = static_cast<unsigned char>(text[pos]);
  bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return lead && pos + 1 < text.size() ? 2 : 1;
}

inline std::size_t ByteStep(std::string_view, std::size_t) { return 1; }

}  // namespace trolvane::fuzz
