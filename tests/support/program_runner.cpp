#include "support/program_runner.h"

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace trolvane::testing {
namespace {

std::string Env(const char* name, const char* fallback = "") {
  const char* v = std::getenv(name);
  return v != nullptr ? v : fallback;
}

std::string WindowsBuildDir() { return Env("TROLVANE_WINDOWS_BUILD_DIR"); }
std::string WineRun() { return Env("TROLVANE_WINE_RUN", TROLVANE_SOURCE_DIR "/scripts/wine-run"); }

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

}  // namespace

bool UnderWindowsBuild() { return Env("TROLVANE_UNDER_TEST") == "windows"; }

RunResult RunCommand(const std::vector<std::string>& command, const RunOptions& options) {
  std::vector<std::string> all = options.prefix;
  all.insert(all.end(), command.begin(), command.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDIN_FILENO);
    if (options.close_stdout) {
      close(STDOUT_FILENO);
    } else {
      dup2(pipe_fds[1], STDOUT_FILENO);
    }
    if (options.stdout_broken_pipe) close(pipe_fds[0]);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  RunResult result;
  if (options.stdout_broken_pipe) close(pipe_fds[0]);
  long long deadline = NowMs() + options.time_limit_seconds * 1000LL;
  bool open_pipe = !options.stdout_broken_pipe;
  while (open_pipe) {
    long long left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{pipe_fds[0], POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    char buffer[4096];
    ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  if (!options.stdout_broken_pipe) close(pipe_fds[0]);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (NowMs() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(10000);
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

RunResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options) {
  std::vector<std::string> command;
  if (UnderWindowsBuild()) {
    command = {WineRun(), WindowsBuildDir() + "/trolvane.exe"};
  } else {
    command = {TROLVANE_PROGRAM};
  }
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, options);
}

RunResult RunWithCommandLine(std::string_view arguments_text, const RunOptions& options) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : arguments_text) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  std::string dir = WindowsBuildDir();
  return RunCommand({WineRun(), dir + "/spawn_exact.exe", dir + "/trolvane.exe", hex}, options);
}

std::string ProgramText(std::string_view utf8) {
  if (!UnderWindowsBuild()) return std::string(utf8);
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP932");
  std::string in(utf8);
  std::string out(in.size() * 2 + 4, '\0');
  char* in_p = in.data();
  std::size_t in_left = in.size();
  char* out_p = out.data();
  std::size_t out_left = out.size();
  std::size_t r = iconv(cd, &in_p, &in_left, &out_p, &out_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("iconv to CP932");
  out.resize(out.size() - out_left);
  return out;
}

std::string ProgramLines(std::initializer_list<std::string_view> utf8_lines) {
  std::string result;
  for (std::string_view line : utf8_lines) {
    result += ProgramText(line);
    result += UnderWindowsBuild() ? "\r\n" : "\n";
  }
  return result;
}

}  // namespace trolvane::testing
