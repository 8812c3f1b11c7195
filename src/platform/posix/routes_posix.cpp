// Linux: the kernel's own answer for each address (RTM_GETROUTE without RTM_F_FIB_MATCH,
// so that a route naming a nexthop object is resolved to its interface and gateway), and
// the links and own addresses that say what kind of link it is, read once for the batch.
#include <net/if.h>

#include <cstring>

#include "platform/neighbours.h"
#include "platform/posix/netlink.h"

namespace os {
namespace {

using posix::ForEachAttribute;

Route::Medium MediumOf(const std::vector<posix::Link>& links, std::uint32_t index) {
  for (const posix::Link& link : links) {
    if (link.index != index) continue;
    const bool resolves = (link.flags & IFF_BROADCAST) != 0 &&
                          (link.flags & (IFF_POINTOPOINT | IFF_NOARP | IFF_LOOPBACK)) == 0;
    return resolves ? Route::Medium::kBroadcast : Route::Medium::kPlain;
  }
  return Route::Medium::kUnknown;
}

// The path of one answer: none for a type that reaches no one host (broadcast, multicast,
// blackhole, unreachable, prohibit).
std::optional<Route> PathOf(const nlmsghdr* h) {
  if (h->nlmsg_type != RTM_NEWROUTE) return std::nullopt;
  const auto* body = static_cast<const rtmsg*>(NLMSG_DATA(h));
  if (body->rtm_type != RTN_UNICAST && body->rtm_type != RTN_LOCAL) return std::nullopt;
  Route route;
  bool has_interface = false, through_gateway = false;
  ForEachAttribute(h, sizeof(rtmsg), [&](int type, const void* data, std::size_t size) {
    if (type == RTA_GATEWAY || type == RTA_VIA) {
      through_gateway = true;
    } else if (type == RTA_OIF && size == sizeof route.interface_index) {
      std::memcpy(&route.interface_index, data, size);
      has_interface = true;
    }
  });
  if (!has_interface) return std::nullopt;
  if (body->rtm_type == RTN_LOCAL) {
    route.via = Route::Via::kThisMachine;
  } else if (through_gateway) {
    route.via = Route::Via::kGateway;
  }
  return route;
}

std::optional<Route> AskRoute(const posix::NetlinkSocket& socket, std::uint32_t address) {
  struct {
    nlmsghdr header;
    rtmsg body;
    rtattr destination;
    std::uint32_t address;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST;
  request.header.nlmsg_seq = posix::NextSequence();
  request.body.rtm_family = AF_INET;
  request.body.rtm_dst_len = 32;
  request.destination.rta_type = RTA_DST;
  request.destination.rta_len = RTA_LENGTH(sizeof request.address);
  request.address = address;
  if (!socket.Send(&request, sizeof request)) return std::nullopt;
  std::optional<Route> route;
  const bool answered = socket.Receive(request.header.nlmsg_seq, false,
                                       [&route](const nlmsghdr* h) { route = PathOf(h); });
  if (!answered) return std::nullopt;
  return route;
}

}  // namespace

std::vector<std::optional<Route>> RoutesTo(const std::vector<std::uint32_t>& addresses) {
  std::vector<std::optional<Route>> routes(addresses.size());
  if (addresses.empty()) return routes;
  const posix::NetlinkSocket socket;
  bool on_a_link = false;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    routes[i] = AskRoute(socket, addresses[i]);
    on_a_link = on_a_link || (routes[i] && routes[i]->via == Route::Via::kLink);
  }
  // Only a link's kind and its own addresses are worth two dumps of the system's tables.
  if (!on_a_link) return routes;
  std::vector<posix::Link> links;
  std::vector<posix::OwnAddress> own;
  // A refused reading leaves the medium unknown, or no own address to hold the host.
  if (!posix::ReadLinks(socket, &links)) links.clear();
  if (!posix::ReadOwnAddresses(socket, &own)) own.clear();
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    std::optional<Route>& route = routes[i];
    if (!route) continue;
    route->medium = MediumOf(links, route->interface_index);
    const posix::OwnAddress* holder =
        posix::OwnAddressHolding(own, route->interface_index, addresses[i]);
    route->own_prefix_bits = holder != nullptr ? holder->prefix_bits : -1;
  }
  return routes;
}

}  // namespace os
