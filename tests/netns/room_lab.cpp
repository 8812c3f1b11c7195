#include "netns/room_lab.h"

#include <stdexcept>

namespace trolvane::testing {
namespace {

void MustRun(const std::vector<std::string>& command) {
  if (RunCommand(command).status != 0) throw std::runtime_error("room set-up failed");
}

}  // namespace

RoomLab::RoomLab() {
  client_ = lab_.AddNamespace("client");
  room_ = lab_.AddNamespace("room");
  lab_.Link(client_, "198.18.0.1/30", room_, "198.18.0.2/30");
  for (const char* range : {"198.18.64.0/18", "198.18.200.0/24", "198.18.201.0/24"}) {
    MustRun({"ip", "-n", client_, "route", "add", range, "via", "198.18.0.2"});
  }
  // Every address of the range is the room's own; the silent range goes nowhere.
  MustRun({"ip", "-n", room_, "addr", "add", "198.18.64.0/18", "dev", "lo"});
  MustRun({"ip", "-n", room_, "route", "add", "blackhole", "198.18.200.0/24"});
  MustRun({"ip", "-n", room_, "route", "add", "unreachable", "198.18.201.0/24"});
  RunCommand({"sysctl", "-q", "-w", "net.ipv4.ip_forward=1"}, {.prefix = lab_.Exec(room_)});
  for (const char* setting : {"net.ipv4.icmp_ratelimit=0", "net.ipv4.icmp_msgs_per_sec=1000000",
                              "net.ipv4.icmp_msgs_burst=1000000"}) {
    RunCommand({"sysctl", "-q", "-w", setting}, {.prefix = lab_.Exec(room_)});
  }
}

std::string RoomLab::Answering(int i) {
  ++i;  // 198.18.64.0 is the network's own address
  return "198.18." + std::to_string(64 + i / 256) + "." + std::to_string(i % 256);
}

std::string RoomLab::Silent(int i) { return "198.18.200." + std::to_string(i + 1); }
std::string RoomLab::Rejected(int i) { return "198.18.201." + std::to_string(i + 1); }

void RoomLab::AcceptOnlyOn(int port) {
  for (const char* setting : {"net.ipv4.icmp_echo_ignore_all=1", "net.core.somaxconn=65535"}) {
    MustRun({"ip", "netns", "exec", room_, "sysctl", "-q", "-w", setting});
  }
  lab_.ListenInside(room_, port);
}

std::unique_ptr<BackgroundProcess> RoomLab::StartInRoom(
    const std::vector<std::string>& argv) const {
  std::vector<std::string> command = argv;
  command[0] = std::string(TROLVANE_TOOLS_DIR) + "/" + argv[0];
  return std::make_unique<BackgroundProcess>(command, RunOptions{.prefix = lab_.Exec(room_)});
}

RunResult RoomLab::RunProgram(const std::vector<std::string>& arguments, int time_limit_seconds,
                              bool raw_icmp_refused) {
  RunOptions options{.time_limit_seconds = time_limit_seconds,
                     .prefix = lab_.ProgramPrefix(client_)};
  options.raw_icmp_refused = raw_icmp_refused;
  return testing::RunProgram(arguments, options);
}

RunResult RoomLab::RunUnprivileged(const std::vector<std::string>& arguments) {
  RunCommand({"sysctl", "-q", "-w", "net.ipv4.ping_group_range=65534 65534"},
             {.prefix = lab_.Exec(client_)});
  std::vector<std::string> command = {TROLVANE_PROGRAM};
  command.insert(command.end(), arguments.begin(), arguments.end());
  RunOptions options{.time_limit_seconds = 30, .prefix = lab_.Exec(client_)};
  options.prefix.insert(options.prefix.end(),
                        {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  return RunCommand(command, options);
}

}  // namespace trolvane::testing
