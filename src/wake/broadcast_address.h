// The directed broadcast address of a host's subnet, derived from the host text and a
// mask-bit count.
#pragma once

#include <cstdint>
#include <string_view>

namespace trolvane {

// The address (network order) with the host bits of a prefix of 0..32 bits set.
std::uint32_t BroadcastOf(std::uint32_t address, int prefix_bits);

// The address the platform's parser reads in the host text (network order), with its
// host bits set. Raises EArgsException (kBadMaskBits) for bits outside 0..32; EArgsException
// (kBadHostAddress) unless the host has four "." fields that the parser reads as an address;
// EConvertError for the first field that is no integer. address_used, when given, gets the
// address itself.
std::uint32_t DirectedBroadcastOf(std::string_view host, std::int32_t mask_bits,
                                  std::uint32_t* address_used = nullptr);

}  // namespace trolvane
