#include "platform/win32/icmp_helper_reply.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/ipv4_header.h"

namespace os::win32 {
namespace {

// A router quotes at most this much of a datagram in all (RFC 1812).
constexpr std::size_t kMaxErrorDatagram = 576;

// The ICMP message behind each helper status that has one. A time-out, and a failure
// found on this machine, have none.
struct IcmpKind {
  ULONG status;
  std::uint8_t type;
  std::uint8_t code;
};
constexpr IcmpKind kKinds[] = {
    {IP_SUCCESS, 0, 0},
    {IP_DEST_NET_UNREACHABLE, 3, 0},
    {IP_DEST_HOST_UNREACHABLE, 3, 1},
    {IP_DEST_PROT_UNREACHABLE, 3, 2},
    {IP_DEST_PORT_UNREACHABLE, 3, 3},
    {IP_PACKET_TOO_BIG, 3, 4},
    {IP_BAD_ROUTE, 3, 5},
    {IP_DEST_UNREACHABLE, 3, 1},  // no code told: host unreachable stands for all
    {IP_SOURCE_QUENCH, 4, 0},
    {IP_TTL_EXPIRED_TRANSIT, 11, 0},
    {IP_TTL_EXPIRED_REASSEM, 11, 1},
    {IP_TIME_EXCEEDED, 11, 0},
    {IP_PARAM_PROBLEM, 12, 0},
};

// Completes an ICMP message with its checksum and puts the IPv4 header of the answer
// in front of it.
std::vector<std::uint8_t> Datagram(std::vector<std::uint8_t> icmp, const ICMP_ECHO_REPLY& reply) {
  PutNetworkWord(icmp.data() + kIcmpChecksumAt, InternetChecksum(icmp.data(), icmp.size()));
  std::vector<std::uint8_t> datagram(kIpv4HeaderSize);
  // The local address is not told on this path, and nothing above reads it.
  WriteIpv4Header(datagram.data(), icmp.size(), reply.Options.Ttl, reply.Address, 0);
  datagram.insert(datagram.end(), icmp.begin(), icmp.end());
  return datagram;
}

}  // namespace

std::vector<std::uint8_t> RawDatagramFor(ULONG status, const ICMP_ECHO_REPLY& reply,
                                         const SentEcho& request) {
  const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                  [status](const IcmpKind& k) { return k.status == status; });
  if (kind == std::end(kKinds) || request.message.size() < kIcmpHeaderSize) return {};
  std::vector<std::uint8_t> icmp(kIcmpHeaderSize);
  icmp[0] = kind->type;
  icmp[1] = kind->code;
  if (status == IP_SUCCESS) {
    // The helper matched the reply by numbers of its own; ours are those of the request.
    std::copy_n(request.message.begin() + kIcmpIdentifierAt, 4, icmp.begin() + kIcmpIdentifierAt);
    const auto* data = static_cast<const std::uint8_t*>(reply.Data);
    if (data != nullptr) icmp.insert(icmp.end(), data, data + reply.DataSize);
    return Datagram(std::move(icmp), reply);
  }
  const std::size_t quoted =
      std::min(request.message.size(), kMaxErrorDatagram - 2 * kIpv4HeaderSize - kIcmpHeaderSize);
  icmp.resize(kIcmpHeaderSize + kIpv4HeaderSize);
  WriteIpv4Header(icmp.data() + kIcmpHeaderSize, request.message.size(), request.ttl, 0,
                  request.destination);
  icmp.insert(icmp.end(), request.message.begin(), request.message.begin() + quoted);
  return Datagram(std::move(icmp), reply);
}

}  // namespace os::win32
