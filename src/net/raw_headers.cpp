#include "net/raw_headers.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

std::uint16_t ComputeChecksum(const std::uint8_t* bytes, int size) {
  std::uint32_t sum = 0;
  for (int i = 0; i + 1 < size; i += 2) sum += ReadLe16(bytes + i);
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

PacketView ExamineReply(const std::uint8_t* area, int n, std::uint16_t identifier,
                        std::uint16_t sequence) {
  PacketView view;
  const int h = (area[0] & 0x0F) * 4;
  // A header shorter than IPv4 allows holds no TTL or source: reading them would take
  // bytes past the packet, whatever an earlier one left there. Passed over.
  if (h < kIpv4MinHeaderSize) return view;
  if (n < h + kIcmpHeaderSize) {
    view.verdict = PacketVerdict::kTooShort;
    return view;
  }
  view.type = area[h];
  // Where the identifier and sequence that tell whether the packet is ours sit: in the
  // echo message itself, or in the request header that an error message quotes (its IPv4
  // header taken to be as long as the outer one).
  int ours_at = h + 4;
  switch (view.type) {
    case kIcmpEchoReply:
    case kIcmpEchoRequest:
      view.kind = TReplyStatusKind::rkEchoReply;
      break;
    case kIcmpDestUnreachable:
    case kIcmpTimeExceeded:
      view.kind = view.type == kIcmpDestUnreachable ? TReplyStatusKind::rkUnreachable
                                                    : TReplyStatusKind::rkTtlExpired;
      ours_at = 2 * h + kIcmpHeaderSize + 4;
      // A quote cut short would leave the decision to stale bytes of the area.
      if (n < ours_at + 4) return view;
      break;
    default:
      view.verdict = PacketVerdict::kNotEcho;
      return view;
  }
  view.sequence = ReadLe16(area + ours_at + 2);
  if (view.sequence != sequence || ReadLe16(area + ours_at) != identifier) return view;
  view.verdict = PacketVerdict::kOurs;
  view.ttl = area[8];
  std::memcpy(view.source, area + 12, 4);
  return view;
}

std::int32_t RemainingWait(std::int32_t timeout, std::uint32_t elapsed) {
  const std::int64_t left = static_cast<std::int64_t>(timeout) - elapsed;
  return left > 0 ? static_cast<std::int32_t>(left) : 0;
}

}  // namespace trolvane
