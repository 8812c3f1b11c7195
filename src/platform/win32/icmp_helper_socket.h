// Raw ICMP sockets emulated over the ICMP helper API (IcmpSendEcho2), for users whom
// Windows refuses raw sockets. They take the Winsock calls of an echo exchange and answer
// with Winsock's results: what a raw socket would hand up, IPv4 header first; failures
// set the Windows Sockets last error. Their handles are odd, which real sockets
// (multiples of 4) never are.
//
// Each sendto starts one asynchronous request; its outcome is queued on the socket by an
// APC, which runs while the sending thread waits alertably (in the readiness test or a
// receive here). So requests complete on the thread that sent them.
#pragma once

#include "platform/winsock.h"

namespace os::win32 {

// kInvalidSocket with 10013 set when the helper API cannot be opened either.
SOCKET OpenHelperSocket();
bool IsHelperSocket(SOCKET s);

// Never waits: requests still running end by themselves within their second.
int CloseHelperSocket(SOCKET s);
// IP_TTL applies to later requests; buffer sizes are accepted and mean nothing here.
int HelperSetOption(SOCKET s, int level, int name, const char* value, int length);
// Only echo requests can be sent; the ICMP header's numbers are the caller's.
int HelperSendTo(SOCKET s, const char* buffer, int length, const SockAddrIn* to, int to_length);
// Waits without limit for the next datagram, like a blocking raw socket. A datagram
// longer than length fills the buffer and fails with 10040, as Winsock does.
int HelperReceive(SOCKET s, char* buffer, int length, int flags, SockAddrIn* from,
                  int* from_length);
// select for sets that hold helper sockets only: readable once a datagram waits,
// writable always. A null timeout waits without limit; 0 polls.
int HelperSelect(FdSet* read, FdSet* write, FdSet* error, const TimeVal* timeout);
// Waits, before the program ends, for its requests still running to end by themselves, at
// most until the latest one's second is over: Wine's helper hangs for good when a program
// ends with a request running, and with it every later program's requests.
void LetHelperRequestsEnd();

}  // namespace os::win32
