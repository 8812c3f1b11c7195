#include "platform/win32/winsock2_interpose.h"

#include <winsock2.h>

#include <atomic>
#include <cstring>

#include "platform/win32/icmp_helper_socket.h"
#include "platform/winsock.h"

namespace os::win32 {
namespace {

std::atomic<bool> raw_icmp_refused{false};

enum Call { kSocket, kCloseSocket, kShutdown, kSetSockOpt, kSendTo, kRecv, kRecvFrom, kSelect };
std::atomic<Symbol> real_calls[kSelect + 1];

// The library's own function for a call, typed as the platform interface declares it.
template <auto& Declared>
auto Real(Call call) {
  return reinterpret_cast<decltype(&Declared)>(real_calls[call].load());
}

int Fail(int code) {
  ::WSASetLastError(code);
  return kSocketError;
}

SOCKET Socket(int family, int type, int protocol) {
  const bool raw_icmp = family == kAfInet && type == kSockRaw && protocol == kIpProtoIcmp;
  if (!raw_icmp) return Real<os::socket>(kSocket)(family, type, protocol);
  if (!raw_icmp_refused) {
    SOCKET s = Real<os::socket>(kSocket)(family, type, protocol);
    if (s != kInvalidSocket || ::WSAGetLastError() != kWsaeAcces) return s;
  }
  return OpenHelperSocket();
}

int CloseSocket(SOCKET s) {
  return IsHelperSocket(s) ? CloseHelperSocket(s) : Real<os::closesocket>(kCloseSocket)(s);
}

// Nothing to shut down: requests end with the socket.
int Shutdown(SOCKET s, int how) {
  return IsHelperSocket(s) ? 0 : Real<os::shutdown>(kShutdown)(s, how);
}

int SetSockOpt(SOCKET s, int level, int name, const char* value, int length) {
  return IsHelperSocket(s) ? HelperSetOption(s, level, name, value, length)
                           : Real<os::setsockopt>(kSetSockOpt)(s, level, name, value, length);
}

int SendTo(SOCKET s, const char* buffer, int length, int flags, const SockAddrIn* to,
           int to_length) {
  return IsHelperSocket(s) ? HelperSendTo(s, buffer, length, to, to_length)
                           : Real<os::sendto>(kSendTo)(s, buffer, length, flags, to, to_length);
}

int Recv(SOCKET s, char* buffer, int length, int flags) {
  return IsHelperSocket(s) ? HelperReceive(s, buffer, length, flags, nullptr, nullptr)
                           : Real<os::recv>(kRecv)(s, buffer, length, flags);
}

int RecvFrom(SOCKET s, char* buffer, int length, int flags, SockAddrIn* from, int* from_length) {
  return IsHelperSocket(s)
             ? HelperReceive(s, buffer, length, flags, from, from_length)
             : Real<os::recvfrom>(kRecvFrom)(s, buffer, length, flags, from, from_length);
}

// How many of the handles in the sets are emulated, and how many there are in all.
void CountHelpers(const FdSet* set, int* helpers, int* all) {
  if (set == nullptr) return;
  for (std::uint32_t i = 0; i < set->count && i < kFdSetSize; ++i) {
    *helpers += IsHelperSocket(set->array[i]) ? 1 : 0;
    ++*all;
  }
}

int Select(int ignored, FdSet* read, FdSet* write, FdSet* error, const TimeVal* timeout) {
  int helpers = 0;
  int all = 0;
  for (const FdSet* set : {read, write, error}) CountHelpers(set, &helpers, &all);
  if (helpers == 0) return Real<os::select>(kSelect)(ignored, read, write, error, timeout);
  // One wait cannot be both alertable for the helper and a wait on real sockets; the
  // program never waits for the two kinds at once.
  if (helpers != all) return Fail(WSAEINVAL);
  return HelperSelect(read, write, error, timeout);
}

template <typename F>
Symbol Sym(F* function) {
  return reinterpret_cast<Symbol>(function);
}

struct Wrapper {
  const char* name;
  Call call;
  Symbol symbol;
};

const Wrapper kWrappers[] = {
    {"socket", kSocket, Sym(&Socket)},       {"closesocket", kCloseSocket, Sym(&CloseSocket)},
    {"shutdown", kShutdown, Sym(&Shutdown)}, {"setsockopt", kSetSockOpt, Sym(&SetSockOpt)},
    {"sendto", kSendTo, Sym(&SendTo)},       {"recv", kRecv, Sym(&Recv)},
    {"recvfrom", kRecvFrom, Sym(&RecvFrom)}, {"select", kSelect, Sym(&Select)},
};

}  // namespace

void SetRawIcmpRefused(bool refused) { raw_icmp_refused = refused; }

Symbol Winsock2Export(const char* name, Symbol real) {
  for (const Wrapper& w : kWrappers) {
    if (std::strcmp(w.name, name) == 0) {
      real_calls[w.call] = real;
      return w.symbol;
    }
  }
  return real;
}

}  // namespace os::win32
