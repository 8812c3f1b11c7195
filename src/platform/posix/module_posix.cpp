// "Loading WS2_32.DLL" hands back an in-process table of the POSIX layer's Winsock
// functions, so that the run-time binding above works the same as on Windows.
#include <cstring>
#include <string_view>

#include "platform/ascii.h"
#include "platform/module.h"
#include "platform/winsock.h"

namespace os {
namespace {

// Windows' loader codes, so that callers see the numbers they would see there.
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorProcNotFound = 127;
constexpr ModuleHandle kWinsock2Module = 0x5732;

thread_local std::uint32_t last_error = 0;

struct Export {
  const char* name;
  Symbol symbol;
};

template <typename F>
Symbol Sym(F* function) {
  return reinterpret_cast<Symbol>(function);
}

const Export kExports[] = {
    {"WSAStartup", Sym(&WSAStartup)},
    {"WSACleanup", Sym(&WSACleanup)},
    {"WSAGetLastError", Sym(&WSAGetLastError)},
    {"WSASetLastError", Sym(&WSASetLastError)},
    {"accept", Sym(&accept)},
    {"bind", Sym(&bind)},
    {"closesocket", Sym(&closesocket)},
    {"connect", Sym(&connect)},
    {"ioctlsocket", Sym(&ioctlsocket)},
    {"getpeername", Sym(&getpeername)},
    {"getsockname", Sym(&getsockname)},
    {"getsockopt", Sym(&getsockopt)},
    {"htonl", Sym(&HToNl)},
    {"htons", Sym(&HToNs)},
    {"inet_addr", Sym(&inet_addr)},
    {"inet_ntoa", Sym(&inet_ntoa)},
    {"listen", Sym(&listen)},
    {"ntohl", Sym(&NToHl)},
    {"ntohs", Sym(&NToHs)},
    {"recv", Sym(&recv)},
    {"recvfrom", Sym(&recvfrom)},
    {"select", Sym(&select)},
    {"send", Sym(&send)},
    {"sendto", Sym(&sendto)},
    {"setsockopt", Sym(&setsockopt)},
    {"shutdown", Sym(&shutdown)},
    {"socket", Sym(&socket)},
    {"gethostbyaddr", Sym(&gethostbyaddr)},
    {"gethostbyname", Sym(&gethostbyname)},
    {"gethostname", Sym(&gethostname)},
    {"getservbyport", Sym(&getservbyport)},
    {"getservbyname", Sym(&getservbyname)},
};

struct Message {
  std::uint32_t code;
  const char* text;
};

const Message kMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {kErrorModNotFound, "The specified module could not be found.\r\n"},
    {kErrorProcNotFound, "The specified procedure could not be found.\r\n"},
    {kWsaNotInitialised,
     "Either the application has not called WSAStartup, or WSAStartup failed.\r\n"},
};

}  // namespace

ModuleHandle LoadModule(const char* name) {
  if (name != nullptr && SameAsciiIgnoringCase(name, "WS2_32.DLL")) return kWinsock2Module;
  last_error = kErrorModNotFound;
  return 0;
}

Symbol FindSymbol(ModuleHandle module, const char* name) {
  if (module == kWinsock2Module && name != nullptr) {
    for (const Export& e : kExports) {
      if (std::strcmp(e.name, name) == 0) return e.symbol;
    }
  }
  last_error = kErrorProcNotFound;
  return nullptr;
}

void UnloadModule(ModuleHandle /*module*/) {}

std::uint32_t LastModuleError() { return last_error; }

std::string SystemErrorMessage(std::uint32_t code) {
  for (const Message& m : kMessages) {
    if (m.code == code) return m.text;
  }
  return {};
}

}  // namespace os
