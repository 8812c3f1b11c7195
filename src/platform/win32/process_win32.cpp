#include <windows.h>

#include "platform/process.h"
#include "platform/win32/icmp_helper_socket.h"

namespace os {

void PrepareProcess() {}

CommandLine RawCommandLine(int /*argc*/, char** /*argv*/) {
  const char* text = ::GetCommandLineA();
  return CommandLine{true, text != nullptr ? text : "", {}};
}

namespace {

bool WriteLineTo(DWORD which, std::string_view text) {
  std::string line(text);
  line += "\r\n";
  HANDLE out = ::GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  const char* p = line.data();
  DWORD left = static_cast<DWORD>(line.size());
  while (left > 0) {
    DWORD written = 0;
    if (!::WriteFile(out, p, left, &written, nullptr)) return false;
    // A pipe in no-wait mode that is full takes nothing: the line waits for room.
    if (written == 0) ::Sleep(1);
    p += written;
    left -= written;
  }
  return true;
}

}  // namespace

bool WriteLine(std::string_view text) { return WriteLineTo(STD_OUTPUT_HANDLE, text); }
bool WriteErrorLine(std::string_view text) { return WriteLineTo(STD_ERROR_HANDLE, text); }

void ExitProcess(int status) {
  win32::LetHelperRequestsEnd();
  ::ExitProcess(static_cast<UINT>(status));
}

std::uint32_t TickCount() { return ::GetTickCount(); }
std::uint64_t MicroTicks() {
  static const std::uint64_t frequency = [] {
    LARGE_INTEGER f{};
    ::QueryPerformanceFrequency(&f);
    return static_cast<std::uint64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
  // Split, so that a counter running for weeks at 10 MHz cannot overflow the product.
  return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}
void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void PauseMicroseconds(std::uint64_t microseconds) {
  // A waitable timer keeps a pause below the scheduler's tick where the system offers a
  // high-resolution one; elsewhere the pause is the shortest sleep there is.
  constexpr DWORD kHighResolution = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
  thread_local HANDLE timer = [] {
    HANDLE t = ::CreateWaitableTimerExW(nullptr, nullptr, kHighResolution, TIMER_ALL_ACCESS);
    return t != nullptr ? t : ::CreateWaitableTimerW(nullptr, TRUE, nullptr);
  }();
  LARGE_INTEGER due{};
  due.QuadPart = -static_cast<LONGLONG>(microseconds * 10);  // relative, 100 ns units
  if (timer == nullptr || !::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
    ::Sleep(static_cast<DWORD>(microseconds / 1000));
    return;
  }
  ::WaitForSingleObject(timer, INFINITE);
}

std::uint32_t DescriptorLimit(std::uint32_t wanted) {
  constexpr std::uint32_t kDynamicPorts = 16384;
  return wanted < kDynamicPorts ? wanted : kDynamicPorts;
}

std::uint32_t ConnectAttemptLifetimeMs() { return 2500; }

LocalTime LocalNow() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute};
}
std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }
std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

}  // namespace os
