// Between the Winsock 2 binding and WS2_32.DLL: the calls of the echo exchange serve the
// emulated ICMP sockets (icmp_helper_socket.h) and forward everything else unchanged. A
// raw ICMP socket that the library refuses for want of rights (10013) becomes an
// emulated one, so the code above never knows which path ran.
#pragma once

#include "platform/module.h"

namespace os::win32 {

// The symbol to hand out for an export of WS2_32.DLL found at real: a wrapper for the
// calls of the echo exchange, real itself for all others.
Symbol Winsock2Export(const char* name, Symbol real);

// Whether raw ICMP sockets are refused before the library is asked; set only through
// the test seam (raw_icmp_refusal.h), which lives in a file of its own so that a program
// that never calls it does not even contain it.
void SetRawIcmpRefused(bool refused);

}  // namespace os::win32
