// How a host list run confirms many addresses at once over one ICMP socket, apart from
// the network, so that tests can drive it with a clock, a send and a receive of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "net/raw_headers.h"

namespace trolvane {

struct ConfirmAllSeams {
  std::function<std::uint32_t()> clock;  // milliseconds, 32 bits, may wrap
  // Sends the echo request with this sequence number; false when this address's send
  // failed. What it raises ends the whole confirmation.
  std::function<bool(std::uint32_t address, std::uint16_t sequence)> send;
  // Waits at most timeout ms; gives an answer of ours, or nothing (the wait ended, or what
  // came was somebody else's). What it raises ends the whole confirmation.
  std::function<std::optional<PacketView>(std::int32_t timeout)> receive;
  // As soon as the address at this index answers.
  std::function<void(std::size_t index)> confirmed;
  // At least once a second while waiting: milliseconds since the start.
  std::function<void(std::uint64_t elapsed)> waiting;
};

enum class AddressOutcome { kConfirmed, kTimedOut, kError };

// Asks every address (distinct; the outcomes follow their order) with one echo request a second,
// paced at most kRequestsPerMs requests a millisecond, until each has answered or the time-out has
// passed; the last outcome of each decides. -2 asks until every address has answered; 0
// and the other values below 0 ask each address once and wait one second more.
inline constexpr int kRequestsPerMs = 10;
std::vector<AddressOutcome> ConfirmAll(const std::vector<std::uint32_t>& addresses,
                                       std::int32_t timeout, const ConfirmAllSeams& seams);

}  // namespace trolvane
