// The one loop of a run, for one host, a list and a learning sweep alike. Each machine of
// the roster gets a turn at most once a second (its magic packets while wakes are left,
// an echo request, a connection attempt on each port, or a sweep probe), every send at the
// one pace of the pacer, and what comes back is judged as it comes: an answer from a
// machine on an attached link confirms only the lines whose MAC the neighbour table gives
// its address, by a reading taken after the answer came. The wire is its only way to the
// system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "wake/roster.h"
#include "wake/run_settings.h"
#include "wake/wire.h"

namespace trolvane {

struct WaitRules {
  // ms. -2 asks until every machine has answered; 0 and the other values below 0 give each
  // machine one turn and its second. The wait never ends before a second after the last
  // machine's first turn, so that every machine is asked at least once.
  std::int32_t timeout = kDefaultPingTimeout;
  // Turns that send the magic packet ("/r"), the send step's included, and its UDP port.
  int wakes = 1;
  std::uint16_t wake_port = 7;
  std::vector<std::uint16_t> ports;  // "/c"
  bool mac_check = true;             // "/v"
  // A list rides out a link that flaps: a send refused for want of a route is tried again
  // in the machine's next turn. A single host ends at its first send that fails.
  bool retry_unreachable = false;
  // A sweep instead of a wake: a probe in each of two turns (the second for the silent),
  // and a machine is found by its ARP reply, or by a neighbour entry it confirmed after
  // its first probe.
  enum class Sweep : std::uint8_t { kNone, kByReply, kByTable };
  Sweep sweep = Sweep::kNone;
};

struct WaitOutput {
  // As soon as the line is confirmed; what it raises ends the wait and passes on.
  std::function<void(std::size_t line)> confirmed;
  // At least once a second while the loop waits: milliseconds since it began.
  std::function<void(std::uint64_t elapsed_ms)> waiting;
};

// Returns when every machine has answered or the wait has ended, with each line's outcome
// in the roster. Where no ICMP socket can be had, or the receive keeps failing, every
// machine not heard from (on a "/c" port) ends in error.
void RunWait(Roster& roster, Wire& wire, const WaitRules& rules, const WaitOutput& output = {});

}  // namespace trolvane
