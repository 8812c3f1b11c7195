#include "app/process_lifetime.h"

#include "net/stack.h"
#include "net/stack_windows.h"
#include "net/udp_socket.h"
#include "platform/process.h"

namespace trolvane {

// Start-up order: the process itself; the UDP layer's Winsock 1.1; the Winsock 2
// binding and the socket-stack globals, with the stack class of this program. Shutdown
// runs the other way round.
ProcessLifetime::ProcessLifetime() {
  os::PrepareProcess();
  StartWinsock();
  StartSocketStackModule(&TNetStackWindows::Create);
}

// The exit status is settled by now; a failed clean-up must not abort the process.
ProcessLifetime::~ProcessLifetime() {
  try {
    FinishSocketStackModule();
  } catch (...) {
  }
  try {
    StopWinsock();
  } catch (...) {
  }
}

}  // namespace trolvane
