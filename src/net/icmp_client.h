// ICMP echo over a raw socket: one request to Host, the matching answer awaited for at
// most ReceiveTimeout ms in all, the outcome left in LastReply. Only the pinged address's
// own, intact answer to one of our requests counts; every other packet is passed over.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/raw_client.h"
#include "net/raw_headers.h"

namespace trolvane {

class TNetIcmpClient : public TNetRawClient {
 public:
  using TOnReplyEvent = std::function<void(TNetIcmpClient& sender, const TReplyStatus& status)>;

  // Protocol ICMP, a wait of 5000 ms, the first sequence number kFirstSequence. Opens no
  // socket.
  TNetIcmpClient();

  // One complete exchange. A sequence other than 0 replaces the next sequence number. A
  // time-out is a normal return; every other problem raises, leaving NextSequence, and
  // LastReply unless the closing step failed, as they were.
  void Ping(std::string_view payload = {}, std::uint16_t sequence = 0);

  // From BeginSeries on, every Ping goes over one socket that stays open while the client
  // lives, and the answer to any request of the series ends the wait of each Ping: a host
  // whose answers take longer than one Ping's wait is still heard.
  void BeginSeries();
  // The next request of a series, sent without waiting for its answer (AwaitReply waits).
  // A sequence other than 0 replaces the next sequence number.
  void SendNextRequest(std::uint16_t sequence = 0);
  const TReplyStatus& LastReply() const { return last_reply_; }
  std::uint16_t NextSequence() const { return next_sequence_; }

  // Called after each completed exchange.
  TOnReplyEvent OnReply;

  // The steps of Ping.
  void BuildEchoRequest(std::string_view payload);
  std::uint16_t ComputeChecksum() const;
  void SendEchoRequest();
  // Records that the request with this sequence number went to this address (network
  // order); its answers count from now on (alone, or beside those of the series so far).
  void NoteRequestSent(std::uint32_t address, std::uint16_t sequence);
  TReplyStatus AwaitReply(std::int32_t timeout);
  // Examines the n bytes in the receive area; true when they end the wait: nothing came
  // (n = 0), or the address the last request went to answered one of the requests of
  // this exchange, or of the series.
  bool DecodeReply(std::int32_t n, TReplyStatus& result);
  void NotifyReply(const TReplyStatus& result);

  // The receive area, for feeding hand-made packets to DecodeReply.
  std::array<std::uint8_t, kIcmpAreaSize>& ReceiveArea() { return receive_area_; }
  const std::uint8_t* RequestArea() const { return request_area_.data(); }
  std::int32_t RequestSize() const { return request_size_; }

 private:
  std::array<std::uint8_t, kIcmpAreaSize> receive_area_{};
  std::array<std::uint8_t, kIcmpAreaSize> request_area_{};
  std::uint16_t next_sequence_ = kFirstSequence;
  std::int32_t request_size_ = kEchoRequestSize;
  TReplyStatus last_reply_;
  // The requests whose answers count, all to target_.
  std::uint32_t target_ = 0;
  SentRequests sent_;
  bool in_series_ = false;

  bool Answers(const PacketView& view) const;
};

}  // namespace trolvane
