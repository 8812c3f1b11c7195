// Where the program's result lines go: standard output in the program, a capture in tests.
#pragma once

#include <functional>
#include <string_view>

namespace trolvane {

// Writes one line; false when the write failed.
using LineWriter = std::function<bool(std::string_view)>;

// Writes one line and raises an error of the general kind when the write failed.
void WriteCheckedLine(const LineWriter& write, std::string_view line);

}  // namespace trolvane
