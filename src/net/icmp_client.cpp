#include "net/icmp_client.h"

#include "net/component.h"
#include "net/stack.h"
#include "net/ticks.h"
#include "platform/checksum.h"
#include "platform/process.h"

namespace trolvane {
TNetIcmpClient::TNetIcmpClient() {
  SetProtocol(os::kIpProtoIcmp);
  SetReceiveTimeout(5000);
}

void TNetIcmpClient::Ping(std::string_view payload, std::uint16_t sequence) {
  if (sequence != 0) next_sequence_ = sequence;
  BuildEchoRequest(payload);
  const std::uint32_t t0 = os::TickCount();
  SendEchoRequest();
  last_reply_ = AwaitReply(ReceiveTimeout());
  const std::uint32_t rtt = TickDiff(t0, os::TickCount());
  if (!in_series_) AcquireHandle().Close();  // each exchange has a socket of its own
  last_reply_.RoundTripMs = rtt;
  NotifyReply(last_reply_);
  ++next_sequence_;  // wraps from 65535 to 0
}

void TNetIcmpClient::BeginSeries() {
  in_series_ = true;
  sent_.count = 0;
}

void TNetIcmpClient::SendNextRequest(std::uint16_t sequence) {
  if (sequence != 0) next_sequence_ = sequence;
  BuildEchoRequest({});
  SendEchoRequest();
  ++next_sequence_;
}

void TNetIcmpClient::BuildEchoRequest(std::string_view payload) {
  request_size_ = kEchoRequestSize;
  trolvane::BuildEchoRequest(request_area_.data(), OurEchoIdentifier(), next_sequence_,
                             os::TickCount(), payload);
}

std::uint16_t TNetIcmpClient::ComputeChecksum() const {
  // Read and stored least significant byte first, the sum's two bytes trade places.
  const std::uint16_t sum =
      os::InternetChecksum(request_area_.data(), static_cast<std::size_t>(request_size_));
  return static_cast<std::uint16_t>(sum >> 8 | sum << 8);
}

void TNetIcmpClient::SendEchoRequest() {
  NoteRequestSent(SendToTarget(Port(), request_area_.data(), request_size_), next_sequence_);
}

void TNetIcmpClient::NoteRequestSent(std::uint32_t address, std::uint16_t sequence) {
  // A number skipped (a send that could not go) leaves the series' earlier requests counting.
  const auto ahead = static_cast<std::uint16_t>(sequence - sent_.first);
  const bool continues =
      in_series_ && sent_.count > 0 && address == target_ && ahead >= sent_.count;
  if (!continues) {
    target_ = address;
    sent_ = {sequence, 0};
  }
  while (static_cast<std::uint16_t>(sent_.first + sent_.count) != sequence) sent_.Next();
  sent_.Next();
}

bool TNetIcmpClient::Answers(const PacketView& view) const {
  return view.ours && view.target == target_ && sent_.Answers(view.sequence);
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
    result.IcmpCode = 0;
    result.Sequence = next_sequence_;
    result.ReplyTtl = 0;
    result.Status = TReplyStatusKind::rkTimedOut;
    return true;
  }
  result.Status = TReplyStatusKind::rkError;
  const PacketView view = ExamineReply(receive_area_.data(), n, OurEchoIdentifier());
  if (!Answers(view)) return false;
  result.ByteCount = n;
  result.SourceAddress = StackInstance()->AddressBytesToText(view.source);
  result.IcmpType = view.type;
  result.IcmpCode = view.code;
  result.Sequence = view.sequence;
  result.ReplyTtl = view.ttl;
  result.Status = view.kind;
  return true;
}

void TNetIcmpClient::NotifyReply(const TReplyStatus& result) {
  if (OnReply) OnReply(*this, result);
}

}  // namespace trolvane
