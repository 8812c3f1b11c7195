#include "platform/posix/ping_socket.h"

#include <linux/errqueue.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/ipv4_header.h"

namespace os::posix {
namespace {

constexpr std::uint8_t kDefaultTtl = 64;

struct PingState {
  bool sent = false;
  std::uint8_t identifier[2] = {};  // as the caller wrote it
};

std::mutex registry_mutex;
std::unordered_map<int, PingState> registry;

bool LookUp(int fd, PingState* state) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  auto it = registry.find(fd);
  if (it == registry.end()) return false;
  if (state != nullptr) *state = it->second;
  return true;
}

// What the synthesized IPv4 header needs to know about a received message.
struct Origin {
  ::in_addr source{};
  ::in_addr destination{};
  std::uint8_t ttl = kDefaultTtl;
};

// The kernel hands replies (and quotes requests) with the identifier it chose for the
// socket; a raw socket would show the one that was sent. The checksum follows the change
// (RFC 1624), so it stays valid even for a message cut short.
void PutBackIdentifier(std::uint8_t* icmp, std::size_t length, const PingState& state) {
  if (!state.sent || length < kIcmpHeaderSize) return;
  PutNetworkWord(icmp + kIcmpChecksumAt, UpdatedChecksum(NetworkWord(icmp + kIcmpChecksumAt),
                                                         NetworkWord(icmp + kIcmpIdentifierAt),
                                                         NetworkWord(state.identifier)));
  std::memcpy(icmp + kIcmpIdentifierAt, state.identifier, 2);
}

void WriteIpv4Header(std::uint8_t* header, std::size_t payload_length, const Origin& origin) {
  os::WriteIpv4Header(header, payload_length, origin.ttl, origin.source.s_addr,
                      origin.destination.s_addr);
}

// One recvmsg with the address it names and its control messages.
struct Message {
  ::sockaddr_in name{};
  alignas(::cmsghdr) char control[512];
  ::iovec iov{};
  ::msghdr header{};

  ssize_t Receive(int fd, void* data, std::size_t size, int flags) {
    iov = ::iovec{data, size};
    header = ::msghdr{};
    header.msg_name = &name;
    header.msg_namelen = sizeof(name);
    header.msg_iov = &iov;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    return ::recvmsg(fd, &header, flags);
  }
};

// Reads TTL and destination address; gives the extended error when there is one.
const ::sock_extended_err* ReadControl(::msghdr* msg, Origin* origin) {
  const ::sock_extended_err* error = nullptr;
  for (::cmsghdr* c = CMSG_FIRSTHDR(msg); c != nullptr; c = CMSG_NXTHDR(msg, c)) {
    if (c->cmsg_level != IPPROTO_IP) continue;
    if (c->cmsg_type == IP_TTL) {
      int ttl = 0;
      std::memcpy(&ttl, CMSG_DATA(c), sizeof(ttl));
      origin->ttl = static_cast<std::uint8_t>(ttl);
    } else if (c->cmsg_type == IP_PKTINFO) {
      ::in_pktinfo info{};
      std::memcpy(&info, CMSG_DATA(c), sizeof(info));
      origin->destination = info.ipi_addr;
    } else if (c->cmsg_type == IP_RECVERR) {
      error = reinterpret_cast<const ::sock_extended_err*>(CMSG_DATA(c));
    }
  }
  return error;
}

// An ICMP error from the error queue, rebuilt as the message a raw socket would have
// received: its ICMP header, then the quoted request behind an IPv4 header.
ssize_t FromErrorQueue(int fd, const PingState& state, std::uint8_t* icmp, std::size_t room,
                       Origin* origin) {
  constexpr std::size_t kQuoteStart = kIcmpHeaderSize + kIpv4HeaderSize;
  if (room < kQuoteStart) {
    errno = EMSGSIZE;
    return -1;
  }
  Message msg;  // names the request's target
  ssize_t quoted =
      msg.Receive(fd, icmp + kQuoteStart, room - kQuoteStart, MSG_ERRQUEUE | MSG_DONTWAIT);
  if (quoted < 0) return -1;
  const ::sock_extended_err* error = ReadControl(&msg.header, origin);
  if (error == nullptr || error->ee_origin != SO_EE_ORIGIN_ICMP) {
    // A failure the kernel found itself, with no ICMP message behind it.
    errno = error != nullptr && error->ee_errno != 0 ? static_cast<int>(error->ee_errno) : EIO;
    return -1;
  }
  const auto* offender = reinterpret_cast<const ::sockaddr_in*>(SO_EE_OFFENDER(error));
  origin->source = offender->sin_addr;
  auto quoted_length = static_cast<std::size_t>(quoted);
  PutBackIdentifier(icmp + kQuoteStart, quoted_length, state);

  Origin request;  // the request as it left: from us to the target
  request.source = origin->destination;
  request.destination = msg.name.sin_addr;
  WriteIpv4Header(icmp + kIcmpHeaderSize, quoted_length, request);
  std::memset(icmp, 0, kIcmpHeaderSize);
  icmp[0] = error->ee_type;
  icmp[1] = error->ee_code;
  if (error->ee_type == ICMP_DEST_UNREACH && error->ee_code == ICMP_FRAG_NEEDED) {
    PutNetworkWord(icmp + kIcmpSequenceAt, error->ee_info);  // the next-hop MTU
  }
  std::size_t length = kQuoteStart + quoted_length;
  PutNetworkWord(icmp + kIcmpChecksumAt, InternetChecksum(icmp, length));
  return static_cast<ssize_t>(length);
}

ssize_t FromDatagrams(int fd, const PingState& state, std::uint8_t* icmp, std::size_t room,
                      int flags, Origin* origin) {
  Message msg;  // names the sender
  ssize_t n = msg.Receive(fd, icmp, room, flags);
  if (n < 0) return -1;
  ReadControl(&msg.header, origin);
  origin->source = msg.name.sin_addr;
  auto length = std::min(static_cast<std::size_t>(n), room);
  if (length > 0 && icmp[0] == kIcmpEchoReply) PutBackIdentifier(icmp, length, state);
  return static_cast<ssize_t>(length);
}

}  // namespace

int OpenPingSocket() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) return -1;
  const int on = 1;
  for (int option : {IP_RECVERR, IP_RECVTTL, IP_PKTINFO}) {
    if (::setsockopt(fd, IPPROTO_IP, option, &on, sizeof(on)) != 0) {
      int error = errno;
      ::close(fd);
      errno = error;
      return -1;
    }
  }
  std::lock_guard<std::mutex> lock(registry_mutex);
  registry[fd] = PingState{};
  return fd;
}

bool IsPingSocket(int fd) { return LookUp(fd, nullptr); }

void ForgetPingSocket(int fd) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  registry.erase(fd);
}

void NotePingSent(int fd, const void* message, std::size_t length) {
  if (length < kIcmpHeaderSize) return;
  std::lock_guard<std::mutex> lock(registry_mutex);
  auto it = registry.find(fd);
  if (it == registry.end()) return;
  it->second.sent = true;
  std::memcpy(it->second.identifier, static_cast<const std::uint8_t*>(message) + kIcmpIdentifierAt,
              2);
}

bool IsAsynchronousError(int error) {
  switch (error) {
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ECONNREFUSED:
    case EPROTO:
    case ENOPROTOOPT:
      return true;
    default:
      return false;
  }
}

ssize_t ReceivePing(int fd, void* buffer, std::size_t length, int flags, ::sockaddr_in* from) {
  PingState state;
  if (!LookUp(fd, &state)) {
    errno = ENOTSOCK;
    return -1;
  }
  // On the heap when first needed: as a fixed thread-local array, its 64 KiB were zeroed at
  // every start of the program, which made up a good part of the start-up time.
  thread_local std::vector<std::uint8_t> scratch(65536);
  std::uint8_t* icmp = scratch.data() + kIpv4HeaderSize;
  const std::size_t room = scratch.size() - kIpv4HeaderSize;
  Origin origin;
  ssize_t n = FromErrorQueue(fd, state, icmp, room, &origin);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    n = FromDatagrams(fd, state, icmp, room, flags, &origin);
    // An ICMP error that arrived meanwhile is reported once as the receive's failure;
    // its message waits in the error queue.
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      int reported = errno;
      origin = Origin{};
      n = FromErrorQueue(fd, state, icmp, room, &origin);
      if (n < 0) errno = reported;
    }
  }
  if (n < 0) return -1;
  WriteIpv4Header(scratch.data(), static_cast<std::size_t>(n), origin);
  std::size_t total = kIpv4HeaderSize + static_cast<std::size_t>(n);
  std::size_t copied = std::min(total, length);
  std::memcpy(buffer, scratch.data(), copied);
  if (from != nullptr) {
    *from = ::sockaddr_in{};
    from->sin_family = AF_INET;
    from->sin_addr = origin.source;
  }
  return static_cast<ssize_t>(copied);
}

}  // namespace os::posix
