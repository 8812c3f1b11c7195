#include "text/dotted_quad.h"

#include <cstring>

#include "text/int_convert.h"

namespace trolvane {

std::string DottedQuad(const AddressBytes& bytes) {
  return IntToText(bytes[0]) + "." + IntToText(bytes[1]) + "." + IntToText(bytes[2]) + "." +
         IntToText(bytes[3]);
}

std::string DottedQuad(std::uint32_t network_order) {
  AddressBytes bytes{};
  std::memcpy(bytes.data(), &network_order, bytes.size());
  return DottedQuad(bytes);
}

}  // namespace trolvane
