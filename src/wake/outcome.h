// What became of one line of a run: one value, set where its evidence was judged, from
// which the text lines, the JSON lines and the exit status are all made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/neighbours.h"

namespace trolvane {

// An ICMP unreachable or time exceeded that answered one of our echo requests.
struct IcmpReport {
  std::uint8_t type = 0;
  std::uint8_t code = 0;
  std::uint32_t from = 0;  // who sent it, network order
};

// Why a machine could not be asked, or why its asking ended in error.
struct Failure {
  enum class Cause : std::uint8_t {
    kNameNotResolved,  // the host text names no address
    kRefusedHost,      // the host rules refused the line before the wait
    kNoIcmpRights,     // neither a raw nor a ping socket can be had
    kIcmpError,        // the network answered a request with an ICMP error (icmp)
    kSendFailed,       // the system refused a send (code)
    kNoDescriptor,     // the process may open no more sockets
  };
  Cause cause = Cause::kSendFailed;
  int code = 0;       // the system's error, in the Windows Sockets numbering; 0: none known
  IcmpReport icmp{};  // kIcmpError
};

struct Outcome {
  enum class Kind : std::uint8_t { kPending, kConfirmed, kOtherMachine, kTimeout, kError };
  // What proved the machine.
  enum class Proof : std::uint8_t { kEcho, kTcpAccept, kTcpRefuse };

  Kind kind = Kind::kPending;
  Proof by = Proof::kEcho;
  std::uint16_t port = 0;   // a TCP proof's port
  std::uint64_t at_us = 0;  // when the proving answer, or the other machine's, came
  // The MAC the neighbour table gave the answering address, where it was read: the woken
  // one for a confirmed line, another machine's otherwise.
  std::optional<os::HardwareAddress> mac;
  Failure failure;  // kError

  bool Confirmed() const { return kind == Kind::kConfirmed; }
  static Outcome Error(Failure failure) {
    Outcome o;
    o.kind = Kind::kError;
    o.failure = std::move(failure);
    return o;
  }
};

}  // namespace trolvane
