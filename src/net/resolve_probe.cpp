#include "net/resolve_probe.h"

#include <algorithm>

#include "net/net_exceptions.h"
#include "platform/process.h"

namespace trolvane {
namespace {

constexpr std::uint16_t kDiscardPort = 9;
// The longest single wait, so that a held-up process notices its time soon.
constexpr std::uint64_t kLongestWait = 100000;

}  // namespace

bool TResolveProbe::Send(std::uint32_t address) {
  if (++on_socket_ > kSendsPerSocket) {
    on_socket_ = 1;
    echo_ = std::make_unique<TNetEchoSocket>();
    datagrams_ = std::make_unique<TDatagramSender>();
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
  return datagrams_->SendTo(address, kDiscardPort, "", 0) == 0;
}

void TResolveProbe::WaitUntil(std::uint64_t until) {
  for (std::uint64_t now = os::MicroTicks(); now < until; now = os::MicroTicks()) {
    const std::uint64_t left = std::min(until - now, kLongestWait);
    if (icmp_) {
      try {
        PacketView ignored;
        echo_->Receive(static_cast<std::int32_t>(left / 1000), &ignored);
        continue;
      } catch (const ENetException&) {
        // A queued error of the ping socket, or no socket yet: nothing to read.
      }
    }
    if (left >= 1000) os::Sleep(static_cast<std::uint32_t>(left / 1000));
  }
}

}  // namespace trolvane
