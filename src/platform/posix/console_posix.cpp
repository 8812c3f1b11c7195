#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/console.h"

namespace os {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void ShowStatusLine(std::string_view text) {
  // Back to the start of the line, the text, and the rest of the line erased.
  std::string line = "\r";
  line += text;
  line += "\x1b[K";
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a status line is never worth a failure
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace os
