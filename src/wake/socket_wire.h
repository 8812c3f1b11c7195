// The wire of a wake run on this machine's sockets: the magic packets on one datagram
// socket, the echo requests through an exchange (the single host's ICMP client, or one
// echo socket for a whole list), the connection attempts of "/c", the system's neighbour
// table and its clock.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "net/datagram_sender.h"
#include "net/echo_socket.h"
#include "net/icmp_client.h"
#include "net/tcp_prober.h"
#include "wake/line_output.h"
#include "wake/run_settings.h"
#include "wake/wait.h"
#include "wake/wire.h"

namespace trolvane {

// How echo requests go and their answers come back; each raises what the socket layer
// raises.
class EchoExchange {
 public:
  virtual ~EchoExchange() = default;
  virtual void Send(std::uint32_t address, std::uint16_t sequence) = 0;
  // An answer of ours within timeout ms, with the address its request went to.
  virtual std::optional<Heard> Receive(std::int32_t timeout_ms) = 0;
};

// The single host's: one ICMP client, whose series hears the answer to any of its requests.
class ClientExchange : public EchoExchange {
 public:
  explicit ClientExchange(std::uint32_t host);
  void Send(std::uint32_t address, std::uint16_t sequence) override;
  std::optional<Heard> Receive(std::int32_t timeout_ms) override;

 private:
  std::uint32_t host_;
  TNetIcmpClient client_;
};

// A list's: one socket for every address, each answer matched by the roster.
class SocketExchange : public EchoExchange {
 public:
  explicit SocketExchange(std::size_t addresses) : socket_(addresses) {}
  void Send(std::uint32_t address, std::uint16_t sequence) override {
    socket_.SendRequest(address, sequence);
  }
  std::optional<Heard> Receive(std::int32_t timeout_ms) override;

 private:
  TNetEchoSocket socket_;
};

class SocketWire : public Wire {
 public:
  // ports: whether connection attempts will be made ("/c").
  SocketWire(EchoExchange& echo, bool ports);

  std::uint64_t Clock() override;
  void Pause(std::uint64_t us) override;
  Sent Datagram(std::uint32_t address, std::uint16_t port, const os::HardwareAddress& mac) override;
  Sent Echo(std::uint32_t address, std::uint16_t sequence) override;
  Sent Attempt(std::uint32_t address, std::uint16_t port) override;
  Sent Probe(std::uint32_t) override { return Sent::kFailed; }
  int LastSendError() override { return last_error_; }
  std::optional<Heard> Receive(std::int32_t timeout_ms) override;
  bool ReadTable(std::vector<os::Neighbour>* entries) override;
  std::optional<std::uint32_t> TableLimit() override;
  std::optional<std::uint32_t> TableHeld() override;

 private:
  void Collect(std::int32_t timeout_ms);
  Sent Noted(int code);  // keeps a failure's code

  EchoExchange& echo_;
  bool icmp_lost_ = false;
  int last_error_ = 0;
  TDatagramSender datagrams_;
  std::unique_ptr<TTcpProber> prober_;
  std::vector<ProbeResult> finished_;
  std::deque<Heard> heard_;
};

// Waits for the roster's machines as the settings say, on this machine's sockets, showing
// the status line on status (total: the lines it counts, -1 for one host); each line goes
// to confirmed as soon as it is, after the status line is erased.
void WaitOnSockets(Roster& roster, EchoExchange& echo, const RunSettings& settings,
                   std::uint16_t wake_port, const StatusWriter& status, int total,
                   const std::function<void(std::size_t line)>& confirmed);

// What a failed send means for the turn: nothing went out for want of room (kBusy) or of a
// route (kNoRoute), the process may open no more sockets, or this send cannot go.
Sent SentOfCode(int code);

}  // namespace trolvane
