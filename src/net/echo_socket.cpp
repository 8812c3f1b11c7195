#include "net/echo_socket.h"

#include <algorithm>

#include "net/component.h"
#include "net/net_exceptions.h"
#include "net/stack.h"
#include "platform/process.h"

namespace trolvane {
namespace {

// What an answer costs in a receive buffer, with the system's bookkeeping (Linux counts
// about this much for a small datagram; Windows less).
constexpr std::size_t kBytesPerAnswer = 1024;
constexpr std::size_t kLeastBuffer = 64 * 1024;
constexpr std::size_t kMostBuffer = 16 << 20;
// Datagrams taken in one wake-up at most, so that sending stays on time.
constexpr int kBatch = 512;
// Sends between two takings of what has come: a long run of sends (the first round of a
// list, or what fell due while the program was held up) must not leave the answers in
// the system's buffer until it overflows.
constexpr int kSendsPerTaking = 8;
// Polls closer than this to the last taking find nothing worth a system call: a loop that
// polls between sends would otherwise spend more on polls than on sends.
constexpr std::uint64_t kPollGapUs = 1000;

}  // namespace

TNetEchoSocket::TNetEchoSocket(std::size_t addresses) : addresses_(addresses) {
  SetProtocol(os::kIpProtoIcmp);
}

// Opens the socket once, sizes its receive buffer and makes it non-blocking; later calls
// find it open.
TNetSocketHandle& TNetEchoSocket::Handle() {
  if (handle_ != nullptr && handle_->SocketOpen()) return *handle_;
  TNetSocketHandle& handle = AcquireHandle();
  TNetStack* stack = StackInstance();
  const auto wanted = static_cast<std::int32_t>(
      std::clamp(addresses_ * kBytesPerAnswer, kLeastBuffer, kMostBuffer));
  // A buffer the system will not grow still works, only with less slack. Each request to an
  // address still being resolved holds its share of the send buffer until the address
  // resolves or fails: a flat room's first round needs room for hundreds of them.
  stack->SockSetSockOpt(handle.Socket(), os::kSolSocket, os::kSoRcvBuf, &wanted, sizeof wanted);
  stack->SockSetSockOpt(handle.Socket(), os::kSolSocket, os::kSoSndBuf, &wanted, sizeof wanted);
  non_blocking_ = stack->SockSetNonBlocking(handle.Socket(), true) == 0;
  handle_ = &handle;
  return handle;
}

void TNetEchoSocket::SendRequest(std::uint32_t address, std::uint16_t sequence) {
  BuildEchoRequest(request_.data(), OurEchoIdentifier(), sequence, os::TickCount(), {});
  // A full buffer says so at once (kWsaeWouldBlock): the wait asks again in the machine's
  // next turn, and nothing here waits on a schedule of its own.
  Handle().SendToAddress(address, 0, request_.data(), kEchoRequestSize);
  if (++sends_ % kSendsPerTaking == 0) TakeWaiting(0);
}

bool TNetEchoSocket::MoreWaiting() { return non_blocking_ || Handle().WaitReadable(0); }

bool TNetEchoSocket::TakeOne(bool first) {
  const int n = Handle().Receive(receive_area_.data(), kIcmpAreaSize, 0);
  if (n == os::kSocketError) {
    if (non_blocking_ && StackInstance()->LastSocketError() == os::kWsaeWouldBlock) return false;
    if (!first) return false;  // the next wait reports it
  }
  StackInstance()->CheckSocketResult(n);
  const PacketView view = ExamineReply(receive_area_.data(), n, OurEchoIdentifier());
  if (view.ours) answers_.push_back(view);
  return true;
}

void TNetEchoSocket::TakeWaiting(int taken) {
  taken_at_us_ = os::MicroTicks();
  for (int i = taken; i < kBatch && MoreWaiting() && TakeOne(false); ++i) {
  }
}

bool TNetEchoSocket::Receive(std::int32_t timeout, PacketView* answer) {
  const bool poll_too_soon = timeout == 0 && os::MicroTicks() - taken_at_us_ < kPollGapUs;
  if (answers_.empty() && !poll_too_soon) {
    taken_at_us_ = os::MicroTicks();
    if (Handle().WaitReadable(timeout) && TakeOne(true)) TakeWaiting(1);
  }
  if (answers_.empty()) return false;
  *answer = answers_.front();
  answers_.pop_front();
  return true;
}

}  // namespace trolvane
