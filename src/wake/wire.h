// Where a run meets the system: its sends, what comes back, the neighbour table and the
// clock. The run's one loop sees nothing else, so a test stands a network of its own in.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/neighbours.h"
#include "wake/outcome.h"

namespace trolvane {

enum class Sent : std::uint8_t {
  kSent,
  kBusy,          // no buffer or table room for now (ENOBUFS, EAGAIN): the next turn tries again
  kNoRoute,       // the link or the route is gone, maybe for a moment (ENETDOWN, ENETUNREACH,
                  // EHOSTUNREACH raised by this machine)
  kFailed,        // this send cannot go (refused)
  kNoDescriptor,  // the process may open no more sockets
  kNoSocket,      // no ICMP socket can be had at all (no rights)
};

// Something that came back, with the address its request went to (network order).
struct Heard {
  enum class Kind : std::uint8_t {
    kEchoReply,
    kIcmpError,  // unreachable or time exceeded, quoting our echo request
    kAccepted,   // a connection attempt
    kRefused,
    kArpReply,
  };
  Kind kind = Kind::kEchoReply;
  std::uint32_t address = 0;
  std::uint16_t sequence = 0;  // echo kinds
  os::HardwareAddress mac{};   // kArpReply
  std::uint16_t port = 0;      // kAccepted, kRefused
  IcmpReport icmp{};           // kIcmpError
};

class Wire {
 public:
  virtual ~Wire() = default;

  // Microseconds on a steady clock; a pause shorter than a millisecond.
  virtual std::uint64_t Clock() = 0;
  virtual void Pause(std::uint64_t us) = 0;

  // The magic packet of mac to the address on the UDP port (host order).
  virtual Sent Datagram(std::uint32_t address, std::uint16_t port,
                        const os::HardwareAddress& mac) = 0;
  virtual Sent Echo(std::uint32_t address, std::uint16_t sequence) = 0;
  // A TCP connection attempt; its answer comes through Receive.
  virtual Sent Attempt(std::uint32_t address, std::uint16_t port) = 0;
  // What makes the system, or the link, say who holds the address (learning a room).
  virtual Sent Probe(std::uint32_t address) = 0;
  // The system's error of the last send that did not go (Windows Sockets numbering).
  virtual int LastSendError() { return 0; }
  // The next thing heard within timeout ms; none when nothing came. Raises what the socket
  // layer raises when the receive failed.
  virtual std::optional<Heard> Receive(std::int32_t timeout_ms) = 0;

  // The neighbour table as it is now; false when the platform refused the read.
  virtual bool ReadTable(std::vector<os::Neighbour>* entries) = 0;
  // Its bound for the whole machine, and this process's entries the system may not drop.
  virtual std::optional<std::uint32_t> TableLimit() = 0;
  virtual std::optional<std::uint32_t> TableHeld() = 0;
};

}  // namespace trolvane
