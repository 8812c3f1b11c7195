// What this machine knows of the machines on its attached links: the route to each
// address, and the neighbour table as it was read at one moment. Reading sends nothing.
// The packet's way to an off PC (the roster) and the MAC check of an answer (the wait)
// both judge by it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/neighbours.h"

namespace trolvane {

// The platform's reads, or a test's.
struct LinkReads {
  std::function<std::vector<std::optional<os::Route>>(const std::vector<std::uint32_t>&)> routes;
  std::function<bool(std::vector<os::Neighbour>* entries)> table;
};
LinkReads PlatformLinkReads();

class NeighbourSnapshot {
 public:
  // Replaces what was read before; false when the platform refused (nothing is held then).
  bool Read(const std::function<bool(std::vector<os::Neighbour>*)>& table);
  // Replaces what was read before with these entries.
  void Keep(const std::vector<os::Neighbour>& entries);
  // The hardware address of a usable entry for the address (network order) on the
  // interface the route to it leaves by; an entry on another interface is another link's.
  std::optional<os::HardwareAddress> Find(std::uint32_t address, std::uint32_t interface) const;
  // Whether that entry holds the MAC: the one test of whether a machine holds its address,
  // for the packet's way to an off PC and the MAC check alike.
  bool Holds(std::uint32_t address, std::uint32_t interface, const os::HardwareAddress& mac) const {
    return Find(address, interface) == mac;
  }

 private:
  std::unordered_map<std::uint64_t, os::HardwareAddress> entries_;
};

}  // namespace trolvane
