#include "platform/win32/raw_icmp_refusal.h"

#include "platform/win32/winsock2_interpose.h"

namespace os::win32 {

void RefuseRawIcmpSockets(bool refuse) { SetRawIcmpRefused(refuse); }

}  // namespace os::win32
