// What the command line sets for one run, for one host and for a list alike, with the
// defaults of a run that sets nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wake/destinations.h"

namespace trolvane {

inline constexpr std::int32_t kDefaultPingTimeout = 60000;

struct RunSettings {
  std::string port_text = "7";
  // A list's lines that give none take these.
  std::int32_t mask_bits = kNoMaskBits;
  std::int32_t ping_timeout = kDefaultPingTimeout;
  // "/c": the TCP ports that confirm a host besides the echo requests.
  std::vector<std::uint16_t> probe_ports;
  // "/v": whether an answer confirms only when the neighbour table gives it the woken MAC.
  bool mac_check = true;
  // "/r": how many times each packet goes at most, a second apart, until its host answers.
  int send_count = 1;
};

}  // namespace trolvane
