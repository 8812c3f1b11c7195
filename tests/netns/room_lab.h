// A room of PCs for the host list, on the shared namespace lab: the program's namespace
// ("client", 198.18.0.1/30, no default route) routes two ranges to the "room" namespace
// (198.18.0.2/30): 198.18.64.0/18, whose 16,384 addresses the room owns on its loopback
// and answers for, 198.18.200.0/24, which it drops without a word, and 198.18.201.0/24,
// which it rejects with a host-unreachable message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/background_process.h"
#include "support/netns_lab.h"
#include "support/program_runner.h"

namespace trolvane::testing {

class RoomLab {
 public:
  RoomLab();

  const std::string& client() const { return client_; }

  // The i-th answering address (0 to 16,382) and the i-th silent one (0 to 253).
  static std::string Answering(int i);
  static std::string Silent(int i);
  static std::string Rejected(int i);

  // Every answering address ignores echo requests and accepts TCP connections on port,
  // as PCs whose firewall lets one service through.
  void AcceptOnlyOn(int port);
  struct LinkHost {
    std::string address;
    std::string mac;  // as the program writes it, "02-00-00-00-00-01"
    int bits;
  };
  // Four on 198.18.1.0/24 (the last drops echo requests, as a firewall does), then three
  // on 198.18.32.0/20, the last in its last 320 addresses, then two on a /16 of its own
  // (veth4: 198.19.0.1/16, with a nested 198.19.200.1/24), the last late in it.
  static const std::vector<LinkHost>& LinkHosts();
  void LinkRoom();
  // The link as routers and VPNs leave it: a narrower /25 route inside 198.18.1.0/24, the
  // link's hosts 198.18.1.16/28 and the routed 198.18.64.0/24 through nexthop objects that
  // the route answer names alone (compat mode 0), 198.18.1.64/26 routed through a gateway
  // on the link, a tunnel 198.18.13.1/24 (tn0) and a NOARP link 198.18.14.1/24 (na0).
  // A PC that is off, on 198.18.1.0/24 (after LinkRoom): its card hears frames but answers
  // no address resolution.
  static const LinkHost& OffPc();
  // Magic packets on port 9 that reached the off PC; link broadcasts to port 9 that the
  // client sent; and the client's neighbour table emptied, as after a night.
  std::uint64_t OffPcHeard() const;
  std::uint64_t ClientLinkBroadcasts() const;
  void ForgetNeighbours();
  // The README's room 12 on a link of its own (after LinkRoom): the client is
  // 192.168.12.5/24, the PCs .21, .22 and .23 have the README's MACs, and the client's
  // hosts file names .23 pc-12-03.
  void ReadmeRoom();
  // A flat room on a link of its own: the client is 198.18.16.1/22, the room answers for
  // FlatRunning(0..163) (one MAC) and nobody for the rest of the /22.
  void FlatRoom();
  static std::string FlatRunning(int i);
  static std::string FlatOff(int i);  // 0 to 819
  // The client's own firewall refuses datagrams to the address (its sends fail).
  void RefuseDatagramsTo(const std::string& address);
  // The host drops the first address resolution request it hears.
  void AnswerSecondRequestOnly(int host);
  // An entry in the client's neighbour table: stale, as the system keeps one for long,
  // reachable (a machine that left a moment ago), or set by hand ("noarp"); "none"
  // deletes it. veth3 is a second link of the client's, on an overlapping 198.18.1.0/24.
  void AddStaleEntry(const std::string& address, const std::string& mac,
                     const std::string& state = "stale", const std::string& link = "veth1");
  // A shell command in the client's namespace, or the room's, beside the test.
  std::unique_ptr<BackgroundProcess> Shell(const std::string& command, bool in_room = false) const;
  // Packets the client sent to 198.18.1.64/26, which it routes through 198.18.1.21.
  std::uint64_t ClientSentToRoutedRange() const;
  // Packets the client namespace has sent on every interface (after LinkRoom).
  std::uint64_t ClientTxPackets() const;

  // The room's kernel answers no pings; a responder answers each ms late, for seconds.
  std::unique_ptr<BackgroundProcess> AnswerLate(int ms, int seconds);
  // Captures, for seconds, the address resolution requests the client sends on its link
  // (each new address asked sets one off at once): a line each, beginning with its time in
  // seconds (microsecond precision).
  std::unique_ptr<BackgroundProcess> CaptureResolutions(int seconds) const;
  // Starts a helper program of the build inside the room.
  std::unique_ptr<BackgroundProcess> StartInRoom(const std::vector<std::string>& argv) const;
  // The build under test in the client namespace, every run in one Wine session;
  // raw_icmp_refused as in RunOptions. Unprivileged runs the native program as `nobody`,
  // who may open no ICMP socket there. wrapper goes before the program (a command that runs
  // what follows it).
  RunResult RunProgram(const std::vector<std::string>& arguments, int time_limit_seconds = 60,
                       bool raw_icmp_refused = false, bool unprivileged = false,
                       const std::vector<std::string>& wrapper = {});
  // The runs that follow write to a non-blocking pipe that is read slowly.
  void ReadOutputSlowly() { slow_output_ = true; }
  // The native program unprivileged, where the ping socket is allowed to it.
  RunResult RunWithPingSocket(const std::vector<std::string>& arguments);

 private:
  NetnsLab lab_{"room"};
  std::string client_;
  std::string room_;
  std::vector<std::string> program_prefix_;
  bool slow_output_ = false;
};

}  // namespace trolvane::testing
