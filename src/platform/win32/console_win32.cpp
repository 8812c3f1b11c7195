#include <windows.h>

#include "platform/console.h"

namespace os {
namespace {

HANDLE ErrorConsole() {
  HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
    return nullptr;
  }
  return handle;
}

}  // namespace

bool StandardErrorIsTerminal() { return ErrorConsole() != nullptr; }

void ShowStatusLine(std::string_view text) {
  HANDLE console = ErrorConsole();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (console == nullptr || !::GetConsoleScreenBufferInfo(console, &info)) return;
  // Back to the start of the line, the text, and blanks over what an earlier one left.
  COORD start{0, info.dwCursorPosition.Y};
  ::SetConsoleCursorPosition(console, start);
  DWORD written = 0;
  ::WriteConsoleA(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO after{};
  if (!::GetConsoleScreenBufferInfo(console, &after)) return;
  const SHORT width = after.dwSize.X;
  if (after.dwCursorPosition.Y == start.Y && after.dwCursorPosition.X < width) {
    DWORD blanked = 0;
    ::FillConsoleOutputCharacterA(console, ' ',
                                  static_cast<DWORD>(width - after.dwCursorPosition.X),
                                  after.dwCursorPosition, &blanked);
  }
  if (text.empty()) ::SetConsoleCursorPosition(console, start);
}

}  // namespace os
