#include "net/icmp_client.h"

#include "net/net_exceptions.h"
#include "net/stack.h"
#include "platform/process.h"

namespace trolvane {
namespace {

std::uint16_t OurIdentifier() { return static_cast<std::uint16_t>(os::CurrentProcessId()); }

}  // namespace

TNetIcmpClient::TNetIcmpClient() {
  SetProtocol(os::kIpProtoIcmp);
  next_sequence_ = 3489;
  SetReceiveTimeout(5000);
}

void TNetIcmpClient::Ping(std::string_view payload, std::uint16_t sequence) {
  if (sequence != 0) next_sequence_ = sequence;
  BuildEchoRequest(payload);
  const std::uint32_t t0 = os::TickCount();
  SendEchoRequest();
  last_reply_ = AwaitReply(ReceiveTimeout());
  const std::uint32_t rtt = TickDiff(t0, os::TickCount());
  AcquireHandle().Close();  // each exchange has a socket of its own
  last_reply_.RoundTripMs = rtt;
  NotifyReply(last_reply_);
  ++next_sequence_;  // wraps from 65535 to 0
}

void TNetIcmpClient::BuildEchoRequest(std::string_view payload) {
  request_size_ = kEchoRequestSize;
  trolvane::BuildEchoRequest(request_area_.data(), OurIdentifier(), next_sequence_, os::TickCount(),
                             payload);
}

std::uint16_t TNetIcmpClient::ComputeChecksum() const {
  return trolvane::ComputeChecksum(request_area_.data(), request_size_);
}

void TNetIcmpClient::SendEchoRequest() {
  SendToHost(Host(), Port(), request_area_.data(), request_size_);
}

TReplyStatus TNetIcmpClient::AwaitReply(std::int32_t timeout) {
  TReplyStatus result;
  receive_area_.fill(0);
  const std::uint32_t start = os::TickCount();
  std::int32_t remaining = timeout;
  for (;;) {
    const std::int32_t n = ReceiveWithTimeout(receive_area_.data(), kIcmpAreaSize, remaining);
    StackInstance()->CheckSocketResult(n);
    if (DecodeReply(n, result)) return result;
    // The whole wait, from its start, never exceeds the time-out.
    remaining = RemainingWait(timeout, TickDiff(start, os::TickCount()));
    if (remaining == 0) break;
  }
  DecodeReply(0, result);
  return result;
}

bool TNetIcmpClient::DecodeReply(std::int32_t n, TReplyStatus& result) {
  if (n == 0) {
    result.ByteCount = 0;
    result.SourceAddress = "0.0.0.0";
    result.IcmpType = 0;
    result.Sequence = next_sequence_;
    result.ReplyTtl = 0;
    result.Status = TReplyStatusKind::rkTimedOut;
    return true;
  }
  result.Status = TReplyStatusKind::rkError;
  const PacketView view = ExamineReply(receive_area_.data(), n, OurIdentifier(), next_sequence_);
  switch (view.verdict) {
    case PacketVerdict::kTooShort:
      throw ENetIcmpException("Not enough bytes received");
    case PacketVerdict::kNotEcho:
      throw ENetIcmpException("Non-echo type response received");
    case PacketVerdict::kForeign:
      return false;
    case PacketVerdict::kOurs:
      break;
  }
  result.ByteCount = n;
  result.SourceAddress = StackInstance()->AddressBytesToText(
      {view.source[0], view.source[1], view.source[2], view.source[3]});
  result.IcmpType = view.type;
  result.Sequence = view.sequence;
  result.ReplyTtl = view.ttl;
  result.Status = view.kind;
  return true;
}

void TNetIcmpClient::NotifyReply(const TReplyStatus& result) {
  if (OnReply) OnReply(*this, result);
}

}  // namespace trolvane
