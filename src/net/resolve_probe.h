// What makes the system resolve an address's hardware address: an echo request over one
// ICMP socket, or, where no ICMP socket can be had (no rights), an empty datagram to the
// discard port. Either way the system asks the link first, and a running machine answers:
// an echo reply, or a port unreachable (heard where the platform names its sender).
// A request to an address still being resolved waits in the system, holding a share of
// its socket's send buffer until the address resolves or fails (three seconds on Linux);
// so every kSendsPerSocket sends go out on a fresh socket, and no send ever waits for
// buffer space.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "net/datagram_sender.h"
#include "net/echo_socket.h"

namespace trolvane {

class TResolveProbe {
 public:
  static constexpr int kSendsPerSocket = 64;

  // address in network order. False when the system refused the send (no buffer, no room
  // in its neighbour table): nothing went out.
  bool Send(std::uint32_t address);
  // Waits at most timeout ms for an answer to a request of ours: the address that
  // answered (network order), none when nothing did.
  std::optional<std::uint32_t> Receive(std::int32_t timeout_ms);

 private:
  std::unique_ptr<TNetEchoSocket> echo_ = std::make_unique<TNetEchoSocket>();
  TDatagramSender datagrams_{true};  // a fresh socket every kSendsPerSocket of its own
  int on_socket_ = 0;
  bool icmp_ = true;
  std::uint16_t sequence_ = 0;
};

}  // namespace trolvane
