// What makes the system resolve an address's hardware address: an echo request over one
// ICMP socket, or, where no ICMP socket can be had (no rights), an empty datagram to the
// discard port. Either way the system asks the link first; what answers does not matter.
#pragma once

#include <cstdint>

#include "net/datagram_sender.h"
#include "net/echo_socket.h"

namespace trolvane {

class TResolveProbe {
 public:
  // address in network order. A send that fails is passed over: the address stays
  // unresolved, which is what the caller reads.
  void Send(std::uint32_t address);
  // Passes the time until `until` (microseconds on os::MicroTicks), reading and dropping
  // what comes to the ICMP socket meanwhile, so that its queue never fills.
  void WaitUntil(std::uint64_t until);

 private:
  TNetEchoSocket echo_;
  TDatagramSender datagrams_;
  bool icmp_ = true;
  std::uint16_t sequence_ = 0;
};

}  // namespace trolvane
