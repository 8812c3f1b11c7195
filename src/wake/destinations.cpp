#include "wake/destinations.h"

#include "net/udp_socket.h"
#include "text/messages.h"
#include "wake/broadcast_address.h"
#include "wake/magic_packet.h"

namespace trolvane {

Destinations ResolveDestinations(std::string_view host, std::int32_t mask_bits) {
  if (host.empty()) throw EArgsException(msg::kBadHostAddress);
  Destinations to;
  if (mask_bits != kNoMaskBits) {
    // Checked before anything goes out, and from the text alone: the broadcast must be
    // that of the very address the packet goes to.
    std::uint32_t address = 0;
    to.broadcast = DirectedBroadcastOf(host, mask_bits, &address);
    to.host = address;
  } else {
    to.host = TIpSocket::ResolveHostAddress(host);
  }
  // The empty address would mean this machine, which then confirms itself.
  if (to.host == 0u) throw EArgsException(msg::kBadHostAddress);
  return to;
}

std::vector<std::optional<std::uint32_t>> LinkBroadcasts(const std::vector<LinkHost>& hosts,
                                                         const LinkReads& reads) {
  std::vector<std::optional<std::uint32_t>> broadcasts(hosts.size());
  NeighbourSnapshot table;
  bool read = false;  // a table that cannot be read cannot say that the unicast gets through
  for (std::size_t i = 0; i < hosts.size(); ++i) {
    const std::optional<os::Route>& route = hosts[i].route;
    if (!route || route->via != os::Route::Via::kLink || route->own_prefix_bits < 1 ||
        route->own_prefix_bits > 30) {
      continue;
    }
    if (!read) {
      table.Read(reads);
      read = true;
    }
    if (table.Holds(hosts[i].address, route->interface_index, hosts[i].mac)) continue;
    broadcasts[i] = BroadcastOf(hosts[i].address, route->own_prefix_bits);
  }
  return broadcasts;
}

}  // namespace trolvane
