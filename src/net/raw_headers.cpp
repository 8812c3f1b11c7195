#include "net/raw_headers.h"

#include <algorithm>
#include <cstring>

#include "platform/checksum.h"
#include "platform/icmp_wire.h"
#include "platform/process.h"

namespace trolvane {
namespace {

constexpr int kIcmpHeaderSize = static_cast<int>(os::kIcmpHeaderSize);
constexpr int kIpv4MinHeaderSize = static_cast<int>(os::kIpv4HeaderSize);

// The length of the IPv4 header at p, or 0 when the n bytes there hold none: a header
// shorter than IPv4 allows has no TTL or addresses to read.
int Ipv4HeaderLength(const std::uint8_t* p, int n) {
  if (n < kIpv4MinHeaderSize || os::Ipv4Version(p) != 4) return 0;
  const int h = os::Ipv4HeaderLength(p);
  return h >= kIpv4MinHeaderSize && h <= n ? h : 0;
}

std::uint32_t AddressAt(const std::uint8_t* p) {
  std::uint32_t address = 0;
  std::memcpy(&address, p, sizeof address);
  return address;
}

}  // namespace

std::uint16_t OurEchoIdentifier() {
  static const auto identifier = static_cast<std::uint16_t>(os::CurrentProcessId());
  return identifier;
}

void BuildEchoRequest(std::uint8_t* area, std::uint16_t identifier, std::uint16_t sequence,
                      std::uint32_t tick, std::string_view payload) {
  std::memset(area, 0, kEchoRequestSize);
  area[0] = kIcmpEchoRequest;
  os::PutLittleWord(area + os::kIcmpIdentifierAt, identifier);
  os::PutLittleWord(area + os::kIcmpSequenceAt, sequence);
  os::PutLittleWord(area + os::kEchoTickAt, tick);
  os::PutLittleWord(area + os::kEchoTickAt + 2, tick >> 16);
  std::uint8_t* data = area + kEchoRequestSize - kEchoPayloadSize;
  std::memset(data, 'E', kEchoPayloadSize);
  std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), kEchoPayloadSize), data);
  os::PutNetworkWord(area + os::kIcmpChecksumAt, os::InternetChecksum(area, kEchoRequestSize));
}

PacketView ExamineReply(const std::uint8_t* area, int n, std::uint16_t identifier) {
  PacketView view;
  const int h = Ipv4HeaderLength(area, n);
  // An ICMP header must follow, and a corrupted message is nobody's answer.
  if (h == 0 || n < h + kIcmpHeaderSize ||
      os::InternetChecksum(area + h, static_cast<std::size_t>(n - h)) != 0) {
    return view;
  }
  view.type = area[h];
  view.code = area[h + 1];
  const std::uint8_t* ours = area + h;  // the ICMP header of the request the packet answers
  switch (view.type) {
    case kIcmpEchoReply:
    case kIcmpEchoRequest:
      view.kind = TReplyStatusKind::rkEchoReply;
      view.target = AddressAt(area + os::kIpv4SourceAt);
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
      if (quote[os::kIpv4ProtocolAt] != os::kIpProtocolIcmp || quote[quote_h] != kIcmpEchoRequest) {
        return view;
      }
      view.target = AddressAt(quote + os::kIpv4DestinationAt);
      ours = quote + quote_h;
      break;
    }
    default:
      return view;
  }
  if (os::LittleWord(ours + os::kIcmpIdentifierAt) != identifier) return view;
  view.ours = true;
  view.sequence = os::LittleWord(ours + os::kIcmpSequenceAt);
  view.ttl = area[os::kIpv4TtlAt];
  std::copy_n(area + os::kIpv4SourceAt, 4, view.source.begin());
  return view;
}

}  // namespace trolvane
