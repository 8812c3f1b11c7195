// What a datagram to a port nobody listens on draws back from a running machine: an ICMP
// port unreachable from its address. Linux files it in the sending socket's error queue
// with the address the datagram went to; Windows names no address (a later receive fails
// with WSAECONNRESET), so there none is heard.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/winsock.h"

namespace os {

// Asks the system to keep such answers for this UDP socket; false where it cannot. The
// socket still takes every send: an answer waiting fails no later send.
bool KeepClosedPortAnswers(SOCKET s);
// The address (network order) of the next machine that said, from that very address, that
// a datagram of s found its port closed; none when no such answer waits. Takes the
// socket's other errors too.
std::optional<std::uint32_t> TakeClosedPortAnswer(SOCKET s);

}  // namespace os
