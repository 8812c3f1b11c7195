// Winsock calls over BSD sockets. Every failure stores its Windows Sockets code, so the
// code above reads errors the same way on both platforms.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/ping_socket.h"
#include "platform/posix/tcp_refusal.h"
#include "platform/posix/wsa_errors.h"
#include "platform/winsock.h"

namespace os {
namespace {

thread_local int last_error = 0;

int Fail(int code) {
  last_error = code;
  return kSocketError;
}

int FailErrno() { return Fail(WsaErrorFromErrno(errno)); }

int Fd(SOCKET s) { return static_cast<int>(s); }

bool KeepsErrors(int fd) {
  int on = 0;
  socklen_t size = sizeof on;
  return ::getsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, &size) == 0 && on != 0;
}

// Winsock option numbers to the kernel's.
bool MapOption(int level, int name, int* native_level, int* native_name) {
  if (level == kSolSocket && name == kSoBroadcast) {
    *native_level = SOL_SOCKET;
    *native_name = SO_BROADCAST;
    return true;
  }
  if (level == kSolSocket && (name == kSoLinger || name == kSoError)) {
    *native_level = SOL_SOCKET;
    *native_name = name == kSoLinger ? SO_LINGER : SO_ERROR;
    return true;
  }
  if (level == kSolSocket && (name == kSoRcvBuf || name == kSoSndBuf)) {
    *native_level = SOL_SOCKET;
    *native_name = name == kSoRcvBuf ? SO_RCVBUF : SO_SNDBUF;
    return true;
  }
  if (level == kIpProtoIp && name == kIpTtl) {
    *native_level = IPPROTO_IP;
    *native_name = IP_TTL;
    return true;
  }
  return false;
}

// Storage for hostent/servent results, per thread as Winsock keeps them.
struct HostStore {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<std::string> addresses;
  std::vector<char*> alias_ptrs;
  std::vector<char*> address_ptrs;
  HostEnt entry{};
};

struct ServStore {
  std::string name;
  std::string proto;
  std::vector<std::string> aliases;
  std::vector<char*> alias_ptrs;
  ServEnt entry{};
};

thread_local HostStore host_store;
thread_local ServStore serv_store;
thread_local char ntoa_buffer[16];

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (auto& t : texts) result.push_back(t.data());
  result.push_back(nullptr);
  return result;
}

HostEnt* CopyHost(const ::hostent* h) {
  if (h == nullptr || h->h_addrtype != AF_INET || h->h_length != 4) {
    last_error = h == nullptr ? WsaErrorFromHerrno(h_errno) : kWsaNoData;
    return nullptr;
  }
  HostStore& s = host_store;
  s.name = h->h_name != nullptr ? h->h_name : "";
  s.aliases.clear();
  for (char** a = h->h_aliases; a != nullptr && *a != nullptr; ++a) s.aliases.emplace_back(*a);
  s.addresses.clear();
  for (char** a = h->h_addr_list; a != nullptr && *a != nullptr; ++a) {
    s.addresses.emplace_back(*a, 4);
  }
  s.alias_ptrs = Pointers(s.aliases);
  s.address_ptrs = Pointers(s.addresses);
  s.entry = HostEnt{s.name.data(), s.alias_ptrs.data(), kAfInet, 4, s.address_ptrs.data()};
  return &s.entry;
}

ServEnt* CopyServ(const ::servent* e) {
  if (e == nullptr) {
    last_error = kWsaNoData;
    return nullptr;
  }
  ServStore& s = serv_store;
  s.name = e->s_name != nullptr ? e->s_name : "";
  s.proto = e->s_proto != nullptr ? e->s_proto : "";
  s.aliases.clear();
  for (char** a = e->s_aliases; a != nullptr && *a != nullptr; ++a) s.aliases.emplace_back(*a);
  s.alias_ptrs = Pointers(s.aliases);
  s.entry = ServEnt{s.name.data(), s.alias_ptrs.data(), s.proto.data(),
                    static_cast<std::int16_t>(e->s_port)};
  return &s.entry;
}

::sockaddr_in ToNative(const SockAddrIn& a) {
  ::sockaddr_in n{};
  n.sin_family = static_cast<sa_family_t>(a.family);
  n.sin_port = a.port;
  n.sin_addr.s_addr = a.addr;
  return n;
}

void FromNative(const ::sockaddr_in& n, SockAddrIn* a, int* length) {
  if (a == nullptr || length == nullptr || *length < static_cast<int>(sizeof(SockAddrIn))) return;
  *a = SockAddrIn{static_cast<std::int16_t>(n.sin_family), n.sin_port, n.sin_addr.s_addr, {}};
  *length = sizeof(SockAddrIn);
}

bool IsStreamSocket(int fd) {
  int type = 0;
  socklen_t n = sizeof type;
  return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &n) == 0 && type == SOCK_STREAM;
}

// A connection's refusal counts only as the peer's reset (tcp_refusal.h); the error queue
// of any other socket, a ping socket's above all, is left alone.
int ConnectErrorCode(int fd, int error) {
  if (error == ECONNREFUSED && IsStreamSocket(fd) && posix::RefusedByIcmp(fd)) {
    return kWsaeHostUnreach;
  }
  return WsaErrorFromErrno(error);
}

bool AddressArgumentOk(const SockAddrIn* a, int length) {
  return a != nullptr && length >= static_cast<int>(sizeof(SockAddrIn));
}

}  // namespace

int WSAStartup(std::uint16_t version, WsaData* data) {
  if ((version & 0xff) == 0) return kWsaVerNotSupported;  // no version below 1.0
  if (data != nullptr) std::memset(data, 0, sizeof(*data));
  return 0;
}

int WSACleanup() { return 0; }
int WSAGetLastError() { return last_error; }
void WSASetLastError(int code) { last_error = code; }

SOCKET socket(int family, int type, int protocol) {
  int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (fd < 0 && family == AF_INET && type == SOCK_RAW && protocol == IPPROTO_ICMP &&
      (errno == EPERM || errno == EACCES)) {
    // Without the right to raw sockets a ping socket serves, where the system allows it;
    // otherwise the refusal stands.
    int refused = errno;
    fd = posix::OpenPingSocket();
    if (fd < 0) errno = refused;
  }
  if (fd < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  // Set before any connect, so that no connect asks the socket's type.
  if (type == SOCK_STREAM) posix::WatchConnectErrors(fd);
  return static_cast<SOCKET>(fd);
}

int closesocket(SOCKET s) {
  posix::ForgetPingSocket(Fd(s));
  return ::close(Fd(s)) == 0 ? 0 : FailErrno();
}

int shutdown(SOCKET s, int how) {
  int native = how == kSdReceive ? SHUT_RD : how == kSdSend ? SHUT_WR : SHUT_RDWR;
  return ::shutdown(Fd(s), native) == 0 ? 0 : FailErrno();
}

int ioctlsocket(SOCKET s, std::int32_t command, std::uint32_t* argument) {
  if (command != kFionbio || argument == nullptr) return Fail(kWsaeInval);
  int flags = ::fcntl(Fd(s), F_GETFL);
  if (flags < 0) return FailErrno();
  flags = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(Fd(s), F_SETFL, flags) == 0 ? 0 : FailErrno();
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
  int native_level = 0;
  int native_name = 0;
  if (!MapOption(level, name, &native_level, &native_name)) return Fail(10042);
  if (value == nullptr || length < 0) return Fail(10014);
  if (native_name == SO_LINGER) {
    if (length < static_cast<int>(sizeof(Linger))) return Fail(10014);
    Linger winsock{};
    std::memcpy(&winsock, value, sizeof winsock);
    const ::linger native{winsock.onoff != 0 ? 1 : 0, winsock.seconds};
    return ::setsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &native, sizeof native) == 0 ? 0
                                                                                   : FailErrno();
  }
  return ::setsockopt(Fd(s), native_level, native_name, value, static_cast<socklen_t>(length)) == 0
             ? 0
             : FailErrno();
}

int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  int native_level = 0;
  int native_name = 0;
  if (!MapOption(level, name, &native_level, &native_name)) return Fail(10042);
  if (value == nullptr || length == nullptr || *length < 0) return Fail(10014);
  if (native_name == SO_ERROR) {
    if (*length < 4) return Fail(10014);
    int native = 0;
    socklen_t size = sizeof native;
    if (::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &native, &size) != 0) return FailErrno();
    const int code = native == 0 ? 0 : ConnectErrorCode(Fd(s), native);
    std::memcpy(value, &code, sizeof code);
    *length = 4;
    return 0;
  }
  auto n = static_cast<socklen_t>(*length);
  if (::getsockopt(Fd(s), native_level, native_name, value, &n) != 0) return FailErrno();
  *length = static_cast<int>(n);
  return 0;
}

int bind(SOCKET s, const SockAddrIn* address, int length) {
  if (!AddressArgumentOk(address, length)) return Fail(10014);
  ::sockaddr_in n = ToNative(*address);
  return ::bind(Fd(s), reinterpret_cast<::sockaddr*>(&n), sizeof(n)) == 0 ? 0 : FailErrno();
}

int connect(SOCKET s, const SockAddrIn* address, int length) {
  if (!AddressArgumentOk(address, length)) return Fail(10014);
  ::sockaddr_in n = ToNative(*address);
  if (::connect(Fd(s), reinterpret_cast<::sockaddr*>(&n), sizeof(n)) == 0) return 0;
  // Winsock's word for a connection under way.
  if (errno == EINPROGRESS) return Fail(kWsaeWouldBlock);
  return Fail(ConnectErrorCode(Fd(s), errno));
}

int listen(SOCKET s, int backlog) { return ::listen(Fd(s), backlog) == 0 ? 0 : FailErrno(); }

SOCKET accept(SOCKET s, SockAddrIn* address, int* length) {
  ::sockaddr_in n{};
  socklen_t n_length = sizeof(n);
  int fd = ::accept4(Fd(s), reinterpret_cast<::sockaddr*>(&n), &n_length, SOCK_CLOEXEC);
  if (fd < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  FromNative(n, address, length);
  return static_cast<SOCKET>(fd);
}

int getpeername(SOCKET s, SockAddrIn* address, int* length) {
  ::sockaddr_in n{};
  socklen_t n_length = sizeof(n);
  if (::getpeername(Fd(s), reinterpret_cast<::sockaddr*>(&n), &n_length) != 0) return FailErrno();
  FromNative(n, address, length);
  return 0;
}

int getsockname(SOCKET s, SockAddrIn* address, int* length) {
  ::sockaddr_in n{};
  socklen_t n_length = sizeof(n);
  if (::getsockname(Fd(s), reinterpret_cast<::sockaddr*>(&n), &n_length) != 0) return FailErrno();
  FromNative(n, address, length);
  return 0;
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  if (length < 0) return Fail(kWsaeInval);
  ssize_t n = ::send(Fd(s), buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
  return n < 0 ? FailErrno() : static_cast<int>(n);
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const SockAddrIn* to,
           int to_length) {
  if (length < 0) return Fail(kWsaeInval);
  if (!AddressArgumentOk(to, to_length)) return Fail(10014);
  ::sockaddr_in n = ToNative(*to);
  const bool ping = posix::IsPingSocket(Fd(s));
  if (ping) posix::NotePingSent(Fd(s), buffer, static_cast<std::size_t>(length));
  auto send_once = [&] {
    return ::sendto(Fd(s), buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL,
                    reinterpret_cast<::sockaddr*>(&n), sizeof(n));
  };
  ssize_t r = send_once();
  // A ping socket, or one that keeps its ICMP errors in its queue, hands an error that
  // arrived for an earlier datagram to the next send, to whatever address; its message
  // still waits in the error queue for that datagram. The error is cleared by being
  // reported, so a second try tells this send's own fate.
  if (r < 0 && posix::IsAsynchronousError(errno) && (ping || KeepsErrors(Fd(s)))) r = send_once();
  return r < 0 ? FailErrno() : static_cast<int>(r);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  if (length < 0) return Fail(kWsaeInval);
  ssize_t n =
      posix::IsPingSocket(Fd(s))
          ? posix::ReceivePing(Fd(s), buffer, static_cast<std::size_t>(length), flags, nullptr)
          : ::recv(Fd(s), buffer, static_cast<std::size_t>(length), flags);
  return n < 0 ? FailErrno() : static_cast<int>(n);
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, SockAddrIn* from, int* from_length) {
  if (length < 0) return Fail(kWsaeInval);
  ::sockaddr_in n{};
  socklen_t n_length = sizeof(n);
  ssize_t r = posix::IsPingSocket(Fd(s))
                  ? posix::ReceivePing(Fd(s), buffer, static_cast<std::size_t>(length), flags, &n)
                  : ::recvfrom(Fd(s), buffer, static_cast<std::size_t>(length), flags,
                               reinterpret_cast<::sockaddr*>(&n), &n_length);
  if (r < 0) return FailErrno();
  FromNative(n, from, from_length);
  return static_cast<int>(r);
}

int select(int /*ignored*/, FdSet* read, FdSet* write, FdSet* error, const TimeVal* timeout) {
  FdSet* sets[3] = {read, write, error};
  const short events[3] = {POLLIN, POLLOUT, POLLPRI};
  std::vector<::pollfd> polls;
  for (int k = 0; k < 3; ++k) {
    if (sets[k] == nullptr) continue;
    if (sets[k]->count > static_cast<std::uint32_t>(kFdSetSize)) return Fail(kWsaeInval);
    for (std::uint32_t i = 0; i < sets[k]->count; ++i) {
      polls.push_back(::pollfd{Fd(sets[k]->array[i]), events[k], 0});
    }
  }
  int wait_ms = -1;
  if (timeout != nullptr) {
    // Rounded up: a wait must never end before the time asked for.
    long long ms = static_cast<long long>(timeout->sec) * 1000 + (timeout->usec + 999) / 1000;
    wait_ms = ms < 0 ? 0 : ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
  }
  int r = 0;
  do {
    r = ::poll(polls.data(), polls.size(), wait_ms);
  } while (r < 0 && errno == EINTR && timeout == nullptr);
  if (r < 0) return FailErrno();
  for (const auto& p : polls) {
    if (p.revents & POLLNVAL) return Fail(kWsaeNotSock);
  }
  int ready = 0;
  std::size_t index = 0;
  for (int k = 0; k < 3; ++k) {
    if (sets[k] == nullptr) continue;
    std::uint32_t kept = 0;
    for (std::uint32_t i = 0; i < sets[k]->count; ++i, ++index) {
      short mask = k == 0 ? (POLLIN | POLLERR | POLLHUP) : k == 1 ? (POLLOUT | POLLERR) : POLLPRI;
      if (polls[index].revents & mask) sets[k]->array[kept++] = sets[k]->array[i];
    }
    sets[k]->count = kept;
    ready += static_cast<int>(kept);
  }
  return ready;
}

int WSAPoll(PollFd* sockets, std::uint32_t count, int timeout_ms) {
  if (sockets == nullptr && count > 0) return Fail(10014);
  // Winsock's event bits to the kernel's and back, in pairs.
  static constexpr short kBits[][2] = {{kPollIn, POLLIN},
                                       {kPollOut, POLLOUT},
                                       {kPollErr, POLLERR},
                                       {kPollHup, POLLHUP},
                                       {kPollNval, POLLNVAL}};
  std::vector<::pollfd> polls(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    polls[i].fd = Fd(sockets[i].socket);
    for (const auto& bit : kBits) {
      if (sockets[i].events & bit[0])
        polls[i].events = static_cast<short>(polls[i].events | bit[1]);
    }
  }
  const int r = ::poll(polls.data(), count, timeout_ms < 0 ? -1 : timeout_ms);
  if (r < 0) return FailErrno();
  for (std::uint32_t i = 0; i < count; ++i) {
    sockets[i].revents = 0;
    for (const auto& bit : kBits) {
      if (polls[i].revents & bit[1]) {
        sockets[i].revents = static_cast<std::int16_t>(sockets[i].revents | bit[0]);
      }
    }
  }
  return r;
}

HostEnt* gethostbyname(const char* name) {
  if (name == nullptr) {
    last_error = 10014;
    return nullptr;
  }
  return CopyHost(::gethostbyname(name));
}

HostEnt* gethostbyaddr(const char* address, int length, int family) {
  if (address == nullptr || length != 4 || family != kAfInet) {
    last_error = kWsaeInval;
    return nullptr;
  }
  return CopyHost(::gethostbyaddr(address, 4, AF_INET));
}

int gethostname(char* name, int length) {
  if (name == nullptr || length <= 0) return Fail(10014);
  return ::gethostname(name, static_cast<std::size_t>(length)) == 0 ? 0 : FailErrno();
}

ServEnt* getservbyname(const char* name, const char* protocol) {
  if (name == nullptr) {
    last_error = 10014;
    return nullptr;
  }
  return CopyServ(::getservbyname(name, protocol));
}

ServEnt* getservbyport(int port, const char* protocol) {
  return CopyServ(::getservbyport(port, protocol));
}

std::uint32_t inet_addr(const char* text) {
  return text == nullptr ? kInaddrNone : static_cast<std::uint32_t>(::inet_addr(text));
}

char* inet_ntoa(std::uint32_t address) {
  ::in_addr a{};
  a.s_addr = address;
  const char* text = ::inet_ntoa(a);
  std::strncpy(ntoa_buffer, text, sizeof(ntoa_buffer) - 1);
  return ntoa_buffer;
}

std::uint16_t HToNs(std::uint16_t value) { return htons(value); }
std::uint16_t NToHs(std::uint16_t value) { return ntohs(value); }
std::uint32_t HToNl(std::uint32_t value) { return htonl(value); }
std::uint32_t NToHl(std::uint32_t value) { return ntohl(value); }

}  // namespace os
