#include "net/resolve_probe.h"

#include <algorithm>

#include "net/net_exceptions.h"
#include "platform/process.h"

namespace trolvane {
namespace {

constexpr std::uint16_t kDiscardPort = 9;

}  // namespace

bool TResolveProbe::Send(std::uint32_t address) {
  if (icmp_ && ++on_socket_ > kSendsPerSocket) {
    on_socket_ = 1;
    echo_ = std::make_unique<TNetEchoSocket>();
  }
  if (icmp_) {
    try {
      echo_->SendRequest(address, ++sequence_);
      return true;
    } catch (const ENetInvalidSocket&) {
      icmp_ = false;  // no ICMP socket for this process: datagrams from now on
    } catch (const ENetException&) {
      return false;
    }
  }
  return datagrams_.SendTo(address, kDiscardPort, "", 0) == 0;
}

std::optional<std::uint32_t> TResolveProbe::Receive(std::int32_t timeout_ms) {
  if (icmp_) {
    try {
      PacketView answer;
      if (echo_->Receive(timeout_ms, &answer) && answer.kind == TReplyStatusKind::rkEchoReply) {
        return answer.target;
      }
      return std::nullopt;
    } catch (const ENetException&) {
      // A queued error of the ping socket, or no socket yet: nothing to read.
      if (timeout_ms > 0) os::Sleep(static_cast<std::uint32_t>(timeout_ms));
      return std::nullopt;
    }
  }
  return datagrams_.ClosedPort(timeout_ms);
}

}  // namespace trolvane
