// A raw ICMP socket for processes that may not open one: an ICMP datagram ("ping")
// socket, where net.ipv4.ping_group_range allows it, made to look like a raw socket.
// Received messages come up behind an IPv4 header, with the echo identifier that the
// kernel rewrote put back, and ICMP errors from the error queue come up as the message a
// raw socket would have seen.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>

namespace os::posix {

// A ping socket standing in for a raw ICMP one, or -1 with errno set.
int OpenPingSocket();
bool IsPingSocket(int fd);
void ForgetPingSocket(int fd);

// Remembers the identifier of an echo request about to be sent, to put it back later.
void NotePingSent(int fd, const void* message, std::size_t length);

// True for the errors an ICMP message sets on the socket, which the next send reports
// whatever its own destination.
bool IsAsynchronousError(int error);

// Receives the next message as a raw socket would hand it up: an error from the error
// queue first, else a datagram. -1 with errno on failure.
ssize_t ReceivePing(int fd, void* buffer, std::size_t length, int flags, ::sockaddr_in* from);

}  // namespace os::posix
