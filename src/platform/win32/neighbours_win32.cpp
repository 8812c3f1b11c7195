// Windows: the IP helper's neighbour table (Vista and later) and its best route, whose
// type says direct or indirect and whose mask gives the prefix (Wine refuses GetBestRoute2).
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

#include <cstring>

#include "platform/neighbours.h"

namespace os {
namespace {

bool Usable(const MIB_IPNET_ROW2& row) {
  switch (row.State) {
    case NlnsProbe:
    case NlnsDelay:
    case NlnsStale:
    case NlnsReachable:
    case NlnsPermanent:
      return row.PhysicalAddressLength == sizeof(HardwareAddress);
    default:
      return false;
  }
}

}  // namespace

bool ReadNeighbours(std::vector<Neighbour>* entries) {
  MIB_IPNET_TABLE2* table = nullptr;
  if (::GetIpNetTable2(AF_INET, &table) != NO_ERROR || table == nullptr) return false;
  for (ULONG i = 0; i < table->NumEntries; ++i) {
    const MIB_IPNET_ROW2& row = table->Table[i];
    if (row.Address.si_family != AF_INET || !Usable(row)) continue;
    Neighbour entry{};
    entry.address = row.Address.Ipv4.sin_addr.s_addr;
    entry.interface_index = row.InterfaceIndex;
    entry.reachable = row.State == NlnsReachable;
    entry.rechecking = row.State == NlnsDelay || row.State == NlnsProbe;
    std::memcpy(entry.hardware.data(), row.PhysicalAddress, entry.hardware.size());
    if (entry.hardware != HardwareAddress{}) entries->push_back(entry);
  }
  ::FreeMibTable(table);
  return true;
}

std::optional<std::uint32_t> NeighbourTableLimit() { return std::nullopt; }
std::optional<std::uint32_t> NeighboursHeld() { return std::nullopt; }

std::vector<std::optional<Route>> RoutesTo(const std::vector<std::uint32_t>& addresses) {
  std::vector<std::optional<Route>> routes(addresses.size());
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    MIB_IPFORWARDROW row{};
    if (::GetBestRoute(addresses[i], 0, &row) != NO_ERROR) continue;
    if (row.dwForwardType != MIB_IPROUTE_TYPE_DIRECT &&
        row.dwForwardType != MIB_IPROUTE_TYPE_INDIRECT) {
      continue;
    }
    Route route;
    route.direct = row.dwForwardType == MIB_IPROUTE_TYPE_DIRECT;
    route.prefix_bits = __builtin_popcount(row.dwForwardMask);
    route.interface_index = row.dwForwardIfIndex;
    routes[i] = route;
  }
  return routes;
}

}  // namespace os
