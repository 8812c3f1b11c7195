#include "support/netns_lab.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/program_runner.h"

namespace trolvane::testing {
namespace {

void MustRun(const std::vector<std::string>& command) {
  RunResult r = RunCommand(command);
  if (r.status != 0) {
    std::string text;
    for (const auto& part : command) text += part + " ";
    throw std::runtime_error("lab set-up failed (" + std::to_string(r.status) + "): " + text);
  }
}

}  // namespace

std::string NetnsLab::UnavailableReason() {
  // The answer holds for the whole run, and the probe costs a namespace.
  static const std::string reason = []() -> std::string {
    if (geteuid() != 0) return "network namespaces need root (CI runs these as root)";
    if (RunCommand({"ip", "netns", "list"}).status != 0) return "`ip netns` does not work here";
    // Creating a namespace can succeed where entering one fails, e.g. in a chroot whose
    // root is not a mount point: only a real `ip netns exec` tells.
    std::string probe = "tv-probe-" + std::to_string(getpid());
    if (RunCommand({"ip", "netns", "add", probe}).status != 0) {
      return "`ip netns add` cannot create a namespace here";
    }
    int entered = RunCommand({"ip", "netns", "exec", probe, "true"}).status;
    RunCommand({"ip", "netns", "delete", probe});
    if (entered != 0) {
      return "`ip netns exec` cannot enter a namespace here (in a chroot, bind-mount its root "
             "onto itself)";
    }
    return {};
  }();
  return reason;
}

NetnsLab::NetnsLab(std::string tag) : tag_(std::move(tag)) {}

NetnsLab::~NetnsLab() {
  for (int fd : listeners_) close(fd);
  for (const auto& [ns, prefix] : wine_prefixes_) {
    RunCommand({"env", "WINEPREFIX=" + prefix, "/usr/lib/wine/wineserver", "-k"},
               {.time_limit_seconds = 20, .prefix = Exec(ns)});
    std::error_code ignored;
    std::filesystem::remove_all(prefix, ignored);
  }
  for (const auto& ns : namespaces_) RunCommand({"ip", "netns", "delete", ns});
  for (const auto& folder : etc_folders_) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
}

void NetnsLab::SetHosts(const std::string& ns, const std::string& lines) {
  const std::filesystem::path etc = std::filesystem::path("/etc/netns") / ns;
  std::filesystem::create_directories(etc);
  etc_folders_.push_back(etc);
  std::ofstream(etc / "nsswitch.conf") << "hosts: files\n";
  std::ofstream(etc / "hosts") << lines;
}

std::string NetnsLab::AddNamespace(const std::string& name) {
  std::string ns = "tv-" + tag_ + "-" + std::to_string(getpid()) + "-" + name;
  MustRun({"ip", "netns", "add", ns});
  namespaces_.push_back(ns);
  MustRun({"ip", "-n", ns, "link", "set", "lo", "up"});
  for (const char* scope : {"all", "default"}) {
    MustRun({"ip", "netns", "exec", ns, "sysctl", "-q", "-w",
             std::string("net.ipv6.conf.") + scope + ".disable_ipv6=1"});
  }
  return ns;
}

void NetnsLab::Link(const std::string& ns_a, const std::string& cidr_a, const std::string& ns_b,
                    const std::string& cidr_b, const std::string& interface) {
  // Created inside the namespaces, so the names never meet the machine's own.
  std::string peer = interface + "p";
  MustRun({"ip", "-n", ns_a, "link", "add", interface, "type", "veth", "peer", "name", peer,
           "netns", ns_b});
  MustRun({"ip", "-n", ns_b, "link", "set", peer, "name", interface});
  for (const auto& [ns, cidr] : {std::pair{ns_a, cidr_a}, std::pair{ns_b, cidr_b}}) {
    if (!cidr.empty()) MustRun({"ip", "-n", ns, "addr", "add", cidr, "brd", "+", "dev", interface});
  }
  MustRun({"ip", "-n", ns_a, "link", "set", interface, "up"});
  MustRun({"ip", "-n", ns_b, "link", "set", interface, "up"});
}

void NetnsLab::AddMacvlan(const std::string& ns, const std::string& lower, const std::string& name,
                          const std::string& mac, const std::string& cidr) {
  MustRun({"ip", "-n", ns, "link", "add", name, "link", lower, "address", mac, "type", "macvlan",
           "mode", "bridge"});
  MustRun({"ip", "-n", ns, "addr", "add", cidr, "brd", "+", "dev", name});
  MustRun({"ip", "-n", ns, "link", "set", name, "up"});
}

void NetnsLab::AddRoute(const std::string& ns, const std::string& destination,
                        const std::string& interface) {
  if (destination == "default" || destination == "0.0.0.0/0") {
    throw std::runtime_error("a lab namespace never gets a default route");
  }
  MustRun({"ip", "-n", ns, "route", "add", destination, "dev", interface});
}

std::vector<std::string> NetnsLab::Exec(const std::string& ns) const {
  return {"ip", "netns", "exec", ns};
}

std::vector<std::string> NetnsLab::ProgramPrefix(const std::string& ns) {
  std::vector<std::string> prefix = Exec(ns);
  if (!UnderWindowsBuild()) return prefix;
  std::string dir = "/tmp/" + ns + "-wine" + std::to_string(wine_prefixes_.size());
  wine_prefixes_.emplace_back(ns, dir);
  prefix.insert(prefix.end(), {"env", "TROLVANE_WINEPREFIX=" + dir});
  return prefix;
}

std::uint64_t NetnsLab::Counter(const std::string& ns, const std::string& interface,
                                const std::string& statistic) const {
  // /sys inside `ip netns exec` shows the namespace's own interfaces.
  RunResult r = RunCommand({"cat", "/sys/class/net/" + interface + "/statistics/" + statistic},
                           {.prefix = Exec(ns)});
  if (r.status != 0) throw std::runtime_error("no counter " + statistic + " on " + interface);
  return std::stoull(r.out);
}

void NetnsLab::ListenInside(const std::string& ns, int port) {
  int fd = -1;
  // A thread of its own enters the namespace; the socket stays there when it ends.
  std::thread([&] {
    int netns = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    sockaddr_in any{AF_INET, htons(static_cast<std::uint16_t>(port)), {}, {}};
    if (netns >= 0 && setns(netns, CLONE_NEWNET) == 0) fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0 &&
        (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 || listen(fd, 65535) != 0)) {
      close(std::exchange(fd, -1));
    }
    if (netns >= 0) close(netns);
  }).join();
  if (fd < 0) throw std::runtime_error("cannot listen in " + ns);
  listeners_.push_back(fd);
}

int NetnsLab::RunInside(const std::string& ns, const std::function<int()>& fn,
                        int time_limit_seconds) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) _exit(125);
    _exit(fn());
  }
  int status = 0;
  for (int waited_ms = 0;; waited_ms += 10) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    if (waited_ms > time_limit_seconds * 1000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(10000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace trolvane::testing
