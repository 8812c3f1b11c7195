#include <windows.h>

#include "platform/process.h"
#include "platform/text.h"
#include "text/arg_split.h"

namespace os {

void PrepareProcess() {}

std::vector<std::string> CommandArguments(int /*argc*/, char** /*argv*/) {
  const char* line = ::GetCommandLineA();
  std::vector<std::string> all = trolvane::SplitCommandLine(line != nullptr ? line : "", CharLength);
  if (!all.empty()) all.erase(all.begin());  // the program name
  return all;
}

bool WriteLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  const char* p = line.data();
  DWORD left = static_cast<DWORD>(line.size());
  while (left > 0) {
    DWORD written = 0;
    if (!::WriteFile(out, p, left, &written, nullptr) || written == 0) return false;
    p += written;
    left -= written;
  }
  return true;
}

void ExitProcess(int status) { ::ExitProcess(static_cast<UINT>(status)); }

std::uint32_t TickCount() { return ::GetTickCount(); }
void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }
std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }
std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

}  // namespace os
