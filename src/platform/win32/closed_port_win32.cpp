// Windows reports a port unreachable only as a failed receive, without the machine.
#include "platform/closed_port.h"

namespace os {

bool KeepClosedPortAnswers(SOCKET) { return false; }
std::optional<std::uint32_t> TakeClosedPortAnswer(SOCKET) { return std::nullopt; }

}  // namespace os
