// What a raw ICMP socket would have handed up for one outcome of the ICMP helper API
// (IcmpSendEcho2): the answer rebuilt as a datagram, IPv4 header first.
#pragma once

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstdint>
#include <span>
#include <vector>

namespace os::win32 {

// The echo request as the caller handed it to sendto (ICMP header first), where it went
// and with which time-to-live.
struct SentEcho {
  std::span<const std::uint8_t> message;
  std::uint32_t destination = 0;  // network order
  std::uint8_t ttl = 0;
};

// For status IP_SUCCESS, the echo reply from reply.Address with the caller's identifier,
// sequence number and the echoed data; for an unreachable or time-exceeded status, that
// ICMP message from the reporting address, quoting the request. Both with valid
// checksums. Empty for a time-out and for failures no ICMP message stands behind.
// status is reply.Status, or the last error when IcmpParseReplies found no reply.
std::vector<std::uint8_t> RawDatagramFor(ULONG status, const ICMP_ECHO_REPLY& reply,
                                         const SentEcho& request);

}  // namespace os::win32
