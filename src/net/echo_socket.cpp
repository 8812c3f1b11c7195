#include "net/echo_socket.h"

#include "net/stack.h"
#include "platform/process.h"

namespace trolvane {

TNetEchoSocket::TNetEchoSocket() { SetProtocol(os::kIpProtoIcmp); }

void TNetEchoSocket::SendRequest(const std::string& address, std::uint16_t sequence) {
  BuildEchoRequest(request_.data(), OurEchoIdentifier(), sequence, os::TickCount(), {});
  AcquireHandle().SendToAddress(address, 0, request_.data(), kEchoRequestSize);
}

bool TNetEchoSocket::Receive(std::int32_t timeout, PacketView* answer) {
  const std::int32_t n = ReceiveWithTimeout(receive_area_.data(), kIcmpAreaSize, timeout);
  StackInstance()->CheckSocketResult(n);
  if (n == 0) return false;
  *answer = ExamineReply(receive_area_.data(), n, OurEchoIdentifier());
  return answer->ours;
}

}  // namespace trolvane
