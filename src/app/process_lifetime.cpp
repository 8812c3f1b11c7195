#include "app/process_lifetime.h"

#include "platform/process.h"

namespace trolvane {

// Start-up order: the process itself; the UDP layer's Winsock 1.1; the Winsock 2
// binding; the socket-stack globals. Shutdown runs the other way round.
ProcessLifetime::ProcessLifetime() { os::PrepareProcess(); }

ProcessLifetime::~ProcessLifetime() = default;

}  // namespace trolvane
