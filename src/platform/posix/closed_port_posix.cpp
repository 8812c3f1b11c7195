// Linux: IP_RECVERR files each ICMP error a UDP socket's datagrams draw in its error
// queue, with the address the datagram went to and the sender of the error.
#include <netinet/in.h>
#include <sys/socket.h>
// clang-format off
#include <time.h>  // the kernel header below needs timespec
#include <linux/errqueue.h>
// clang-format on

#include "platform/closed_port.h"
#include "platform/icmp_wire.h"

namespace os {

bool KeepClosedPortAnswers(SOCKET s) {
  const int on = 1;
  return ::setsockopt(static_cast<int>(s), IPPROTO_IP, IP_RECVERR, &on, sizeof on) == 0;
}

std::optional<std::uint32_t> TakeClosedPortAnswer(SOCKET s) {
  // Bounded: each call takes a handful, the next call the rest.
  for (int i = 0; i < 64; ++i) {
    alignas(::cmsghdr) char control[256];
    ::sockaddr_in to{};
    ::msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(static_cast<int>(s), &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) break;
    for (::cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
      const auto* error = reinterpret_cast<const ::sock_extended_err*>(CMSG_DATA(c));
      const auto* sender = reinterpret_cast<const ::sockaddr_in*>(SO_EE_OFFENDER(error));
      // This machine's own unreachable (no answer to address resolution) or a router's
      // is no machine's answer.
      if (error->ee_origin == SO_EE_ORIGIN_ICMP && error->ee_type == kIcmpDestUnreachable &&
          error->ee_code == kIcmpPortUnreachable && sender->sin_addr.s_addr == to.sin_addr.s_addr) {
        return to.sin_addr.s_addr;
      }
    }
  }
  return std::nullopt;
}

}  // namespace os
