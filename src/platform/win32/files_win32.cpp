#include <windows.h>

#include "platform/files.h"

namespace os {
namespace {

bool ReadAll(HANDLE file, std::size_t limit, std::string* contents) {
  contents->clear();
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
      // A pipe whose writer is gone has simply ended.
      return ::GetLastError() == ERROR_BROKEN_PIPE;
    }
    if (n == 0) return true;
    if (contents->size() + n > limit) return false;
    contents->append(buffer, n);
  }
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::size_t limit, std::string* contents) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = ReadAll(file, limit, contents);
  ::CloseHandle(file);
  return ok;
}

bool ReadStandardInput(std::size_t limit, std::string* contents) {
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return false;
  return ReadAll(in, limit, contents);
}

}  // namespace os
