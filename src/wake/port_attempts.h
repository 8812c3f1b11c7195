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

class PortAttempts {
 public:
  using IcmpReceive = std::function<std::optional<HostAnswer>(std::int32_t timeout)>;

  // addresses: each host's address (network order), by its index in the wait.
  PortAttempts(std::vector<std::uint16_t> ports, const std::vector<std::uint32_t>& addresses);
  ~PortAttempts();
  PortAttempts(const PortAttempts&) = delete;
  PortAttempts& operator=(const PortAttempts&) = delete;

  bool Any() const { return prober_ != nullptr; }
  // No ICMP socket can be had: the ports alone are heard from now on.
  void IcmpLost() { icmp_lost_ = true; }
  bool IcmpIsLost() const { return icmp_lost_; }

  // The host's attempt on its port-th port; one that found no socket waits for the host's
  // next turn.
  void Start(std::size_t index, std::size_t port) {
    prober_->Start(addresses_[index], ports_[port]);
  }
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
