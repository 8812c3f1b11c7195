#include "net/raw_headers.h"

#include <algorithm>
#include <cstring>

#include "platform/checksum.h"
#include "platform/icmp_wire.h"
#include "platform/process.h"

namespace trolvane {
namespace {

void WriteLe32(std::uint8_t* p, std::uint32_t value) {
  os::PutLittleWord(p, value);
  os::PutLittleWord(p + 2, value >> 16);
}

constexpr int kIcmpHeaderSize = static_cast<int>(os::kIcmpHeaderSize);
constexpr int kIpv4MinHeaderSize = static_cast<int>(os::kIpv4HeaderSize);

// The length of the IPv4 header at p, or 0 when the n bytes there hold none: a header
// shorter than IPv4 allows has no TTL or addresses to read.
int Ipv4HeaderLength(const std::uint8_t* p, int n) {
  if (n < kIpv4MinHeaderSize || (p[0] >> 4) != 4) return 0;
  const int h = (p[0] & 0x0F) * 4;
  return h >= kIpv4MinHeaderSize && h <= n ? h : 0;
}

}  // namespace

std::uint16_t OurEchoIdentifier() {
  static const auto identifier = static_cast<std::uint16_t>(os::CurrentProcessId());
  return identifier;
}

std::uint16_t ComputeChecksum(const std::uint8_t* bytes, int size) {
  // Read and stored least significant byte first, the sum's two bytes trade places.
  const std::uint16_t sum = os::InternetChecksum(bytes, static_cast<std::size_t>(size));
  return static_cast<std::uint16_t>(sum >> 8 | sum << 8);
}

void BuildEchoRequest(std::uint8_t* area, std::uint16_t identifier, std::uint16_t sequence,
                      std::uint32_t tick, std::string_view payload) {
  std::memset(area, 0, kEchoRequestSize);
  area[0] = kIcmpEchoRequest;
  os::PutLittleWord(area + 4, identifier);
  os::PutLittleWord(area + 6, sequence);
  WriteLe32(area + 8, tick);
  std::uint8_t* data = area + kEchoRequestSize - kEchoPayloadSize;
  std::memset(data, 'E', kEchoPayloadSize);
  std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), kEchoPayloadSize), data);
  os::PutLittleWord(area + 2, ComputeChecksum(area, kEchoRequestSize));
}

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
      if (quote[9] != os::kIpProtocolIcmp || quote[quote_h] != kIcmpEchoRequest) return view;
      std::copy_n(quote + 16, 4, view.target.begin());
      ours_at = h + kIcmpHeaderSize + quote_h + 4;
      break;
    }
    default:
      return view;
  }
  if (os::LittleWord(area + ours_at) != identifier) return view;
  view.ours = true;
  view.sequence = os::LittleWord(area + ours_at + 2);
  view.ttl = area[8];
  std::copy_n(area + 12, 4, view.source.begin());
  return view;
}

}  // namespace trolvane
