// A throw-away network lab for tests that must send beyond loopback.
//
// Every namespace gets a unique name (tv-<tag>-<pid>-<name>), loopback up, IPv6 off (so
// that interface counters move only for the test's own traffic) and no default route, so
// a wrong destination has nowhere to go. Links are veth pairs with addresses that the
// test gives, in 198.18.0.0/24. The destructor stops what the lab started (Wine servers
// of its prefixes) and deletes every namespace, also after a failed assertion.
//
//   NetnsLab lab("wake");
//   std::string snd = lab.AddNamespace("snd"), tgt = lab.AddNamespace("tgt");
//   lab.Link(snd, "198.18.0.1/24", tgt, "198.18.0.2/24");  // "veth0" on both sides
//   RunCommand({"ping", "-c1", "198.18.0.2"}, {.prefix = lab.Exec(snd)});
//   lab.Counter(snd, "veth0", "tx_packets");
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace trolvane::testing {

class NetnsLab {
 public:
  // Why no lab can be built here (not root, no `ip netns`, a namespace cannot be entered);
  // empty when it can. Probes once per process with a namespace of its own.
  static std::string UnavailableReason();

  // tag names the suite, e.g. the worktree; setup failures raise std::runtime_error.
  explicit NetnsLab(std::string tag);
  ~NetnsLab();
  NetnsLab(const NetnsLab&) = delete;
  NetnsLab& operator=(const NetnsLab&) = delete;

  // Creates a namespace and returns its full name.
  std::string AddNamespace(const std::string& name);
  // Joins two namespaces with a veth pair; each end is called `interface` and gets the
  // address in CIDR notation (e.g. "198.18.0.1/24"); an empty one gives no address.
  void Link(const std::string& ns_a, const std::string& cidr_a, const std::string& ns_b,
            const std::string& cidr_b, const std::string& interface = "veth0");

  // A machine of its own on the link of `lower` in ns: a macvlan with this MAC
  // ("02:00:00:00:00:01") and address (CIDR).
  void AddMacvlan(const std::string& ns, const std::string& lower, const std::string& name,
                  const std::string& mac, const std::string& cidr);

  // A route to destination (e.g. "255.255.255.255/32") through the interface; never
  // give a default route, which would let mistakes reach beyond the lab.
  void AddRoute(const std::string& ns, const std::string& destination,
                const std::string& interface = "veth0");

  // Makes the namespace's resolver read only these hosts-file lines (`ip netns exec`
  // mounts /etc/netns/<ns>/ over /etc), so that a name resolves without leaving it.
  void SetHosts(const std::string& ns, const std::string& lines);

  // Command prefix that runs a command inside the namespace.
  std::vector<std::string> Exec(const std::string& ns) const;
  // Like Exec, for the program under test: under the Windows build it also gives Wine a
  // prefix of its own, so that Wine's server (which owns the sockets) starts inside the
  // namespace too. The lab stops that server and removes the prefix at the end.
  std::vector<std::string> ProgramPrefix(const std::string& ns);

  // A TCP socket listening on port at every address of the namespace: the system completes
  // each connection (65,535 at most) without anyone accepting it. Closed with the lab.
  void ListenInside(const std::string& ns, int port);

  // An interface statistic such as "tx_packets" or "rx_bytes".
  std::uint64_t Counter(const std::string& ns, const std::string& interface,
                        const std::string& statistic) const;

  // Runs fn in a child process that has joined the namespace; fn's result is the child's
  // exit status (-1 when the child could not run or was killed after time_limit_seconds).
  static int RunInside(const std::string& ns, const std::function<int()>& fn,
                       int time_limit_seconds = 20);

 private:
  std::string tag_;
  std::vector<std::string> namespaces_;
  std::vector<std::pair<std::string, std::string>> wine_prefixes_;  // namespace, prefix
  std::vector<std::string> etc_folders_;
  std::vector<int> listeners_;
};

}  // namespace trolvane::testing
