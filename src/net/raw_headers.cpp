#include "net/raw_headers.h"

#include <algorithm>
#include <cstring>

#include "platform/process.h"

namespace trolvane {
namespace {

std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteLe16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteLe32(std::uint8_t* p, std::uint32_t value) {
  WriteLe16(p, static_cast<std::uint16_t>(value));
  WriteLe16(p + 2, static_cast<std::uint16_t>(value >> 16));
}

constexpr int kIcmpHeaderSize = 8;
constexpr int kIpv4MinHeaderSize = 20;
constexpr std::uint8_t kProtocolIcmp = 1;

// The length of the IPv4 header at p, or 0 when the n bytes there hold none: a header
// shorter than IPv4 allows has no TTL or addresses to read.
int Ipv4HeaderLength(const std::uint8_t* p, int n) {
  if (n < kIpv4MinHeaderSize || (p[0] >> 4) != 4) return 0;
  const int h = (p[0] & 0x0F) * 4;
  return h >= kIpv4MinHeaderSize && h <= n ? h : 0;
}

}  // namespace

std::uint16_t OurEchoIdentifier() { return static_cast<std::uint16_t>(os::CurrentProcessId()); }

std::uint16_t ComputeChecksum(const std::uint8_t* bytes, int size) {
  std::uint32_t sum = 0;
  for (int i = 0; i + 1 < size; i += 2) sum += ReadLe16(bytes + i);
  if (size % 2 != 0) sum += bytes[size - 1];
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<std::uint16_t>(~sum);
}

void BuildEchoRequest(std::uint8_t* area, std::uint16_t identifier, std::uint16_t sequence,
                      std::uint32_t tick, std::string_view payload) {
  std::memset(area, 0, kEchoRequestSize);
  area[0] = kIcmpEchoRequest;
  WriteLe16(area + 4, identifier);
  WriteLe16(area + 6, sequence);
  WriteLe32(area + 8, tick);
  std::uint8_t* data = area + kEchoRequestSize - kEchoPayloadSize;
  std::memset(data, 'E', kEchoPayloadSize);
  std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), kEchoPayloadSize), data);
  WriteLe16(area + 2, ComputeChecksum(area, kEchoRequestSize));
}

std::uint32_t TickDiff(std::uint32_t earlier, std::uint32_t later) { return later - earlier; }

PacketView ExamineReply(const std::uint8_t* area, int n, std::uint16_t identifier) {
  PacketView view;
  const int h = Ipv4HeaderLength(area, n);
  // An ICMP header must follow, and a corrupted message is nobody's answer.
  if (h == 0 || n < h + kIcmpHeaderSize || ComputeChecksum(area + h, n - h) != 0) return view;
  view.type = area[h];
  int ours_at = h + 4;  // identifier and sequence of the request the packet answers
  switch (view.type) {
    case kIcmpEchoReply:
    case kIcmpEchoRequest:
      view.kind = TReplyStatusKind::rkEchoReply;
      std::copy_n(area + 12, 4, view.target.begin());
      break;
    case kIcmpDestUnreachable:
    case kIcmpTimeExceeded: {
      view.kind = view.type == kIcmpDestUnreachable ? TReplyStatusKind::rkUnreachable
                                                    : TReplyStatusKind::rkTtlExpired;
      // Only a quote of an ICMP echo request can be a quote of ours: the same bytes in
      // the header of a UDP datagram or of an echo reply are somebody else's.
      const std::uint8_t* quote = area + h + kIcmpHeaderSize;
      const int quote_h = Ipv4HeaderLength(quote, n - h - kIcmpHeaderSize);
      if (quote_h == 0 || n < h + kIcmpHeaderSize + quote_h + kIcmpHeaderSize) return view;
      if (quote[9] != kProtocolIcmp || quote[quote_h] != kIcmpEchoRequest) return view;
      std::copy_n(quote + 16, 4, view.target.begin());
      ours_at = h + kIcmpHeaderSize + quote_h + 4;
      break;
    }
    default:
      return view;
  }
  if (ReadLe16(area + ours_at) != identifier) return view;
  view.ours = true;
  view.sequence = ReadLe16(area + ours_at + 2);
  view.ttl = area[8];
  std::copy_n(area + 12, 4, view.source.begin());
  return view;
}

std::int32_t RemainingWait(std::int32_t timeout, std::uint32_t elapsed) {
  const std::int64_t left = static_cast<std::int64_t>(timeout) - elapsed;
  return left > 0 ? static_cast<std::int32_t>(left) : 0;
}

}  // namespace trolvane
