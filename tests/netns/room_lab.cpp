#include "netns/room_lab.h"

#include <stdexcept>

namespace trolvane::testing {
namespace {

void MustRun(const std::vector<std::string>& command) {
  if (RunCommand(command).status != 0) throw std::runtime_error("room set-up failed");
}

// A named counter of the lab's nft table.
std::uint64_t NamedCounter(const std::vector<std::string>& prefix, const std::string& name) {
  std::vector<std::string> command = prefix;
  command.insert(command.end(), {"nft", "list", "counter", "inet", "lab", name});
  const std::string out = RunCommand(command).out;
  const std::size_t at = out.find("packets ");
  return at == std::string::npos ? ~0ull : std::stoull(out.substr(at + 8));
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

const std::vector<RoomLab::LinkHost>& RoomLab::LinkHosts() {
  static const std::vector<LinkHost> hosts = {
      {"198.18.1.21", "02-00-00-00-00-01", 24},   {"198.18.1.22", "02-00-00-00-00-02", 24},
      {"198.18.1.130", "02-00-00-00-00-03", 24},  {"198.18.1.254", "02-00-00-00-00-04", 24},
      {"198.18.32.50", "02-00-00-00-00-05", 20},  {"198.18.40.7", "02-00-00-00-00-06", 20},
      {"198.18.47.250", "02-00-00-00-00-07", 20}, {"198.19.0.20", "02-00-00-00-00-08", 16},
      {"198.19.200.10", "02-00-00-00-00-09", 16},
  };
  return hosts;
}

void RoomLab::LinkRoom() {
  lab_.Link(client_, "198.18.1.1/24", room_, "", "veth1");
  MustRun({"ip", "-n", client_, "addr", "add", "198.18.32.1/20", "brd", "+", "dev", "veth1"});
  lab_.Link(client_, "198.19.0.1/16", room_, "", "veth4");
  MustRun({"ip", "-n", client_, "addr", "add", "198.19.200.1/24", "brd", "+", "dev", "veth4"});
  // Each address answered by its own MAC only, and announced only by it.
  for (const char* setting :
       {"net.ipv4.conf.all.arp_ignore=1", "net.ipv4.conf.all.arp_announce=2"}) {
    MustRun({"ip", "netns", "exec", room_, "sysctl", "-q", "-w", setting});
  }
  // A stale entry the system re-checks fails within four seconds, not eight, or confirms
  // its machine after three: later than a sweep's own end.
  for (const char* setting :
       {"net.ipv4.neigh.veth1.delay_first_probe_time=3", "net.ipv4.neigh.veth1.ucast_solicit=1"}) {
    MustRun({"ip", "netns", "exec", client_, "sysctl", "-q", "-w", setting});
  }
  int n = 0;
  for (const LinkHost& h : LinkHosts()) {
    std::string mac = h.mac;
    for (char& c : mac) c = c == '-' ? ':' : c;
    lab_.AddMacvlan(room_, h.bits == 16 ? "veth4" : "veth1", "pc" + std::to_string(++n), mac,
                    h.address + "/" + std::to_string(h.bits));
  }
  std::string mac = OffPc().mac;
  for (char& c : mac) c = c == '-' ? ':' : c;
  lab_.AddMacvlan(room_, "veth1", "pcoff", mac, OffPc().address + "/24");
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {"sysctl", "-q", "-w", "net.ipv4.nexthop_compat_mode=0"},
           {"ip", "route", "add", "198.18.1.0/25", "dev", "veth1", "scope", "link"},
           {"ip", "nexthop", "add", "id", "5", "via", "198.18.0.2", "dev", "veth0"},
           {"ip", "route", "add", "198.18.64.0/24", "nhid", "5"},
           {"ip", "nexthop", "add", "id", "7", "dev", "veth1"},
           {"ip", "route", "add", "198.18.1.16/28", "nhid", "7"},
           {"ip", "route", "add", "198.18.1.64/26", "via", "198.18.1.21"},
           {"ip", "link", "add", "na0", "type", "veth", "peer", "name", "na1"},
           {"ip", "link", "set", "na0", "arp", "off", "up"},  // broadcast capable, NOARP
           {"ip", "addr", "add", "198.18.14.1/24", "dev", "na0"},
           {"ip", "tuntap", "add", "dev", "tn0", "mode", "tun"},
           {"ip", "addr", "add", "198.18.13.1/24", "dev", "tn0"},
           {"ip", "link", "set", "tn0", "up"}}) {
    std::vector<std::string> in_client = lab_.Exec(client_);
    in_client.insert(in_client.end(), command.begin(), command.end());
    MustRun(in_client);
  }
  lab_.Link(client_, "", room_, "", "veth3");
  MustRun({"ip", "-n", client_, "addr", "add", "198.18.1.201/24", "dev", "veth3", "noprefixroute"});
  MustRun({"ip", "-n", room_, "link", "set", "pcoff", "arp", "off"});
  for (const std::string& command : std::vector<std::string>{
           "add table inet lab", "add chain inet lab input { type filter hook input priority 0; }",
           "add rule inet lab input ip daddr " + LinkHosts()[3].address +
               " icmp type echo-request drop",
           "add counter inet lab heard",
           "add rule inet lab input iifname pcoff udp dport 9 counter name heard"}) {
    MustRun({"ip", "netns", "exec", room_, "nft", command});
  }
  for (const std::string& command : std::vector<std::string>{
           "add table inet lab",
           "add chain inet lab output { type filter hook output priority 0; }",
           "add counter inet lab broadcasts", "add counter inet lab routed",
           "add rule inet lab output ip daddr 198.18.1.64/26 counter name routed",
           "add rule inet lab output ip daddr { 198.18.1.127, 198.18.1.255, 198.18.13.255, "
           "198.18.47.255, 198.18.64.255 } udp dport 9 counter name broadcasts"}) {
    MustRun({"ip", "netns", "exec", client_, "nft", command});
  }
}

const RoomLab::LinkHost& RoomLab::OffPc() {
  static const LinkHost pc = {"198.18.1.40", "02-00-00-00-00-40", 24};
  return pc;
}

std::uint64_t RoomLab::OffPcHeard() const { return NamedCounter(lab_.Exec(room_), "heard"); }

std::uint64_t RoomLab::ClientLinkBroadcasts() const {
  return NamedCounter(lab_.Exec(client_), "broadcasts");
}

void RoomLab::RefuseDatagramsTo(const std::string& address) {
  for (const std::string& command : std::vector<std::string>{
           "add table inet refuse",
           "add chain inet refuse output { type filter hook output priority 0; }",
           "add rule inet refuse output ip daddr " + address + " udp dport 7 drop"}) {
    MustRun({"ip", "netns", "exec", client_, "nft", command});
  }
}

void RoomLab::ForgetNeighbours() { MustRun({"ip", "-n", client_, "neigh", "flush", "all"}); }
void RoomLab::AnswerSecondRequestOnly(int host) {
  for (const std::string& command : std::vector<std::string>{
           "add table arp lab", "add chain arp lab input { type filter hook input priority 0; }",
           // Each machine on the link hears every broadcast: only its own copy counts.
           "add rule arp lab input iifname pc" + std::to_string(host + 1) + " arp daddr ip " +
               LinkHosts()[host].address + " quota until 28 bytes drop"}) {
    MustRun({"ip", "netns", "exec", room_, "nft", command});
  }
}

void RoomLab::AddStaleEntry(const std::string& address, const std::string& mac,
                            const std::string& state, const std::string& link) {
  std::string lladdr = mac;
  for (char& c : lladdr) c = c == '-' ? ':' : c;
  if (state == "none") {
    MustRun({"ip", "-n", client_, "neigh", "del", address, "dev", link});
    return;
  }
  MustRun({"ip", "-n", client_, "neigh", "replace", address, "lladdr", lladdr, "dev", link, "nud",
           state});
}

std::unique_ptr<BackgroundProcess> RoomLab::Shell(const std::string& command, bool in_room) const {
  return std::make_unique<BackgroundProcess>(
      std::vector<std::string>{"sh", "-c", command},
      RunOptions{.prefix = lab_.Exec(in_room ? room_ : client_)});
}

std::uint64_t RoomLab::ClientSentToRoutedRange() const {
  return NamedCounter(lab_.Exec(client_), "routed");
}

void RoomLab::ReadmeRoom() {
  lab_.Link(client_, "192.168.12.5/24", room_, "", "veth12");
  int n = 0;
  for (const char* mac : {"00:1a:2b:3c:4d:01", "00:1a:2b:3c:4d:02", "00:1a:2b:3c:4d:03"}) {
    ++n;
    lab_.AddMacvlan(room_, "veth12", "pc12-" + std::to_string(n), mac,
                    "192.168.12.2" + std::to_string(n) + "/24");
  }
  lab_.SetHosts(client_, "192.168.12.23 pc-12-03\n");
}

void RoomLab::FlatRoom() {
  lab_.Link(client_, "198.18.16.1/22", room_, "", "veth2");
  std::string batch;
  for (int i = 0; i < 164; ++i) batch += "addr add " + FlatRunning(i) + "/22 dev veth2\n";
  MustRun({"sh", "-c", "printf '" + batch + "' | ip -n " + room_ + " -batch -"});
}

std::string RoomLab::FlatRunning(int i) { return "198.18.17." + std::to_string(10 + i); }
std::string RoomLab::FlatOff(int i) {
  const int n = i + 2 < 256 + 10 ? i + 2 : i + 2 + 164;  // around the running ones
  return "198.18." + std::to_string(16 + n / 256) + "." + std::to_string(n % 256);
}

std::uint64_t RoomLab::ClientTxPackets() const {
  return lab_.Counter(client_, "lo", "tx_packets") + lab_.Counter(client_, "veth0", "tx_packets") +
         lab_.Counter(client_, "veth1", "tx_packets");
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

std::unique_ptr<BackgroundProcess> RoomLab::AnswerLate(int ms, int seconds) {
  MustRun({"ip", "netns", "exec", room_, "sysctl", "-q", "-w", "net.ipv4.icmp_echo_ignore_all=1"});
  return StartInRoom({"echo_responder", std::to_string(seconds), "--delay", std::to_string(ms)});
}

std::unique_ptr<BackgroundProcess> RoomLab::CaptureResolutions(int seconds) const {
  return std::make_unique<BackgroundProcess>(
      std::vector<std::string>{"timeout", std::to_string(seconds), "tcpdump", "-i", "veth1", "-nn",
                               "-tt", "--time-stamp-precision=micro", "-l", "-q", "arp[6:2] == 1"},
      RunOptions{.prefix = lab_.Exec(client_)});
}

std::unique_ptr<BackgroundProcess> RoomLab::StartInRoom(
    const std::vector<std::string>& argv) const {
  std::vector<std::string> command = argv;
  command[0] = std::string(TROLVANE_TOOLS_DIR) + "/" + argv[0];
  return std::make_unique<BackgroundProcess>(command, RunOptions{.prefix = lab_.Exec(room_)});
}

RunResult RoomLab::RunProgram(const std::vector<std::string>& arguments, int time_limit_seconds,
                              bool raw_icmp_refused, bool unprivileged,
                              const std::vector<std::string>& wrapper) {
  // One Wine session for the lab's runs, as a user's runs share one.
  if (program_prefix_.empty()) program_prefix_ = lab_.ProgramPrefix(client_);
  RunOptions options{.time_limit_seconds = time_limit_seconds, .prefix = program_prefix_};
  if (unprivileged) {
    options.prefix.insert(options.prefix.end(),
                          {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  options.prefix.insert(options.prefix.end(), wrapper.begin(), wrapper.end());
  options.raw_icmp_refused = raw_icmp_refused;
  options.stdout_slow_nonblocking = slow_output_;
  return testing::RunProgram(arguments, options);
}

RunResult RoomLab::RunWithPingSocket(const std::vector<std::string>& arguments) {
  RunCommand({"sysctl", "-q", "-w", "net.ipv4.ping_group_range=65534 65534"},
             {.prefix = lab_.Exec(client_)});
  return RunProgram(arguments, 30, false, true);
}

}  // namespace trolvane::testing
