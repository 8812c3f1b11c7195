// IPv4 addresses as text: four decimal numbers joined by ".", the first byte first.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace trolvane {

using AddressBytes = std::array<std::uint8_t, 4>;  // network order

std::string DottedQuad(const AddressBytes& bytes);
// The same for an address held in a 32-bit word in network order.
std::string DottedQuad(std::uint32_t network_order);

}  // namespace trolvane
