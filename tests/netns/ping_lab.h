// The confirmation's lab, on the shared namespace lab: the program's namespace
// ("client", 198.18.0.1/25, no default route) and a target host (198.18.0.2/25) that
// also routes to the other half of 198.18.0.0/24, where nothing lives, so that its
// answer there is "net unreachable".
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/background_process.h"
#include "support/netns_lab.h"
#include "support/program_runner.h"

namespace trolvane::testing {

class PingLab {
 public:
  PingLab();

  const std::string& client() const { return client_; }
  const std::string& target() const { return target_; }

  void SetSysctl(const std::string& ns, const std::string& name, const std::string& value) const;
  // The client's resolver knows the target as "wol-target", and nothing else.
  void NameTheTarget();
  // A firewall in the target such as a Windows PC has: its kernel ignores echo requests,
  // TCP port 3389 listens, 445 is closed (a reset), 22 dropped, 23 rejected with an ICMP
  // port-unreachable (no reset), and a second address, kDeafHost, drops everything. For
  // the client, kBehindTheTarget is a host routed through the target, for which the
  // target's firewall refuses port 3389 with a reset. As a router, the target resets
  // every TCP connection it would forward, also back onto its link.
  void ShieldTarget();
  static constexpr char kDeafHost[] = "198.18.0.3";
  static constexpr char kBehindTheTarget[] = "198.18.0.130";
  // Gives the target another address on its link (CIDR, e.g. "198.18.0.4/25").
  void AddTargetAddress(const std::string& cidr) const;
  std::uint64_t ClientTxPackets() const;  // sent by the client namespace, loopback included
  // An ICMP counter of /proc/net/snmp ("IcmpMsg" row, e.g. "InType8") in a namespace.
  long IcmpCounter(const std::string& ns, const std::string& name) const;
  // Starts a helper program of the build inside the target namespace.
  std::unique_ptr<BackgroundProcess> StartInTarget(const std::vector<std::string>& argv) const;
  // The native program in the client namespace; as `nobody` when unprivileged. wrapper
  // goes between the namespace and the program (e.g. a tracer).
  RunResult RunProgram(const std::vector<std::string>& arguments, bool unprivileged = false,
                       const std::vector<std::string>& wrapper = {}) const;
  // The build under test in the client namespace: natively as RunProgram, the Windows
  // build under Wine with a prefix of the lab's own; raw_icmp_refused as in RunOptions.
  RunResult RunBuildUnderTest(const std::vector<std::string>& arguments,
                              bool raw_icmp_refused = false, int time_limit_seconds = 60) const;

 private:
  NetnsLab lab_{"icmp"};
  std::string client_;
  std::string target_;
  std::vector<std::string> program_prefix_;
};

// A case with a lab of its own, skipped with the reason where a namespace cannot be had.
class PingLabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<PingLab>();
  }

  std::unique_ptr<PingLab> lab_;
};

}  // namespace trolvane::testing
