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
  std::uint32_t interface_index = 0;  // the index of the interface the entry belongs to
  // The machine answered address resolution within the system's reachable time (seconds);
  // a leftover that the system keeps until the address is used again has not.
  bool reachable = false;
  // The system is asking the machine again because the address was used while the entry
  // was a leftover: it becomes reachable, or fails, within seconds.
  bool rechecking = false;
  // Milliseconds since the machine last confirmed that it holds the address (an answer to
  // address resolution); none where the platform cannot tell (Windows).
  std::optional<std::uint32_t> confirmed_ms_ago = std::nullopt;
};

// Appends every IPv4 entry that holds a hardware address a machine gave: resolved,
// stale, being re-checked, or set by hand (static, NOARP included). Entries still being
// resolved, failed ones, and those holding an all-zero or a group address (broadcast,
// multicast: what the system makes up without asking) are left out. False when the
// platform refused the read.
bool ReadNeighbours(std::vector<Neighbour>* entries);

// How many entries the system's neighbour table holds at most, for the whole machine and
// all its namespaces (Linux: gc_thresh3, 1,024 by default); none where it has no such
// bound (Windows).
std::optional<std::uint32_t> NeighbourTableLimit();

// How many entries of this namespace's neighbour table the system may not drop to make
// room for another: addresses being resolved, answered lately, or changed in the last
// seconds. None where the platform cannot tell or has no limit.
std::optional<std::uint32_t> NeighboursHeld();

// How the system reaches an address: the facts a path is classified from.
struct Route {
  enum class Via : std::uint8_t {
    kLink,         // straight onto the interface's link (no gateway)
    kGateway,      // through a router (also when the route names a nexthop object)
    kThisMachine,  // the address is this machine's own
  };
  enum class Medium : std::uint8_t {
    kBroadcast,  // resolves addresses on a shared medium: broadcast capable, neither
                 // point-to-point, NOARP nor loopback (Ethernet, Wi-Fi, veth, macvlan)
    kPlain,      // point-to-point, NOARP or loopback (tun, ppp, wireguard, lo)
    kUnknown,    // the platform cannot tell
  };
  Via via = Via::kLink;
  Medium medium = Medium::kUnknown;
  std::uint32_t interface_index = 0;
  // The longest prefix among the interface's own IPv4 addresses whose subnet holds the
  // address; -1 when none does.
  int own_prefix_bits = -1;
};

// One answer per address (network order), in order; none where the platform cannot tell
// (no route, a route that is not unicast or local (broadcast, multicast, blackhole,
// unreachable, prohibit), a refused read). One batch of reads for all the addresses.
std::vector<std::optional<Route>> RoutesTo(const std::vector<std::uint32_t>& addresses);

}  // namespace os
