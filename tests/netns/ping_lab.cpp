#include "netns/ping_lab.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

namespace trolvane::testing {
namespace {

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  std::vector<char*> c_args;
  for (auto& a : args) c_args.push_back(a.data());
  c_args.push_back(nullptr);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::execvp(c_args[0], c_args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  out_ = fds[0];
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) ::close(out_);
}

void BackgroundProcess::ReadFor(int milliseconds) {
  if (out_ < 0) return;
  pollfd p{out_, POLLIN, 0};
  if (::poll(&p, 1, milliseconds) <= 0) return;
  char chunk[512];
  ssize_t n = ::read(out_, chunk, sizeof(chunk));
  if (n > 0) {
    output_.append(chunk, static_cast<std::size_t>(n));
  } else {
    ::close(out_);
    out_ = -1;
  }
}

bool BackgroundProcess::WaitForLine(const std::string& line, int seconds) {
  const long long deadline = NowMs() + seconds * 1000LL;
  while (output_.find(line + "\n") == std::string::npos) {
    long long left = deadline - NowMs();
    if (left <= 0 || out_ < 0) return false;
    ReadFor(static_cast<int>(left));
  }
  return true;
}

std::string BackgroundProcess::Finish(int seconds) {
  const long long deadline = NowMs() + seconds * 1000LL;
  while (out_ >= 0 && NowMs() < deadline) ReadFor(static_cast<int>(deadline - NowMs()));
  return output_;
}

PingLab::PingLab() {
  const std::string id = std::to_string(::getpid());
  client_ = "trolvane-icmp-client-" + id;
  target_ = "trolvane-icmp-target-" + id;
  const std::string client_if = "icmpc" + id;
  const std::string target_if = "icmpt" + id;
  ok_ = Run({"ip", "netns", "add", client_}) && Run({"ip", "netns", "add", target_}) &&
        Run({"ip", "-n", client_, "link", "add", client_if, "type", "veth", "peer", "name",
             target_if, "netns", target_}) &&
        Run({"ip", "-n", client_, "addr", "add", "198.18.0.1/25", "dev", client_if}) &&
        Run({"ip", "-n", target_, "addr", "add", "198.18.0.2/25", "dev", target_if}) &&
        Run({"ip", "-n", client_, "link", "set", client_if, "up"}) &&
        Run({"ip", "-n", target_, "link", "set", target_if, "up"}) &&
        Run({"ip", "-n", client_, "link", "set", "lo", "up"}) &&
        Run({"ip", "-n", target_, "link", "set", "lo", "up"}) &&
        Run({"ip", "-n", client_, "route", "add", "198.18.0.128/25", "via", kTargetAddress}) &&
        SetSysctl(target_, "net/ipv4/ip_forward", "1") &&
        // Every request gets its answer, however the tests follow each other.
        SetSysctl(target_, "net/ipv4/icmp_ratelimit", "0");
}

PingLab::~PingLab() {
  Run({"ip", "netns", "delete", client_});
  Run({"ip", "netns", "delete", target_});
}

bool PingLab::Run(const std::vector<std::string>& argv) const {
  return RunCommand(argv).status == 0;
}

RunResult PingLab::In(const std::string& ns, const std::vector<std::string>& argv,
                      int time_limit_seconds) const {
  RunOptions options;
  options.prefix = {"ip", "netns", "exec", ns};
  options.time_limit_seconds = time_limit_seconds;
  return RunCommand(argv, options);
}

bool PingLab::SetSysctl(const std::string& ns, const std::string& path,
                        const std::string& value) const {
  return In(ns, {"sh", "-c", "echo '" + value + "' > /proc/sys/" + path}).status == 0;
}

long PingLab::IcmpCounter(const std::string& ns, const std::string& name) const {
  std::istringstream snmp(In(ns, {"cat", "/proc/net/snmp"}).out);
  std::string names;
  std::string values;
  while (std::getline(snmp, names) && names.rfind("IcmpMsg:", 0) != 0) {
  }
  std::getline(snmp, values);
  std::istringstream n(names);
  std::istringstream v(values);
  std::string key;
  std::string value;
  while (n >> key && v >> value) {
    if (key == name) return std::stol(value);
  }
  return 0;  // the kernel lists only the types it has counted
}

std::unique_ptr<BackgroundProcess> PingLab::StartInTarget(
    const std::vector<std::string>& argv) const {
  std::vector<std::string> command = {"ip", "netns", "exec", target_,
                                      std::string(TROLVANE_TOOLS_DIR) + "/" + argv[0]};
  command.insert(command.end(), argv.begin() + 1, argv.end());
  return std::make_unique<BackgroundProcess>(command);
}

RunResult PingLab::RunProgram(const std::vector<std::string>& arguments, bool unprivileged,
                              const std::vector<std::string>& wrapper) const {
  RunOptions options;
  options.prefix = {"ip", "netns", "exec", client_};
  if (unprivileged) {
    options.prefix.insert(options.prefix.end(),
                          {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  options.prefix.insert(options.prefix.end(), wrapper.begin(), wrapper.end());
  options.time_limit_seconds = 30;
  std::vector<std::string> command = {TROLVANE_PROGRAM};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, options);
}

}  // namespace trolvane::testing
