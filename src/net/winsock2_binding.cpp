#include "net/winsock2_binding.h"

#include <array>
#include <atomic>
#include <string>
#include <utility>

#include "net/net_exceptions.h"

namespace trolvane::ws2 {
namespace {

constexpr const char* kLibraryName = "WS2_32.DLL";
constexpr const char* kLoadError = "Error on loading Winsock2 library (%s)";
constexpr const char* kCallError = "Error on call Winsock2 library function %s";

// Exported names in table order. The character-set-neutral entries bind the "A" exports.
constexpr std::array<const char*, kEntryCount> kNames = {
    "WSACleanup", "accept", "bind", "closesocket", "connect", "ioctlsocket", "getpeername",
    "getsockname", "getsockopt", "htonl", "htons", "inet_addr", "inet_ntoa", "listen", "ntohl",
    "ntohs", "recv", "recvfrom", "select", "send", "sendto", "setsockopt", "shutdown", "socket",
    "gethostbyaddr", "gethostbyname", "gethostname", "getservbyport", "getservbyname",
    "getprotobynumber", "getprotobyname", "WSASetLastError", "WSAGetLastError", "WSAIsBlocking",
    "WSAUnhookBlockingHook", "WSASetBlockingHook", "WSACancelBlockingCall", "WSAAsyncGetServByName",
    "WSAAsyncGetServByPort", "WSAAsyncGetProtoByName", "WSAAsyncGetProtoByNumber",
    "WSAAsyncGetHostByName", "WSAAsyncGetHostByAddr", "WSACancelAsyncRequest", "WSAAsyncSelect",
    "__WSAFDIsSet", "WSAAccept", "WSACloseEvent", "WSAConnect", "WSACreateEvent",
    "WSADuplicateSocketA", "WSADuplicateSocketW", "WSAEnumNetworkEvents", "WSAEnumProtocolsA",
    "WSAEnumProtocolsW", "WSAEventSelect", "WSAGetOverlappedResult", "WSAGetQosByName", "WSAHtonl",
    "WSAHtons", "WSAIoctl", "WSAJoinLeaf", "WSANtohl", "WSANtohs", "WSARecv", "WSARecvDisconnect",
    "WSARecvFrom", "WSAResetEvent", "WSASend", "WSASendDisconnect", "WSASendTo", "WSASetEvent",
    "WSASocketA", "WSASocketW", "WSAWaitForMultipleEvents", "WSAAddressToStringA",
    "WSAAddressToStringW", "WSAStringToAddressA", "WSAStringToAddressW", "WSALookupServiceBeginA",
    "WSALookupServiceBeginW", "WSALookupServiceNextA", "WSALookupServiceNextW",
    "WSALookupServiceEnd", "WSAInstallServiceClassA", "WSAInstallServiceClassW",
    "WSARemoveServiceClass", "WSAGetServiceClassInfoA", "WSAGetServiceClassInfoW",
    "WSAEnumNameSpaceProvidersA", "WSAEnumNameSpaceProvidersW", "WSAGetServiceClassNameByClassIdA",
    "WSAGetServiceClassNameByClassIdW", "WSASetServiceA", "WSASetServiceW",
    "WSAProviderConfigChange",
    // character-set-neutral names
    "WSADuplicateSocketA", "WSAEnumProtocolsA", "WSASocketA", "WSAAddressToStringA",
    "WSAStringToAddressA", "WSALookupServiceBeginA", "WSALookupServiceNextA",
    "WSAInstallServiceClassA", "WSAGetServiceClassInfoA", "WSAEnumNameSpaceProvidersA",
    "WSAGetServiceClassNameByClassIdA", "WSASetServiceA",
    // Microsoft extensions
    "TransmitFile", "AcceptEx", "GetAcceptExSockaddrs", "WSARecvEx"};

constexpr bool SameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

constexpr int IndexOf(const char* name) {
  for (int i = 0; i < kEntryCount; ++i) {
    if (SameName(kNames[static_cast<std::size_t>(i)], name)) return i;
  }
  return -1;
}

std::atomic<os::ModuleHandle> library{0};
os::Symbol startup_entry = nullptr;
BindingStats stats;

std::string WithName(const char* format, std::string_view name) {
  std::string text = format;
  return text.replace(text.find("%s"), 2, name);
}

// The signature of each entry that has a typed call; the others are reached by BindEntry.
template <int I>
struct Signature {
  using type = void();
};
#define TROLVANE_WS2_SIGNATURE(name, ...) \
  template <>                             \
  struct Signature<IndexOf(#name)> {      \
    using type = __VA_ARGS__;             \
  }
TROLVANE_WS2_SIGNATURE(WSACleanup, int());
TROLVANE_WS2_SIGNATURE(WSAGetLastError, int());
TROLVANE_WS2_SIGNATURE(WSASetLastError, void(int));
TROLVANE_WS2_SIGNATURE(socket, os::SOCKET(int, int, int));
TROLVANE_WS2_SIGNATURE(closesocket, int(os::SOCKET));
TROLVANE_WS2_SIGNATURE(shutdown, int(os::SOCKET, int));
TROLVANE_WS2_SIGNATURE(ioctlsocket, int(os::SOCKET, std::int32_t, std::uint32_t*));
TROLVANE_WS2_SIGNATURE(setsockopt, int(os::SOCKET, int, int, const char*, int));
TROLVANE_WS2_SIGNATURE(getsockopt, int(os::SOCKET, int, int, char*, int*));
TROLVANE_WS2_SIGNATURE(bind, int(os::SOCKET, const os::SockAddrIn*, int));
TROLVANE_WS2_SIGNATURE(connect, int(os::SOCKET, const os::SockAddrIn*, int));
TROLVANE_WS2_SIGNATURE(listen, int(os::SOCKET, int));
TROLVANE_WS2_SIGNATURE(accept, os::SOCKET(os::SOCKET, os::SockAddrIn*, int*));
TROLVANE_WS2_SIGNATURE(getpeername, int(os::SOCKET, os::SockAddrIn*, int*));
TROLVANE_WS2_SIGNATURE(getsockname, int(os::SOCKET, os::SockAddrIn*, int*));
TROLVANE_WS2_SIGNATURE(send, int(os::SOCKET, const char*, int, int));
TROLVANE_WS2_SIGNATURE(sendto, int(os::SOCKET, const char*, int, int, const os::SockAddrIn*, int));
TROLVANE_WS2_SIGNATURE(recv, int(os::SOCKET, char*, int, int));
TROLVANE_WS2_SIGNATURE(recvfrom, int(os::SOCKET, char*, int, int, os::SockAddrIn*, int*));
TROLVANE_WS2_SIGNATURE(select, int(int, os::FdSet*, os::FdSet*, os::FdSet*, const os::TimeVal*));
TROLVANE_WS2_SIGNATURE(gethostbyname, os::HostEnt*(const char*));
TROLVANE_WS2_SIGNATURE(gethostbyaddr, os::HostEnt*(const char*, int, int));
TROLVANE_WS2_SIGNATURE(gethostname, int(char*, int));
TROLVANE_WS2_SIGNATURE(getservbyname, os::ServEnt*(const char*, const char*));
TROLVANE_WS2_SIGNATURE(getservbyport, os::ServEnt*(int, const char*));
TROLVANE_WS2_SIGNATURE(inet_addr, std::uint32_t(const char*));
TROLVANE_WS2_SIGNATURE(inet_ntoa, char*(std::uint32_t));
TROLVANE_WS2_SIGNATURE(htons, std::uint16_t(std::uint16_t));
TROLVANE_WS2_SIGNATURE(ntohs, std::uint16_t(std::uint16_t));
TROLVANE_WS2_SIGNATURE(htonl, std::uint32_t(std::uint32_t));
TROLVANE_WS2_SIGNATURE(ntohl, std::uint32_t(std::uint32_t));
#undef TROLVANE_WS2_SIGNATURE

template <int I, typename Sig>
struct Stub;
template <int I, typename R, typename... A>
struct Stub<I, R(A...)> {
  static R Call(A... args) { return reinterpret_cast<R (*)(A...)>(BindEntry(I))(args...); }
};
// An entry without a typed call: its stub only binds.
template <int I>
struct Stub<I, void()> {
  static void Call() { BindEntry(I); }
};

template <std::size_t... I>
std::array<os::Symbol, kEntryCount> MakeStubs(std::index_sequence<I...>) {
  return {reinterpret_cast<os::Symbol>(
      &Stub<static_cast<int>(I), typename Signature<static_cast<int>(I)>::type>::Call)...};
}

const std::array<os::Symbol, kEntryCount> stubs =
    MakeStubs(std::make_index_sequence<kEntryCount>());
std::array<os::Symbol, kEntryCount> bound = stubs;

template <typename Sig>
struct Pointer;
template <typename R, typename... A>
struct Pointer<R(A...)> {
  using type = R (*)(A...);
};

// The entry's current pointer, typed; the name must have a signature above.
template <int I>
auto Entry() {
  static_assert(I >= 0, "not an entry of the table");
  return reinterpret_cast<typename Pointer<typename Signature<I>::type>::type>(
      bound[static_cast<std::size_t>(I)]);
}

}  // namespace

int StartWinsock2(std::uint16_t version, os::WsaData* data) {
  if (library.load() != 0) return 0;
  os::ModuleHandle module = os::LoadModule(kLibraryName);
  if (module == 0) {
    throw ENetWS2StubError(WithName(kLoadError, kLibraryName),
                           static_cast<std::int32_t>(os::LastModuleError()));
  }
  library.store(module);
  ++stats.lookups;
  startup_entry = os::FindSymbol(module, "WSAStartup");
  if (startup_entry == nullptr) {
    auto code = static_cast<std::int32_t>(os::LastModuleError());
    UnloadWinsock2();
    throw ENetWS2StubError(WithName(kCallError, "WSAStartup"), code);
  }
  ++stats.startups;
  int result = reinterpret_cast<int (*)(std::uint16_t, os::WsaData*)>(startup_entry)(version, data);
  // Kept loaded, the next call would answer 0 without ever having started the library.
  if (result != 0) UnloadWinsock2();
  return result;
}

void ResetBindings() {
  library.store(0);
  bound = stubs;
}

void UnloadWinsock2() {
  os::ModuleHandle old = library.exchange(0);
  if (old != 0) {
    os::UnloadModule(old);
    ResetBindings();
  }
}

std::string_view EntryName(int index) { return kNames.at(static_cast<std::size_t>(index)); }

bool EntryAtStub(int index) {
  return bound.at(static_cast<std::size_t>(index)) == stubs[static_cast<std::size_t>(index)];
}

int EntryIndex(std::string_view name) {
  for (int i = 0; i < kEntryCount; ++i) {
    if (name == kNames[static_cast<std::size_t>(i)]) return i;
  }
  return -1;
}

os::Symbol BindEntry(int index) {
  auto i = static_cast<std::size_t>(index);
  if (bound.at(i) != stubs[i]) return bound[i];
  os::ModuleHandle module = library.load();
  if (module == 0) {
    throw ENetWS2StubError(WithName(kCallError, kNames[i]), os::kWsaNotInitialised);
  }
  ++stats.lookups;
  os::Symbol symbol = os::FindSymbol(module, kNames[i]);
  // Never call through an empty pointer: a missing export is a binding failure.
  if (symbol == nullptr) {
    throw ENetWS2StubError(WithName(kCallError, kNames[i]),
                           static_cast<std::int32_t>(os::LastModuleError()));
  }
  bound[i] = symbol;
  return symbol;
}

BindingStats Stats() { return stats; }

int WSACleanup() { return Entry<IndexOf("WSACleanup")>()(); }
int WSAGetLastError() { return Entry<IndexOf("WSAGetLastError")>()(); }
void WSASetLastError(int code) { Entry<IndexOf("WSASetLastError")>()(code); }
os::SOCKET socket(int family, int type, int protocol) {
  return Entry<IndexOf("socket")>()(family, type, protocol);
}
int closesocket(os::SOCKET s) { return Entry<IndexOf("closesocket")>()(s); }
int shutdown(os::SOCKET s, int how) { return Entry<IndexOf("shutdown")>()(s, how); }
int ioctlsocket(os::SOCKET s, std::int32_t command, std::uint32_t* argument) {
  return Entry<IndexOf("ioctlsocket")>()(s, command, argument);
}
int setsockopt(os::SOCKET s, int level, int name, const char* value, int length) {
  return Entry<IndexOf("setsockopt")>()(s, level, name, value, length);
}
int getsockopt(os::SOCKET s, int level, int name, char* value, int* length) {
  return Entry<IndexOf("getsockopt")>()(s, level, name, value, length);
}
int bind(os::SOCKET s, const os::SockAddrIn* address, int length) {
  return Entry<IndexOf("bind")>()(s, address, length);
}
int connect(os::SOCKET s, const os::SockAddrIn* address, int length) {
  return Entry<IndexOf("connect")>()(s, address, length);
}
int listen(os::SOCKET s, int backlog) { return Entry<IndexOf("listen")>()(s, backlog); }
os::SOCKET accept(os::SOCKET s, os::SockAddrIn* address, int* length) {
  return Entry<IndexOf("accept")>()(s, address, length);
}
int getpeername(os::SOCKET s, os::SockAddrIn* address, int* length) {
  return Entry<IndexOf("getpeername")>()(s, address, length);
}
int getsockname(os::SOCKET s, os::SockAddrIn* address, int* length) {
  return Entry<IndexOf("getsockname")>()(s, address, length);
}
int send(os::SOCKET s, const char* buffer, int length, int flags) {
  return Entry<IndexOf("send")>()(s, buffer, length, flags);
}
int sendto(os::SOCKET s, const char* buffer, int length, int flags, const os::SockAddrIn* to,
           int to_length) {
  return Entry<IndexOf("sendto")>()(s, buffer, length, flags, to, to_length);
}
int recv(os::SOCKET s, char* buffer, int length, int flags) {
  return Entry<IndexOf("recv")>()(s, buffer, length, flags);
}
int recvfrom(os::SOCKET s, char* buffer, int length, int flags, os::SockAddrIn* from,
             int* from_length) {
  return Entry<IndexOf("recvfrom")>()(s, buffer, length, flags, from, from_length);
}
int select(int ignored, os::FdSet* read, os::FdSet* write, os::FdSet* error,
           const os::TimeVal* timeout) {
  return Entry<IndexOf("select")>()(ignored, read, write, error, timeout);
}
os::HostEnt* gethostbyname(const char* name) { return Entry<IndexOf("gethostbyname")>()(name); }
os::HostEnt* gethostbyaddr(const char* address, int length, int family) {
  return Entry<IndexOf("gethostbyaddr")>()(address, length, family);
}
int gethostname(char* name, int length) { return Entry<IndexOf("gethostname")>()(name, length); }
os::ServEnt* getservbyname(const char* name, const char* protocol) {
  return Entry<IndexOf("getservbyname")>()(name, protocol);
}
os::ServEnt* getservbyport(int port, const char* protocol) {
  return Entry<IndexOf("getservbyport")>()(port, protocol);
}
std::uint32_t inet_addr(const char* text) { return Entry<IndexOf("inet_addr")>()(text); }
char* inet_ntoa(std::uint32_t address) { return Entry<IndexOf("inet_ntoa")>()(address); }
std::uint16_t HToNs(std::uint16_t value) { return Entry<IndexOf("htons")>()(value); }
std::uint16_t NToHs(std::uint16_t value) { return Entry<IndexOf("ntohs")>()(value); }
std::uint32_t HToNl(std::uint32_t value) { return Entry<IndexOf("htonl")>()(value); }
std::uint32_t NToHl(std::uint32_t value) { return Entry<IndexOf("ntohl")>()(value); }

}  // namespace trolvane::ws2
