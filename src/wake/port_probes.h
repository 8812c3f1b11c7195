// The connection attempts of "/c" beside the echo requests of a wait, for one host and for
// a list alike: each turn of a host opens one attempt per port, and an attempt that is
// accepted or refused by the host is heard as its answer, just as an echo reply is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "net/tcp_prober.h"
#include "wake/confirm_schedule.h"

namespace trolvane {

class PortProbes {
 public:
  using IcmpReceive = std::function<std::optional<HostAnswer>(std::int32_t timeout)>;

  // addresses: each host's address (network order), by its index in the wait.
  PortProbes(std::vector<std::uint16_t> ports, const std::vector<std::uint32_t>& addresses);
  ~PortProbes();
  PortProbes(const PortProbes&) = delete;
  PortProbes& operator=(const PortProbes&) = delete;

  bool Any() const { return prober_ != nullptr; }
  // No ICMP socket can be had: the ports alone are heard from now on.
  void IcmpLost() { icmp_lost_ = true; }
  bool IcmpIsLost() const { return icmp_lost_; }

  // The engine's probe seam: the host's attempt on its port-th port; unset without ports.
  std::function<void(std::size_t index, std::size_t port)> Seam();
  // The next answer within timeout ms: one heard on a port, or what icmp gives; while
  // attempts are open the ICMP wait is cut into short slices, so that both are heard.
  std::optional<HostAnswer> Receive(std::int32_t timeout, const IcmpReceive& icmp);

 private:
  void Collect(std::int32_t timeout);

  std::vector<std::uint16_t> ports_;
  std::unordered_map<std::uint32_t, std::size_t> index_of_;
  std::vector<std::uint32_t> addresses_;
  std::unique_ptr<TTcpProber> prober_;
  std::vector<ProbeResult> finished_;
  std::deque<HostAnswer> heard_;
  bool icmp_lost_ = false;
};

}  // namespace trolvane
