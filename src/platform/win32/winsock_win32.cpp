// Winsock 1.1 calls, forwarded to wsock32.dll through the import table.
#include <winsock2.h>

#include "platform/module.h"
#include "platform/winsock.h"

namespace os {

static_assert(sizeof(SockAddrIn) == sizeof(::sockaddr_in));
static_assert(sizeof(HostEnt) == sizeof(::hostent));
static_assert(offsetof(HostEnt, addr_list) == offsetof(::hostent, h_addr_list));
static_assert(sizeof(ServEnt) == sizeof(::servent));
static_assert(offsetof(ServEnt, port) == offsetof(::servent, s_port));
static_assert(sizeof(TimeVal) == sizeof(::timeval));
static_assert(sizeof(FdSet) == sizeof(::fd_set));
static_assert(offsetof(FdSet, array) == offsetof(::fd_set, fd_array));
static_assert(sizeof(WsaData) >= sizeof(::WSADATA));
static_assert(sizeof(PollFd) == sizeof(::WSAPOLLFD));
static_assert(offsetof(PollFd, revents) == offsetof(::WSAPOLLFD, revents));
static_assert(sizeof(Linger) == sizeof(::linger));
static_assert(kPollIn == POLLIN && kPollOut == POLLOUT && kPollErr == POLLERR &&
              kPollHup == POLLHUP && kPollNval == POLLNVAL);
static_assert(kSoLinger == SO_LINGER && kSoError == SO_ERROR);

namespace {
const ::sockaddr* Native(const SockAddrIn* a) { return reinterpret_cast<const ::sockaddr*>(a); }
::sockaddr* Native(SockAddrIn* a) { return reinterpret_cast<::sockaddr*>(a); }
::fd_set* Native(FdSet* s) { return reinterpret_cast<::fd_set*>(s); }
}  // namespace

int WSAStartup(std::uint16_t version, WsaData* data) {
  return ::WSAStartup(version, reinterpret_cast<::WSADATA*>(data));
}
int WSACleanup() { return ::WSACleanup(); }
int WSAGetLastError() { return ::WSAGetLastError(); }
void WSASetLastError(int code) { ::WSASetLastError(code); }

SOCKET socket(int family, int type, int protocol) { return ::socket(family, type, protocol); }
int closesocket(SOCKET s) { return ::closesocket(s); }
int shutdown(SOCKET s, int how) { return ::shutdown(s, how); }
int ioctlsocket(SOCKET s, std::int32_t command, std::uint32_t* argument) {
  return ::ioctlsocket(s, command, reinterpret_cast<u_long*>(argument));
}
int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
  return ::setsockopt(s, level, name, value, length);
}
int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  return ::getsockopt(s, level, name, value, length);
}
int bind(SOCKET s, const SockAddrIn* address, int length) {
  return ::bind(s, Native(address), length);
}
int connect(SOCKET s, const SockAddrIn* address, int length) {
  return ::connect(s, Native(address), length);
}
int listen(SOCKET s, int backlog) { return ::listen(s, backlog); }
SOCKET accept(SOCKET s, SockAddrIn* address, int* length) {
  return ::accept(s, Native(address), length);
}
int getpeername(SOCKET s, SockAddrIn* address, int* length) {
  return ::getpeername(s, Native(address), length);
}
int getsockname(SOCKET s, SockAddrIn* address, int* length) {
  return ::getsockname(s, Native(address), length);
}
int send(SOCKET s, const char* buffer, int length, int flags) {
  return ::send(s, buffer, length, flags);
}
int sendto(SOCKET s, const char* buffer, int length, int flags, const SockAddrIn* to,
           int to_length) {
  return ::sendto(s, buffer, length, flags, Native(to), to_length);
}
int recv(SOCKET s, char* buffer, int length, int flags) { return ::recv(s, buffer, length, flags); }
int recvfrom(SOCKET s, char* buffer, int length, int flags, SockAddrIn* from, int* from_length) {
  return ::recvfrom(s, buffer, length, flags, Native(from), from_length);
}
int select(int ignored, FdSet* read, FdSet* write, FdSet* error, const TimeVal* timeout) {
  return ::select(ignored, Native(read), Native(write), Native(error),
                  reinterpret_cast<::timeval*>(const_cast<TimeVal*>(timeout)));
}

// WS2_32.DLL is loaded at run time, as the socket stack loads it: the import table names
// only wsock32, whose sockets are WS2_32's own.
int WSAPoll(PollFd* sockets, std::uint32_t count, int timeout_ms) {
  using Poll = int(WSAAPI*)(::WSAPOLLFD*, ULONG, INT);
  static const auto poll = [] {
    const ModuleHandle library = LoadModule("WS2_32.DLL");
    return library == 0 ? nullptr : reinterpret_cast<Poll>(FindSymbol(library, "WSAPoll"));
  }();
  if (poll == nullptr) {
    ::WSASetLastError(WSAEOPNOTSUPP);
    return kSocketError;
  }
  return poll(reinterpret_cast<::WSAPOLLFD*>(sockets), count, timeout_ms);
}

HostEnt* gethostbyname(const char* name) {
  return reinterpret_cast<HostEnt*>(::gethostbyname(name));
}
HostEnt* gethostbyaddr(const char* address, int length, int family) {
  return reinterpret_cast<HostEnt*>(::gethostbyaddr(address, length, family));
}
int gethostname(char* name, int length) { return ::gethostname(name, length); }
ServEnt* getservbyname(const char* name, const char* protocol) {
  return reinterpret_cast<ServEnt*>(::getservbyname(name, protocol));
}
ServEnt* getservbyport(int port, const char* protocol) {
  return reinterpret_cast<ServEnt*>(::getservbyport(port, protocol));
}

std::uint32_t inet_addr(const char* text) { return ::inet_addr(text); }
char* inet_ntoa(std::uint32_t address) {
  ::in_addr a{};
  a.s_addr = address;
  return ::inet_ntoa(a);
}

std::uint16_t HToNs(std::uint16_t value) { return ::htons(value); }
std::uint16_t NToHs(std::uint16_t value) { return ::ntohs(value); }
std::uint32_t HToNl(std::uint32_t value) { return ::htonl(value); }
std::uint32_t NToHl(std::uint32_t value) { return ::ntohl(value); }

}  // namespace os
