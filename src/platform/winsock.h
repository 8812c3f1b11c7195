// Windows Sockets, as the code above the platform sees it: Winsock types, numbers and
// calls. win32/ forwards to wsock32.dll; posix/ implements them over BSD sockets and
// reports errors in the Windows Sockets numbering (10004..., 11001...).
//
// Types and constants carry their own names (SockAddrIn, kSockDgram, ...) because the C
// headers of both platforms define the Winsock names as macros.
#pragma once

#include <cstdint>

namespace os {

using SOCKET = std::uintptr_t;
inline constexpr SOCKET kInvalidSocket = ~SOCKET{0};
inline constexpr int kSocketError = -1;

// Layouts are those of Win64 Winsock, so that pointers to them can be handed to the
// real library (win32/ checks this with static_asserts).
struct SockAddrIn {
  std::int16_t family;
  std::uint16_t port;  // network order
  std::uint32_t addr;  // network order
  char zero[8];
};
static_assert(sizeof(SockAddrIn) == 16);

struct HostEnt {
  char* name;
  char** aliases;
  std::int16_t addrtype;
  std::int16_t length;
  char** addr_list;
};

struct ServEnt {
  char* name;
  char** aliases;
  char* proto;
  std::int16_t port;  // network order
};

struct TimeVal {
  std::int32_t sec;
  std::int32_t usec;
};

inline constexpr int kFdSetSize = 64;
struct FdSet {
  std::uint32_t count;
  SOCKET array[kFdSetSize];
};

// One socket of a readiness wait (WSAPOLLFD): the events asked for, those that came.
struct PollFd {
  SOCKET socket;
  std::int16_t events;
  std::int16_t revents;
};

// SO_LINGER's value as Winsock lays it out; {1, 0} makes closesocket reset the connection.
struct Linger {
  std::uint16_t onoff;
  std::uint16_t seconds;
};

struct alignas(8) WsaData {
  unsigned char bytes[512];
};

inline constexpr int kAfInet = 2;
inline constexpr int kSockStream = 1;
inline constexpr int kSockDgram = 2;
inline constexpr int kSockRaw = 3;
inline constexpr int kIpProtoIp = 0;
inline constexpr int kIpProtoIcmp = 1;
inline constexpr int kIpProtoTcp = 6;
inline constexpr int kIpProtoUdp = 17;
inline constexpr int kIpProtoRaw = 255;
inline constexpr int kIpTtl = 4;  // Winsock 2 numbering
inline constexpr int kSolSocket = 0xffff;
inline constexpr int kSoBroadcast = 0x0020;
inline constexpr int kSoLinger = 0x0080;
inline constexpr int kSoError = 0x1007;  // read only: the pending error, then cleared
inline constexpr int kSoRcvBuf = 0x1002;
inline constexpr int kSoSndBuf = 0x1001;
inline constexpr std::int32_t kFionbio = static_cast<std::int32_t>(0x8004667E);
inline constexpr int kSdReceive = 0;
inline constexpr int kSdSend = 1;
inline constexpr int kSdBoth = 2;
inline constexpr std::uint32_t kInaddrNone = 0xffffffffu;
inline constexpr std::int16_t kPollErr = 0x0001;
inline constexpr std::int16_t kPollHup = 0x0002;
inline constexpr std::int16_t kPollNval = 0x0004;
inline constexpr std::int16_t kPollOut = 0x0010;  // POLLWRNORM: writable, or connected
inline constexpr std::int16_t kPollIn = 0x0300;   // POLLRDNORM | POLLRDBAND

inline constexpr int kWsaeIntr = 10004;
inline constexpr int kWsaeAcces = 10013;
inline constexpr int kWsaeInval = 10022;
inline constexpr int kWsaeWouldBlock = 10035;
inline constexpr int kWsaeNotSock = 10038;
inline constexpr int kWsaeMsgSize = 10040;
inline constexpr int kWsaeMFile = 10024;
inline constexpr int kWsaeAddrNotAvail = 10049;
inline constexpr int kWsaeNetDown = 10050;
inline constexpr int kWsaeNetUnreach = 10051;
inline constexpr int kWsaeNoBufs = 10055;
inline constexpr int kWsaeConnRefused = 10061;
inline constexpr int kWsaeHostUnreach = 10065;
inline constexpr int kWsaVerNotSupported = 10092;
inline constexpr int kWsaNotInitialised = 10093;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

int WSAStartup(std::uint16_t version, WsaData* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int code);

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int shutdown(SOCKET s, int how);
int ioctlsocket(SOCKET s, std::int32_t command, std::uint32_t* argument);
int setsockopt(SOCKET s, int level, int name, const char* value, int length);
int getsockopt(SOCKET s, int level, int name, char* value, int* length);
int bind(SOCKET s, const SockAddrIn* address, int length);
// A non-blocking socket fails with kWsaeWouldBlock while the connection is under way;
// its outcome is then kSoError once the socket is writable or in error. On POSIX a
// refusal that an ICMP error caused rather than the peer's reset reads kWsaeHostUnreach,
// as Windows, which does not take such an error for a refusal, never reports it so.
int connect(SOCKET s, const SockAddrIn* address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, SockAddrIn* address, int* length);
int getpeername(SOCKET s, SockAddrIn* address, int* length);
int getsockname(SOCKET s, SockAddrIn* address, int* length);
int send(SOCKET s, const char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const SockAddrIn* to,
           int to_length);
int recv(SOCKET s, char* buffer, int length, int flags);
int recvfrom(SOCKET s, char* buffer, int length, int flags, SockAddrIn* from, int* from_length);
// The first argument is ignored, as on Windows. A null timeout waits without limit.
int select(int ignored, FdSet* read, FdSet* write, FdSet* error, const TimeVal* timeout);

// WSAPoll: waits at most timeout_ms (-1: without limit) until a socket has an event it
// asks for, or an error or hang-up, and gives how many have; no socket count limit. The
// Windows build finds it in WS2_32.DLL at run time (Vista and later).
int WSAPoll(PollFd* sockets, std::uint32_t count, int timeout_ms);

// Results live in per-thread storage until the next call of the same kind.
HostEnt* gethostbyname(const char* name);
HostEnt* gethostbyaddr(const char* address, int length, int family);
int gethostname(char* name, int length);
ServEnt* getservbyname(const char* name, const char* protocol);
ServEnt* getservbyport(int port, const char* protocol);

std::uint32_t inet_addr(const char* text);
char* inet_ntoa(std::uint32_t address);

// Byte-order helpers keep other names: the C library defines the usual ones as macros.
std::uint16_t HToNs(std::uint16_t value);
std::uint16_t NToHs(std::uint16_t value);
std::uint32_t HToNl(std::uint32_t value);
std::uint32_t NToHl(std::uint32_t value);

}  // namespace os
