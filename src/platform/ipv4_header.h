// The IPv4 header in front of every datagram that a raw ICMP socket hands up, for the
// platform layers that stand in for such a socket where the system refuses one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/checksum.h"
#include "platform/icmp_wire.h"

namespace os {

// Writes a 20-byte header for an ICMP payload of that length: no options, no
// fragmentation, a valid checksum. Addresses are in network order.
void WriteIpv4Header(std::uint8_t* header, std::size_t payload_length, std::uint8_t ttl,
                     std::uint32_t source, std::uint32_t destination);

}  // namespace os
