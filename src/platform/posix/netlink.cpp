#include "platform/posix/netlink.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace os::posix {

NetlinkSocket::NetlinkSocket()
    : fd_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)), buffer_(kReceiveLimit) {
  if (fd_ < 0) return;
  timeval limit{1, 0};  // the kernel answers at once; never hang on it
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

NetlinkSocket::~NetlinkSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool NetlinkSocket::Send(const void* request, std::size_t size) const {
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  return fd_ >= 0 && ::sendto(fd_, request, size, 0, reinterpret_cast<sockaddr*>(&kernel),
                              sizeof kernel) == static_cast<ssize_t>(size);
}

std::uint32_t NextSequence() {
  static std::uint32_t sequence = 0;
  return ++sequence;
}

bool ReadLinks(const NetlinkSocket& socket, std::vector<Link>* links) {
  return DumpIpv4(socket, RTM_GETLINK, &ifinfomsg::ifi_family, [links](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWLINK) return;
    const auto* body = static_cast<const ifinfomsg*>(NLMSG_DATA(h));
    Link link;
    link.index = static_cast<std::uint32_t>(body->ifi_index);
    link.flags = body->ifi_flags;
    ForEachAttribute(h, sizeof(ifinfomsg), [&link](int type, const void* data, std::size_t size) {
      if (type == IFLA_ADDRESS && size == sizeof(HardwareAddress)) {
        link.hardware.emplace();
        std::memcpy(link.hardware->data(), data, size);
      }
    });
    links->push_back(link);
  });
}

bool ReadOwnAddresses(const NetlinkSocket& socket, std::vector<OwnAddress>* addresses) {
  return DumpIpv4(socket, RTM_GETADDR, &ifaddrmsg::ifa_family, [addresses](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWADDR) return;
    const auto* body = static_cast<const ifaddrmsg*>(NLMSG_DATA(h));
    if (body->ifa_family != AF_INET) return;
    OwnAddress own;
    own.interface_index = body->ifa_index;
    own.prefix_bits = body->ifa_prefixlen;
    // On a point-to-point link IFA_ADDRESS is the peer's; IFA_LOCAL is always ours.
    bool local = false, any = false;
    ForEachAttribute(h, sizeof(ifaddrmsg), [&](int type, const void* data, std::size_t size) {
      if (size != sizeof own.address || (type != IFA_LOCAL && (type != IFA_ADDRESS || local))) {
        return;
      }
      std::memcpy(&own.address, data, size);
      local = local || type == IFA_LOCAL;
      any = true;
    });
    if (any) addresses->push_back(own);
  });
}

const OwnAddress* OwnAddressHolding(const std::vector<OwnAddress>& own,
                                    std::uint32_t interface_index, std::uint32_t address) {
  const OwnAddress* best = nullptr;
  for (const OwnAddress& a : own) {
    if (a.interface_index != interface_index || a.prefix_bits < 0 || a.prefix_bits > 32) continue;
    const std::uint32_t mask =
        a.prefix_bits == 0 ? 0u : ::htonl(~std::uint32_t{0} << (32 - a.prefix_bits));
    if (((a.address ^ address) & mask) != 0) continue;
    if (best == nullptr || a.prefix_bits > best->prefix_bits) best = &a;
  }
  return best;
}

}  // namespace os::posix
