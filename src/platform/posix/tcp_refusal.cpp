#include "platform/posix/tcp_refusal.h"

#include <netinet/in.h>
#include <sys/socket.h>
// clang-format off
#include <time.h>  // the kernel header below needs timespec
#include <linux/errqueue.h>
// clang-format on

namespace os::posix {

void WatchConnectErrors(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
}

bool RefusedByIcmp(int fd) {
  bool by_icmp = false;
  // Bounded: the queue holds at most what the attempt drew, a handful of errors.
  for (int i = 0; i < 8; ++i) {
    alignas(::cmsghdr) char control[256];
    char data[64];
    ::iovec io{data, sizeof data};
    ::msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) break;
    for (::cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
      const auto* error = reinterpret_cast<const ::sock_extended_err*>(CMSG_DATA(c));
      if (error->ee_origin == SO_EE_ORIGIN_ICMP) by_icmp = true;
    }
  }
  return by_icmp;
}

}  // namespace os::posix
