#include "text/dotted_quad.h"

#include "text/int_convert.h"

namespace trolvane {

std::string DottedQuad(const AddressBytes& bytes) {
  return IntToText(bytes[0]) + "." + IntToText(bytes[1]) + "." + IntToText(bytes[2]) + "." +
         IntToText(bytes[3]);
}

}  // namespace trolvane
