// The text of "/c", the ports to attempt: numbers 1 to 65535 or service names, separated by ",".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace trolvane {

inline constexpr std::size_t kMostProbePorts = 8;

// The ports in the order given, each once; nothing when the text is no such list (an
// empty item, a number out of range, a name that is no service, more than 8 items).
std::optional<std::vector<std::uint16_t>> ParsePortList(std::string_view text);

}  // namespace trolvane
