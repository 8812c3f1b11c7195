// The system's neighbour table (which hardware address holds each IPv4 address of a
// directly attached subnet) and whether an address is on such a subnet. Reading either
// sends nothing and needs no privilege.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace os {

using HardwareAddress = std::array<std::uint8_t, 6>;

struct Neighbour {
  std::uint32_t address;  // network order
  HardwareAddress hardware;
};

// Appends every IPv4 entry that holds a hardware address a machine gave: resolved,
// stale, being re-checked, or set by hand. Entries still being resolved, failed ones
// and those the system made up without asking (NOARP: multicast, point-to-point) are
// left out, and so are all-zero addresses. False when the platform refused the read.
bool ReadNeighbours(std::vector<Neighbour>* entries);

// Whether the address (network order) is reached without a gateway; nothing when the
// platform cannot tell (no route, a refused read).
std::optional<bool> IsDirectlyAttached(std::uint32_t address);

}  // namespace os
