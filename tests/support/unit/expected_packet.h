// The magic packet of MAC 01-02-03-04-05-06, written out rather than built by the code
// under test, so that a fault in the packet's layout fails the tests that send it.
#pragma once

#include <string>

namespace trolvane::testing {

inline std::string ExpectedPacket() {
  std::string packet = "\xFF\xFF\xFF\xFF\xFF\xFF";
  for (int copy = 0; copy < 16; ++copy) packet += "\x01\x02\x03\x04\x05\x06";
  return packet;
}

// The same as lower-case hexadecimal digits.
inline std::string ExpectedPacketHex() {
  std::string hex = "ffffffffffff";
  for (int copy = 0; copy < 16; ++copy) hex += "010203040506";
  return hex;
}

}  // namespace trolvane::testing
