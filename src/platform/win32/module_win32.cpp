#include <windows.h>

#include "platform/module.h"
#include "platform/win32/winsock2_interpose.h"

namespace os {

ModuleHandle LoadModule(const char* name) {
  return reinterpret_cast<ModuleHandle>(::LoadLibraryA(name));
}

Symbol FindSymbol(ModuleHandle module, const char* name) {
  auto found = reinterpret_cast<Symbol>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name));
  // The sockets library's echo calls go through the platform, which may stand in for a
  // raw ICMP socket that the user may not open.
  if (found == nullptr || reinterpret_cast<HMODULE>(module) != ::GetModuleHandleA("WS2_32.DLL")) {
    return found;
  }
  return win32::Winsock2Export(name, found);
}

void UnloadModule(ModuleHandle module) { ::FreeLibrary(reinterpret_cast<HMODULE>(module)); }

std::uint32_t LastModuleError() { return ::GetLastError(); }

std::string SystemErrorMessage(std::uint32_t code) {
  char buffer[256];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, sizeof(buffer), nullptr);
  return std::string(buffer, n);
}

}  // namespace os
