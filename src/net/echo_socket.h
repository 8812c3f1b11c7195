// One raw ICMP socket for echo requests to many addresses: how the host list confirms its
// hosts. Each request carries our identifier and a sequence number of the caller's; what
// comes back is handed up only when it is an intact answer with our identifier, and the
// caller tells by its target and sequence which request it answers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "net/raw_client.h"
#include "net/raw_headers.h"

namespace trolvane {

class TNetEchoSocket : public TNetRawClient {
 public:
  TNetEchoSocket();

  // Sends one echo request to the dotted address. Raises as the raw client's send does
  // (no socket, a refused send).
  void SendRequest(const std::string& address, std::uint16_t sequence);
  // Waits at most timeout ms for the next datagram: true, with the answer, when it is one
  // of ours; false when nothing came or it was somebody else's. Raises ENetSocketError
  // when the receive fails.
  bool Receive(std::int32_t timeout, PacketView* answer);

 private:
  std::array<std::uint8_t, kIcmpAreaSize> receive_area_{};
  std::array<std::uint8_t, kEchoRequestSize> request_{};
};

}  // namespace trolvane
