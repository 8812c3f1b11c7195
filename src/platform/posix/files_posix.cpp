#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace os {
namespace {

bool ReadAll(int fd, std::size_t limit, std::string* contents) {
  contents->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (contents->size() + static_cast<std::size_t>(n) > limit) return false;
    contents->append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::size_t limit, std::string* contents) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ReadAll(fd, limit, contents);
  ::close(fd);
  return ok;
}

bool ReadStandardInput(std::size_t limit, std::string* contents) {
  return ReadAll(STDIN_FILENO, limit, contents);
}

}  // namespace os
