// Linux: both questions go to the kernel over one rtnetlink request each.
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "platform/neighbours.h"

namespace os {
namespace {

constexpr int kReceiveLimit = 1 << 16;
// A dump of a very large table still ends; this many reads is far past 100,000 entries.
constexpr int kMostReads = 4096;

class NetlinkSocket {
 public:
  NetlinkSocket() : fd_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {
    if (fd_ < 0) return;
    timeval limit{1, 0};  // the kernel answers at once; never hang on it
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  ~NetlinkSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  NetlinkSocket(const NetlinkSocket&) = delete;
  NetlinkSocket& operator=(const NetlinkSocket&) = delete;

  bool Send(const void* request, std::size_t size) const {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return fd_ >= 0 && ::sendto(fd_, request, size, 0, reinterpret_cast<sockaddr*>(&kernel),
                                sizeof kernel) == static_cast<ssize_t>(size);
  }
  // Calls each(message) for every message of the answer to sequence until it is done;
  // false on a failure, an error message or a truncated read.
  template <typename Each>
  bool Receive(std::uint32_t sequence, bool dump, Each each) const {
    std::vector<char> buffer(kReceiveLimit);
    for (int reads = 0; reads < kMostReads; ++reads) {
      const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
      if (n <= 0) return false;
      auto left = static_cast<unsigned int>(n);
      for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, left);
           h = NLMSG_NEXT(h, left)) {
        if (h->nlmsg_seq != sequence) continue;
        if (h->nlmsg_type == NLMSG_DONE) return true;
        if (h->nlmsg_type == NLMSG_ERROR) {
          const auto* e = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
          return e->error == 0 && !dump;
        }
        each(h);
        if (!dump) return true;
      }
    }
    return false;
  }

 private:
  int fd_;
};

std::uint32_t NextSequence() {
  static std::uint32_t sequence = 0;
  return ++sequence;
}

// Calls each(type, payload, length) for every attribute after a fixed header of `fixed` bytes.
template <typename Each>
void ForEachAttribute(const nlmsghdr* h, std::size_t fixed, Each each) {
  const auto* a =
      reinterpret_cast<const rtattr*>(static_cast<const char*>(NLMSG_DATA(h)) + NLMSG_ALIGN(fixed));
  int left = static_cast<int>(h->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(fixed));
  for (; RTA_OK(a, left); a = RTA_NEXT(a, left)) each(a->rta_type, RTA_DATA(a), RTA_PAYLOAD(a));
}

constexpr std::uint16_t kUsableStates =
    NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT;

// Asks for a dump of the IPv4 table that type names and calls each(message) for every
// message of the answer; family is the family field of the request's body.
template <typename Body, typename Each>
bool DumpIpv4(std::uint16_t type, unsigned char Body::*family, Each each) {
  NetlinkSocket socket;
  struct {
    nlmsghdr header;
    Body body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = type;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = NextSequence();
  request.body.*family = AF_INET;
  if (!socket.Send(&request, sizeof request)) return false;
  return socket.Receive(request.header.nlmsg_seq, true, each);
}

// Calls each(header, body) for every IPv4 entry of the namespace's table.
template <typename Each>
bool DumpNeighbours(Each each) {
  return DumpIpv4(RTM_GETNEIGH, &ndmsg::ndm_family, [&each](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWNEIGH) return;
    const auto* body = static_cast<const ndmsg*>(NLMSG_DATA(h));
    if (body->ndm_family == AF_INET) each(h, *body);
  });
}

}  // namespace

bool ReadNeighbours(std::vector<Neighbour>* entries) {
  return DumpNeighbours([entries](const nlmsghdr* h, const ndmsg& body) {
    if ((body.ndm_state & kUsableStates) == 0) return;
    Neighbour entry{};
    entry.interface_index = static_cast<std::uint32_t>(body.ndm_ifindex);
    entry.reachable = (body.ndm_state & NUD_REACHABLE) != 0;
    entry.rechecking = (body.ndm_state & (NUD_DELAY | NUD_PROBE)) != 0;
    bool has_address = false;
    bool has_hardware = false;
    ForEachAttribute(h, sizeof(ndmsg), [&](int type, const void* data, std::size_t size) {
      if (type == NDA_DST && size == 4) {
        std::memcpy(&entry.address, data, 4);
        has_address = true;
      } else if (type == NDA_LLADDR && size == entry.hardware.size()) {
        std::memcpy(entry.hardware.data(), data, size);
        has_hardware = entry.hardware != HardwareAddress{};
      }
    });
    if (has_address && has_hardware) entries->push_back(entry);
  });
}

std::optional<std::uint32_t> NeighboursHeld() {
  // The kernel drops an entry to make room only when nothing holds it (no timer runs for
  // it: it is stale or failed) and it has not changed for 5 s.
  const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
  std::uint32_t held = 0;
  const bool read = DumpNeighbours([&](const nlmsghdr* h, const ndmsg& body) {
    if ((body.ndm_state & (NUD_PERMANENT | NUD_NOARP)) != 0) return;
    nda_cacheinfo info{};
    bool has_info = false;
    ForEachAttribute(h, sizeof(ndmsg), [&](int type, const void* data, std::size_t size) {
      if (type == NDA_CACHEINFO && size >= sizeof info) {
        std::memcpy(&info, data, sizeof info);
        has_info = true;
      }
    });
    const bool droppable = has_info && info.ndm_refcnt == 0 &&
                           ((body.ndm_state & NUD_FAILED) != 0 ||
                            info.ndm_updated >= static_cast<std::uint32_t>(5 * ticks_per_second));
    if (!droppable) ++held;
  });
  if (!read) return std::nullopt;
  return held;
}

std::optional<std::uint32_t> NeighbourTableLimit() {
  constexpr std::uint32_t kLinuxDefault = 1024;
  std::optional<std::uint32_t> limit;
  // Read over netlink, which every namespace may; /proc shows the setting only outside them.
  DumpIpv4(RTM_GETNEIGHTBL, &ndtmsg::ndtm_family, [&limit](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWNEIGHTBL) return;
    std::string_view name;
    std::optional<std::uint32_t> thresh3;
    ForEachAttribute(h, sizeof(ndtmsg), [&](int type, const void* data, std::size_t size) {
      if (type == NDTA_NAME && size > 0) {
        name = std::string_view(static_cast<const char*>(data), size - 1);
      } else if (type == NDTA_THRESH3 && size == sizeof(std::uint32_t)) {
        std::uint32_t value = 0;
        std::memcpy(&value, data, size);
        thresh3 = value;
      }
    });
    if (name == "arp_cache" && thresh3) limit = thresh3;
  });
  return limit.value_or(kLinuxDefault);  // a refused read: the kernel's default
}

std::vector<std::optional<Route>> RoutesTo(const std::vector<std::uint32_t>& addresses) {
  std::vector<std::optional<Route>> routes(addresses.size());
  NetlinkSocket socket;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    struct {
      nlmsghdr header;
      rtmsg body;
      rtattr destination;
      std::uint32_t address;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = NextSequence();
    request.body.rtm_family = AF_INET;
    request.body.rtm_dst_len = 32;
    // The route as the table holds it, so that its prefix is the link's, not /32.
    request.body.rtm_flags = RTM_F_FIB_MATCH;
    request.destination.rta_type = RTA_DST;
    request.destination.rta_len = RTA_LENGTH(sizeof request.address);
    request.address = addresses[i];
    if (!socket.Send(&request, sizeof request)) break;
    std::optional<Route>& route = routes[i];
    const bool answered =
        socket.Receive(request.header.nlmsg_seq, false, [&route](const nlmsghdr* h) {
          if (h->nlmsg_type != RTM_NEWROUTE) return;
          const auto* body = static_cast<const rtmsg*>(NLMSG_DATA(h));
          Route found;
          bool through_gateway = false;
          ForEachAttribute(h, sizeof(rtmsg), [&](int type, const void* data, std::size_t size) {
            if (type == RTA_GATEWAY || type == RTA_VIA || type == RTA_MULTIPATH) {
              through_gateway = true;
            } else if (type == RTA_OIF && size == sizeof(std::uint32_t)) {
              std::memcpy(&found.interface_index, data, size);
            }
          });
          found.direct = body->rtm_type == RTN_UNICAST && !through_gateway;
          found.prefix_bits = body->rtm_dst_len;
          route = found;
        });
    if (!answered) route.reset();
  }
  return routes;
}

}  // namespace os
