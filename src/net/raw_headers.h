// ICMP echo on the wire: the request this client sends, the checksum over it, and the
// examination of a datagram that a raw socket hands up (IPv4 header first).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/icmp_wire.h"

namespace trolvane {

using os::kIcmpDestUnreachable;
using os::kIcmpEchoReply;
using os::kIcmpEchoRequest;
using os::kIcmpTimeExceeded;

inline constexpr int kEchoRequestSize = 52;
inline constexpr int kEchoPayloadSize = 32;
inline constexpr int kIcmpAreaSize = 1024;
// The sequence number of the first echo request to an address.
inline constexpr std::uint16_t kFirstSequence = 3489;

// Callers compare with the numbers, so the order is fixed.
enum class TReplyStatusKind : std::uint8_t {
  rkEchoReply = 0,
  rkError = 1,  // only while a packet is examined
  rkTimedOut = 2,
  rkUnreachable = 3,
  rkTtlExpired = 4,
};

// The outcome of one echo exchange.
struct TReplyStatus {
  std::int32_t ByteCount = 0;
  std::string SourceAddress;
  std::uint8_t IcmpType = 0;
  std::uint8_t IcmpCode = 0;
  std::uint16_t Sequence = 0;
  std::uint32_t RoundTripMs = 0;
  std::uint8_t ReplyTtl = 0;
  TReplyStatusKind Status = TReplyStatusKind::rkEchoReply;
};

// The identifier of this process's echo requests: the low 16 bits of its id, asked once.
std::uint16_t OurEchoIdentifier();

// Writes the 52-byte echo request into area. Identifier, sequence and tick stamp are
// stored least significant byte first; the payload is the text's first 32 bytes padded
// with 'E'.
void BuildEchoRequest(std::uint8_t* area, std::uint16_t identifier, std::uint16_t sequence,
                      std::uint32_t tick, std::string_view payload);

// What one datagram says about our echo requests. It is ours when its ICMP checksum
// verifies and it carries our identifier: an echo reply (or echo request) in itself, a
// destination-unreachable or time-exceeded message in the echo request it quotes (ICMP,
// type 8). Which request it answers is left to the caller, who knows what it sent: the
// sequence number and the address the request went to (the sender of an echo message,
// the destination in the quote of an error message).
struct PacketView {
  bool ours = false;
  TReplyStatusKind kind = TReplyStatusKind::rkError;
  std::uint8_t type = 0;
  std::uint8_t code = 0;
  std::uint16_t sequence = 0;
  std::uint8_t ttl = 0;
  std::array<std::uint8_t, 4> source = {};  // who sent the datagram
  std::uint32_t target = 0;                 // where the answered request went, network order
};

// The echo requests sent to one address: consecutive sequence numbers from first. An
// answer of ours to that address counts when it carries one of them.
struct SentRequests {
  std::uint16_t first = kFirstSequence;
  std::uint32_t count = 0;  // at most 65536: then every number is one of ours

  // The sequence number of the next request, counted as sent.
  std::uint16_t Next() {
    const auto sequence = static_cast<std::uint16_t>(first + count);
    if (count <= 0xFFFF) ++count;
    return sequence;
  }
  bool Answers(std::uint16_t sequence) const {
    return static_cast<std::uint16_t>(sequence - first) < count;
  }
};

// Examines the n bytes received at the start of a receive area (IPv4 header first).
// Everything that is not ours, whatever its type or length, is passed over.
PacketView ExamineReply(const std::uint8_t* area, int n, std::uint16_t identifier);

}  // namespace trolvane
