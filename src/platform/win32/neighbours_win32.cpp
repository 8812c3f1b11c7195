// Windows: the IP helper's neighbour table (Vista and later), and its best route (Wine
// refuses GetBestRoute2), whose type says direct or indirect, with the interface types and
// own addresses read once for a batch.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <vector>

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

// One of the helper's tables of fixed rows (GetIfTable, GetIpAddrTable), asked again while it
// grows between the size and the read; empty where refused.
template <typename Table>
std::vector<unsigned char> ReadTable(DWORD(WINAPI* read)(Table*, PULONG, BOOL)) {
  ULONG size = 0;
  for (int tries = 0; tries < 4; ++tries) {
    std::vector<unsigned char> buffer(size);
    auto* table = size != 0 ? reinterpret_cast<Table*>(buffer.data()) : nullptr;
    const DWORD result = read(table, &size, FALSE);
    if (result == NO_ERROR && table != nullptr) return buffer;
    if (result != ERROR_INSUFFICIENT_BUFFER) break;
  }
  return {};
}

template <typename Table>
const Table* As(const std::vector<unsigned char>& buffer) {
  return buffer.empty() ? nullptr : reinterpret_cast<const Table*>(buffer.data());
}

// Calls each(row) for every address the machine holds; Windows lists an adapter without
// one as 0.0.0.0 with the mask 0.0.0.0, which would hold every address.
template <typename Each>
void ForEachOwn(const MIB_IPADDRTABLE* own, Each each) {
  for (DWORD i = 0; own != nullptr && i < own->dwNumEntries; ++i) {
    if (own->table[i].dwAddr != 0) each(own->table[i]);
  }
}

const MIB_IPADDRROW* OwnRow(const MIB_IPADDRTABLE* own, std::uint32_t address) {
  const MIB_IPADDRROW* found = nullptr;
  ForEachOwn(own, [&](const MIB_IPADDRROW& row) {
    if (row.dwAddr == address && found == nullptr) found = &row;
  });
  return found;
}

int LongestOwnPrefix(const MIB_IPADDRTABLE* own, DWORD interface_index, std::uint32_t address) {
  int longest = -1;
  ForEachOwn(own, [&](const MIB_IPADDRROW& row) {
    if (row.dwIndex != interface_index || ((row.dwAddr ^ address) & row.dwMask) != 0) return;
    longest = std::max(longest, __builtin_popcount(row.dwMask));
  });
  return longest;
}

// Multicast, the limited broadcast and the broadcast of one of the machine's subnets reach
// no one host; the best route, unlike Linux's, does not say so.
bool NamesNoOneHost(const MIB_IPADDRTABLE* own, std::uint32_t address) {
  const std::uint32_t host = ::ntohl(address);
  bool broadcast = host >> 28 == 0xE || host == 0xFFFFFFFF;
  ForEachOwn(own, [&](const MIB_IPADDRROW& row) {
    broadcast = broadcast || (__builtin_popcount(row.dwMask) <= 30 &&
                              ((row.dwAddr ^ address) & row.dwMask) == 0 &&
                              (address | row.dwMask) == 0xFFFFFFFF);
  });
  return broadcast;
}

Route::Medium MediumOf(const MIB_IFTABLE* interfaces, DWORD interface_index) {
  for (DWORD i = 0; interfaces != nullptr && i < interfaces->dwNumEntries; ++i) {
    if (interfaces->table[i].dwIndex != interface_index) continue;
    switch (interfaces->table[i].dwType) {
      case IF_TYPE_ETHERNET_CSMACD:
      case IF_TYPE_ISO88025_TOKENRING:
      case IF_TYPE_FDDI:
      case IF_TYPE_IEEE80211:
        return Route::Medium::kBroadcast;
      case IF_TYPE_PPP:
      case IF_TYPE_SOFTWARE_LOOPBACK:
      case IF_TYPE_SLIP:
      case IF_TYPE_TUNNEL:
        return Route::Medium::kPlain;
      default:
        return Route::Medium::kUnknown;
    }
  }
  return Route::Medium::kUnknown;
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
    // Group addresses are the system's own entries (broadcast, multicast), no machine's.
    // ReachabilityTime.LastReachable is left unread: the documentation does not call it
    // the time since the last confirmation, and Wine leaves it 0.
    if (entry.hardware != HardwareAddress{} && (entry.hardware[0] & 1) == 0) {
      entries->push_back(entry);
    }
  }
  ::FreeMibTable(table);
  return true;
}

std::optional<std::uint32_t> NeighbourTableLimit() { return std::nullopt; }
std::optional<std::uint32_t> NeighboursHeld() { return std::nullopt; }

std::vector<std::optional<Route>> RoutesTo(const std::vector<std::uint32_t>& addresses) {
  std::vector<std::optional<Route>> routes(addresses.size());
  if (addresses.empty()) return routes;
  const std::vector<unsigned char> interfaces = ReadTable(::GetIfTable);
  const std::vector<unsigned char> own = ReadTable(::GetIpAddrTable);
  const auto* if_table = As<MIB_IFTABLE>(interfaces);
  const auto* own_table = As<MIB_IPADDRTABLE>(own);
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (NamesNoOneHost(own_table, addresses[i])) continue;
    Route route;
    if (const MIB_IPADDRROW* mine = OwnRow(own_table, addresses[i])) {
      route.via = Route::Via::kThisMachine;
      route.interface_index = mine->dwIndex;
    } else {
      MIB_IPFORWARDROW row{};
      if (::GetBestRoute(addresses[i], 0, &row) != NO_ERROR) continue;
      if (row.dwForwardType == MIB_IPROUTE_TYPE_DIRECT) {
        route.via = Route::Via::kLink;
      } else if (row.dwForwardType == MIB_IPROUTE_TYPE_INDIRECT) {
        route.via = Route::Via::kGateway;
      } else {
        continue;
      }
      route.interface_index = row.dwForwardIfIndex;
    }
    route.medium = MediumOf(if_table, route.interface_index);
    route.own_prefix_bits = LongestOwnPrefix(own_table, route.interface_index, addresses[i]);
    routes[i] = route;
  }
  return routes;
}

}  // namespace os
