// How one command-line text becomes arguments. Pure: the caller supplies the stepping
// over multibyte characters, so both builds test the rule that Windows applies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trolvane {

using CharStepper = std::size_t (*)(std::string_view text, std::size_t pos);

// The program name first, then every argument up to, not including, the first empty one.
std::vector<std::string> SplitCommandLine(std::string_view line, CharStepper step);

}  // namespace trolvane
