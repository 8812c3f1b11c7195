// The program exactly as shipped, but with raw ICMP sockets refused as for a user without
// administrator rights, so that the ICMP helper path runs under Wine (where both paths
// share the account's rights). Built only by the Windows test build; never installed.
#include "app/program.h"
#include "platform/win32/raw_icmp_refusal.h"

int main(int argc, char** argv) {
  os::win32::RefuseRawIcmpSockets();
  trolvane::ProgramMain(argc, argv);
}
