// One raw ICMP socket for echo requests to many addresses: how the host list confirms its
// hosts. Each request carries our identifier and a sequence number of the caller's; what
// comes back is handed up only when it is an intact answer with our identifier, and the
// caller tells by its target and sequence which request it answers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "net/raw_client.h"
#include "net/raw_headers.h"

namespace trolvane {

class TNetEchoSocket : public TNetRawClient {
 public:
  // addresses: how many are asked each second, for which the receive buffer is sized when
  // the socket opens (a second of their answers must fit while the program is held up).
  explicit TNetEchoSocket(std::size_t addresses = 1);

  // Sends one echo request to the address (network order). Raises as the raw client's
  // send does (no socket, a refused send, a full buffer: at once, never waiting for room).
  void SendRequest(std::uint32_t address, std::uint16_t sequence);
  // Waits at most timeout ms for the next datagram: true, with the answer, when it is one
  // of ours; false when nothing came or it was somebody else's (a poll within a
  // millisecond of the last look finds nothing, without asking). Raises ENetSocketError
  // when the receive fails. Each wake-up takes every datagram already waiting (up to a
  // bound), so that a slow receive path does not let the system's buffer overflow.
  bool Receive(std::int32_t timeout, PacketView* answer);

 private:
  TNetSocketHandle& Handle();
  // One datagram: false when the batch ends (nothing more, or a failure after the first).
  bool TakeOne(bool first);
  // Whether another datagram waits, asked without waiting.
  bool MoreWaiting();
  // Takes what waits, up to a batch in all with the `taken` already.
  void TakeWaiting(int taken);

  std::size_t addresses_;
  TNetSocketHandle* handle_ = nullptr;
  // A socket that does not block is read until it runs dry, without a readiness test
  // before each datagram (both cost a system call, and a slow one under Wine).
  bool non_blocking_ = false;
  std::uint32_t sends_ = 0;
  std::uint64_t taken_at_us_ = 0;  // the last taking of what waited
  std::deque<PacketView> answers_;
  std::array<std::uint8_t, kIcmpAreaSize> receive_area_{};
  std::array<std::uint8_t, kEchoRequestSize> request_{};
};

}  // namespace trolvane
