// The directed broadcast address of a host's subnet, derived from the host text and a
// mask-bit count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trolvane {

// The host with all host bits set; the bit count is taken modulo 32. Raises
// EArgsException unless the host has four "." fields each from 0 to 255 (a field outside
// would carry into the address of another network), EConvertError for the first field
// that is no integer.
std::string DirectedBroadcast(std::string_view host, std::int32_t mask_bits);

// True when the host has four integer fields and one of them lies outside 0..255.
bool HasFieldOutOfRange(std::string_view host);

}  // namespace trolvane
