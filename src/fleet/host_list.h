// The host list of a "/f" run: one host a line, "MAC HOST [BITS]".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/neighbours.h"
#include "wake/destinations.h"

namespace trolvane {

struct ListedHost {
  int line = 0;      // counted from 1
  std::string host;  // as the list gives it
  std::int32_t mask_bits = kNoMaskBits;
  os::HardwareAddress mac{};
};

// Fields are separated by any run of blanks, tabs and commas; the MAC follows the /m rule,
// with "-" or ":" between its fields. Lines end in LF or CR LF; blank lines and lines
// whose first non-blank character is "#" are skipped; a line without bits takes
// default_bits. Raises EArgsException naming the list and the first bad line with the
// reason, or saying that the list holds no host.
std::vector<ListedHost> ParseHostList(std::string_view text, std::string_view list_name,
                                      std::int32_t default_bits);

}  // namespace trolvane
