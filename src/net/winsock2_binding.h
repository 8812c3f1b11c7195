// Run-time binding of the Winsock 2 library: a table of 112 exports, each called through
// a pointer that starts at a stub and is bound to the library on first use.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/module.h"
#include "platform/winsock.h"

namespace trolvane::ws2 {

inline constexpr int kEntryCount = 112;

// Loads "WS2_32.DLL" and calls its WSAStartup, both only while it is not loaded; 0 then
// once loaded. Raises ENetWS2StubError when the library or its WSAStartup is missing.
// A failed WSAStartup unloads the library again, so that the next call really retries.
int StartWinsock2(std::uint16_t version, os::WsaData* data);

// Forgets the library (without freeing it) and points every entry at its stub.
void ResetBindings();
// Frees the library if it is loaded and resets the bindings.
void UnloadWinsock2();

// The table, for inspection: entries in table order.
std::string_view EntryName(int index);
bool EntryAtStub(int index);
// Index of the first entry bound to this export; -1 if none.
int EntryIndex(std::string_view name);
// Binds an entry and gives its export; the way to reach the entries that have no typed
// call below. Raises ENetWS2StubError as a stub does.
os::Symbol BindEntry(int index);

// How often the binding looked a name up and called WSAStartup since the process began.
struct BindingStats {
  int lookups = 0;
  int startups = 0;
};
BindingStats Stats();

// Typed calls through the table, for the functions the socket stack uses.
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int code);
os::SOCKET socket(int family, int type, int protocol);
int closesocket(os::SOCKET s);
int shutdown(os::SOCKET s, int how);
int ioctlsocket(os::SOCKET s, std::int32_t command, std::uint32_t* argument);
int setsockopt(os::SOCKET s, int level, int name, const char* value, int length);
int getsockopt(os::SOCKET s, int level, int name, char* value, int* length);
int bind(os::SOCKET s, const os::SockAddrIn* address, int length);
int connect(os::SOCKET s, const os::SockAddrIn* address, int length);
int listen(os::SOCKET s, int backlog);
os::SOCKET accept(os::SOCKET s, os::SockAddrIn* address, int* length);
int getpeername(os::SOCKET s, os::SockAddrIn* address, int* length);
int getsockname(os::SOCKET s, os::SockAddrIn* address, int* length);
int send(os::SOCKET s, const char* buffer, int length, int flags);
int sendto(os::SOCKET s, const char* buffer, int length, int flags, const os::SockAddrIn* to,
           int to_length);
int recv(os::SOCKET s, char* buffer, int length, int flags);
int recvfrom(os::SOCKET s, char* buffer, int length, int flags, os::SockAddrIn* from,
             int* from_length);
int select(int ignored, os::FdSet* read, os::FdSet* write, os::FdSet* error,
           const os::TimeVal* timeout);
os::HostEnt* gethostbyname(const char* name);
os::HostEnt* gethostbyaddr(const char* address, int length, int family);
int gethostname(char* name, int length);
os::ServEnt* getservbyname(const char* name, const char* protocol);
os::ServEnt* getservbyport(int port, const char* protocol);
std::uint32_t inet_addr(const char* text);
char* inet_ntoa(std::uint32_t address);
// Bound to htons, ntohs, htonl, ntohl (the C library may define those names as macros).
std::uint16_t HToNs(std::uint16_t value);
std::uint16_t NToHs(std::uint16_t value);
std::uint32_t HToNl(std::uint32_t value);
std::uint32_t NToHl(std::uint32_t value);

}  // namespace trolvane::ws2
