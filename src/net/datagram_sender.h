// One UDP socket for many datagrams, each to a numeric address: how the host list sends
// its magic packets. Like the UDP client it may reach broadcast addresses, and it never
// sends to 0.0.0.0 or 255.255.255.255, which name no one host. A datagram to an address
// still being resolved waits in the system, holding a share of its socket's send buffer
// until the address resolves or fails (three seconds on Linux); so every kSendsPerSocket
// sends go out on a fresh socket, and a room of PCs that are off never holds a send up.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "platform/winsock.h"

namespace trolvane {

class TDatagramSender {
 public:
  static constexpr int kSendsPerSocket = 64;

  // hear_closed_ports: the machines that answer a datagram with a port unreachable are
  // heard (ClosedPort), where the platform names them.
  explicit TDatagramSender(bool hear_closed_ports = false) : hear_(hear_closed_ports) {}
  ~TDatagramSender();
  TDatagramSender(const TDatagramSender&) = delete;
  TDatagramSender& operator=(const TDatagramSender&) = delete;

  // address in network order, port in host order. 0 when the datagram went out, else the
  // Windows Sockets code of the failure (11001 for a refused address).
  int SendTo(std::uint32_t address, std::uint16_t port, const void* data, int size);

  // Waits at most timeout ms for a machine that said its port is closed to one of our
  // datagrams: its address (network order); none when none did.
  std::optional<std::uint32_t> ClosedPort(std::int32_t timeout_ms);

 private:
  void Retire();

  os::SOCKET socket_ = os::kInvalidSocket;
  int on_socket_ = 0;
  bool hear_;
  // Hearing: the sockets sent from last, kept open for the answers still on their way.
  std::deque<os::SOCKET> retired_;
};

}  // namespace trolvane
