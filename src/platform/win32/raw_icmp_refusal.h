// Test seam: from now on this process's raw ICMP sockets are refused (10013) as for a user
// without administrator rights, so that the ICMP helper path runs under an account that
// has the rights (under Wine both paths share them). Only the Windows test build calls it:
// the unit tests and the test entry point in tests/support/win32/. No option, file or
// environment variable of the shipped program reaches it.
#pragma once

namespace os::win32 {

void RefuseRawIcmpSockets(bool refuse = true);

}  // namespace os::win32
