#include "support/background_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace trolvane::testing {
namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

}  // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const RunOptions& options) {
  std::vector<std::string> all = options.prefix;
  all.insert(all.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (auto& a : all) args.push_back(a.data());
  args.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDIN_FILENO);
    if (null_fd > STDERR_FILENO) close(null_fd);
    if (options.close_stdout) {
      close(STDOUT_FILENO);
    } else {
      dup2(fds[1], STDOUT_FILENO);
      if (options.stdout_slow_nonblocking) fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
    }
    if (options.stdout_broken_pipe) close(fds[0]);
    // The program gets the descriptors a shell gives it, and none of the test's.
    close_range(STDERR_FILENO + 1, ~0u, 0);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  out_fd_ = fds[0];
  slow_ = options.stdout_slow_nonblocking;
  if (options.stdout_broken_pipe) {
    // Nobody reads: a write by the child meets a broken pipe.
    close(out_fd_);
    out_fd_ = -1;
  }
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) Finish(0);
  if (out_fd_ >= 0) close(out_fd_);
}

bool BackgroundProcess::ReadSome(int wait_ms) {
  if (out_fd_ < 0) return false;
  pollfd p{out_fd_, POLLIN, 0};
  int r = poll(&p, 1, wait_ms);
  if (r <= 0) return r < 0 && errno == EINTR;
  char buffer[4096];
  // A slow reader: 256 bytes each 2 ms, so a busy writer meets a full pipe.
  if (slow_) usleep(2000);
  ssize_t n = read(out_fd_, buffer, slow_ ? 256 : sizeof buffer);
  if (n <= 0) return false;
  out_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool BackgroundProcess::WaitForOutput(std::string_view text, int wait_ms) {
  long long deadline = NowMs() + wait_ms;
  while (out_.find(text) == std::string::npos) {
    long long left = deadline - NowMs();
    if (left <= 0 || !ReadSome(static_cast<int>(left))) return false;
  }
  return true;
}

RunResult BackgroundProcess::Finish(int wait_ms) {
  RunResult result;
  long long deadline = NowMs() + wait_ms;
  while (NowMs() < deadline && ReadSome(static_cast<int>(deadline - NowMs()))) {
  }
  int status = 0;
  if (pid_ > 0) {
    // Output has ended or time is up; a process that closed its output gets a moment more.
    long long exit_deadline = std::max(deadline, NowMs() + 1000);
    while (waitpid(pid_, &status, WNOHANG) != pid_) {
      if (NowMs() >= exit_deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      usleep(10000);
    }
    pid_ = -1;
  }
  while (ReadSome(0)) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = out_;
  return result;
}

}  // namespace trolvane::testing
