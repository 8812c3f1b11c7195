// A hardware address as the program writes it: six upper-case hexadecimal pairs joined by
// "-" ("00-1A-2B-3C-4D-5E"), which the /m option and a host list read back.
#pragma once

#include <string>

#include "platform/neighbours.h"

namespace trolvane {

std::string MacText(const os::HardwareAddress& mac);

}  // namespace trolvane
