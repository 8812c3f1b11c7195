// The OS boundary: everything above src/platform/ reaches the operating system only
// through these headers; posix/ and win32/ define them, the build picks one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace os {

// Prepares the process before anything is written (POSIX: a closed pipe must not kill us).
void PrepareProcess();

// The arguments after the program name. Windows splits GetCommandLineA by the driver's
// rule and ignores argc/argv; POSIX takes argv and skips empty arguments.
std::vector<std::string> CommandArguments(int argc, char** argv);

// Writes the bytes followed by the platform's line end. False when the write failed.
bool WriteLine(std::string_view text);

[[noreturn]] void ExitProcess(int status);

// 32-bit millisecond tick counter that wraps, like GetTickCount.
std::uint32_t TickCount();
// Blocks the calling thread for about this many milliseconds.
void Sleep(std::uint32_t milliseconds);
std::uint32_t CurrentProcessId();
std::uint32_t CurrentThreadId();

}  // namespace os
