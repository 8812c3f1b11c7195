// Linux reports an ICMP port- or protocol-unreachable for a connection attempt as the
// same ECONNREFUSED as the peer's reset. Only the reset is the peer's own answer: these
// tell the two apart by the socket's error queue, where the kernel files ICMP errors.
#pragma once

namespace os::posix {

// Makes the kernel file the ICMP errors of this TCP socket's connection attempt.
void WatchConnectErrors(int fd);
// Whether the attempt's refusal came with an ICMP error (drains the error queue).
bool RefusedByIcmp(int fd);

}  // namespace os::posix
