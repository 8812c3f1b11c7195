// Run-time loading of a shared library and lookup of its exports, with the platform's
// last error and its system text for an error code.
#pragma once

#include <cstdint>
#include <string>

namespace os {

using ModuleHandle = std::uintptr_t;  // 0: no module
using Symbol = void (*)();            // cast to the export's real type before calling

// 0 on failure; LastModuleError then tells why.
ModuleHandle LoadModule(const char* name);
// Null when the module does not export the name.
Symbol FindSymbol(ModuleHandle module, const char* name);
void UnloadModule(ModuleHandle module);
std::uint32_t LastModuleError();

// The system's message for an error code in the default language, at most 256 bytes,
// as the system words it (line end and final period included); empty when unknown.
std::string SystemErrorMessage(std::uint32_t code);

}  // namespace os
