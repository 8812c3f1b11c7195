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

// The command line as the platform hands it over: Windows gives one text, the program name
// first (GetCommandLineA; argc and argv are not read), for the program to split by its own
// rule; POSIX gives the arguments after the program name, split by the shell.
struct CommandLine {
  bool is_text = false;
  std::string text;                // when is_text
  std::vector<std::string> words;  // otherwise
};
CommandLine RawCommandLine(int argc, char** argv);

// Writes the bytes followed by the platform's line end to standard output, or to standard
// error. False when the write failed.
bool WriteLine(std::string_view text);
bool WriteErrorLine(std::string_view text);

[[noreturn]] void ExitProcess(int status);

// 32-bit millisecond tick counter that wraps, like GetTickCount.
std::uint32_t TickCount();
// Microseconds on a steady clock that never wraps in practice: the pace of many sends.
std::uint64_t MicroTicks();
// Blocks the calling thread for about this many milliseconds.
void Sleep(std::uint32_t milliseconds);
// Blocks it for a wait shorter than a millisecond, as closely as the platform allows: the
// gap between two paced sends.
void PauseMicroseconds(std::uint64_t microseconds);
// How many descriptors (sockets and files) the process may hold at once, after raising
// the limit toward wanted where the system allows it. Windows has no such limit; there
// the dynamic port range (16,384 ports) bounds the connections that may be open at once.
std::uint32_t DescriptorLimit(std::uint32_t wanted);
// How long a TCP connection attempt waits for its answer. Linux sends the SYN again a
// second after the first, at the timer's whim rather than paced: an attempt ends before
// then, and its host's next turn asks afresh. Windows reports a refusal only after trying
// twice more, about a second later: there an attempt lives longer.
std::uint32_t ConnectAttemptLifetimeMs();
// The local date and time, to the minute.
struct LocalTime {
  int year, month, day, hour, minute;
};
LocalTime LocalNow();
std::uint32_t CurrentProcessId();
std::uint32_t CurrentThreadId();

}  // namespace os
