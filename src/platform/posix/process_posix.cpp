#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/process.h"

namespace os {

void PrepareProcess() {
  ::signal(SIGPIPE, SIG_IGN);
  // A closed standard descriptor would be taken by the next socket, and a result line
  // written into it (the installed program holds cap_net_raw).
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
      if (opened != fd && opened >= 0) ::close(opened);
    }
  }
  // Paced sends pause for tens of microseconds; the default slack would double them.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

CommandLine RawCommandLine(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr) line.words.emplace_back(argv[i]);
  }
  return line;
}

namespace {

bool WriteLineTo(int fd, std::string_view text) {
  std::string line(text);
  line += '\n';
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      // A non-blocking output (some launchers hand one over) read slowly is no failure:
      // the line waits for room, as it would on a blocking one.
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd out{fd, POLLOUT, 0};
        if (::poll(&out, 1, -1) >= 0 || errno == EINTR) continue;
      }
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteLine(std::string_view text) { return WriteLineTo(STDOUT_FILENO, text); }
bool WriteErrorLine(std::string_view text) { return WriteLineTo(STDERR_FILENO, text); }

void ExitProcess(int status) { std::_Exit(status); }

std::uint64_t MicroTicks() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

std::uint32_t TickCount() { return static_cast<std::uint32_t>(MicroTicks() / 1000); }

void PauseMicroseconds(std::uint64_t microseconds) {
  timespec left{static_cast<time_t>(microseconds / 1000000),
                static_cast<long>(microseconds % 1000000) * 1000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void Sleep(std::uint32_t milliseconds) { PauseMicroseconds(std::uint64_t{milliseconds} * 1000); }

std::uint32_t DescriptorLimit(std::uint32_t wanted) {
  ::rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    const ::rlim_t raised = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted
                                ? static_cast<::rlim_t>(wanted)
                                : limit.rlim_max;
    const ::rlimit asked{raised, limit.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &asked) == 0) limit.rlim_cur = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 0xffffffffu
             ? 0xffffffffu
             : static_cast<std::uint32_t>(limit.rlim_cur);
}

std::uint32_t ConnectAttemptLifetimeMs() { return 900; }

LocalTime LocalNow() {
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

}  // namespace os
