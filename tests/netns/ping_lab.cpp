#include "netns/ping_lab.h"

#include <sstream>
#include <stdexcept>

namespace trolvane::testing {

PingLab::PingLab() {
  client_ = lab_.AddNamespace("client");
  target_ = lab_.AddNamespace("target");
  lab_.Link(client_, "198.18.0.1/25", target_, "198.18.0.2/25");
  // The MAC the lab's wakes name, so that the MAC check sees the woken machine answer.
  RunCommand({"ip", "-n", target_, "link", "set", "veth0", "address", "02:00:5e:00:53:02"});
  RunCommand({"ip", "-n", client_, "route", "add", "198.18.0.128/25", "via", "198.18.0.2"});
  SetSysctl(target_, "net.ipv4.ip_forward", "1");
  // Every request gets its answer, however closely the tests follow each other.
  SetSysctl(target_, "net.ipv4.icmp_ratelimit", "0");
  program_prefix_ = lab_.ProgramPrefix(client_);
}

void PingLab::SetSysctl(const std::string& ns, const std::string& name,
                        const std::string& value) const {
  RunResult r = RunCommand({"sysctl", "-q", "-w", name + "=" + value}, {.prefix = lab_.Exec(ns)});
  if (r.status != 0) throw std::runtime_error("cannot set " + name + " in " + ns);
}

long PingLab::IcmpCounter(const std::string& ns, const std::string& name) const {
  std::istringstream snmp(RunCommand({"cat", "/proc/net/snmp"}, {.prefix = lab_.Exec(ns)}).out);
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
  std::vector<std::string> command = argv;
  command[0] = std::string(TROLVANE_TOOLS_DIR) + "/" + argv[0];
  return std::make_unique<BackgroundProcess>(command, RunOptions{.prefix = lab_.Exec(target_)});
}

void PingLab::ShieldTarget() {
  SetSysctl(target_, "net.ipv4.icmp_echo_ignore_all", "1");
  // A router that resets for its link too, and sends no redirect that would take it off
  // the path.
  SetSysctl(target_, "net.ipv4.conf.all.send_redirects", "0");
  SetSysctl(target_, "net.ipv4.conf.veth0.send_redirects", "0");
  AddTargetAddress(std::string(kDeafHost) + "/25");
  AddTargetAddress(std::string(kBehindTheTarget) + "/32");
  const std::string rules =
      "add table ip shield; "
      "add chain ip shield input { type filter hook input priority 0; }; "
      "add rule ip shield input ip daddr " +
      std::string(kDeafHost) +
      " drop; "
      "add rule ip shield input ip daddr " +
      std::string(kBehindTheTarget) +
      " tcp dport 3389 reject with tcp reset; "
      "add rule ip shield input tcp dport 22 drop; "
      "add rule ip shield input tcp dport 23 reject with icmp type port-unreachable; "
      "add chain ip shield forward { type filter hook forward priority 0; }; "
      "add rule ip shield forward tcp flags syn reject with tcp reset";
  if (RunCommand({"nft", rules}, {.prefix = lab_.Exec(target_)}).status != 0) {
    throw std::runtime_error("cannot set the target's firewall (nft)");
  }
  lab_.ListenInside(target_, 3389);
}

void PingLab::NameTheTarget() { lab_.SetHosts(client_, "198.18.0.2 wol-target\n"); }

void PingLab::AddTargetAddress(const std::string& cidr) const {
  RunCommand({"ip", "-n", target_, "addr", "add", cidr, "dev", "veth0"});
}

std::uint64_t PingLab::ClientTxPackets() const {
  return lab_.Counter(client_, "lo", "tx_packets") + lab_.Counter(client_, "veth0", "tx_packets");
}

RunResult PingLab::RunProgram(const std::vector<std::string>& arguments, bool unprivileged,
                              const std::vector<std::string>& wrapper) const {
  RunOptions options{.time_limit_seconds = 30, .prefix = lab_.Exec(client_)};
  if (unprivileged) {
    options.prefix.insert(options.prefix.end(),
                          {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  options.prefix.insert(options.prefix.end(), wrapper.begin(), wrapper.end());
  std::vector<std::string> command = {TROLVANE_PROGRAM};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, options);
}

RunResult PingLab::RunBuildUnderTest(const std::vector<std::string>& arguments,
                                     bool raw_icmp_refused, int time_limit_seconds) const {
  RunOptions options{.time_limit_seconds = time_limit_seconds, .prefix = program_prefix_};
  options.raw_icmp_refused = raw_icmp_refused;
  return testing::RunProgram(arguments, options);
}

}  // namespace trolvane::testing
