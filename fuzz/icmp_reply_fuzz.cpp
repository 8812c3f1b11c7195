// The ICMP reply decoder. Input: our identifier and sequence (two bytes each, least
// significant first), then the datagram as a raw socket would hand it up. The verdict
// depends on the datagram alone, never on what lies past it in the receive area; a packet
// called ours is intact and carries our identifier where an answer to our request keeps
// it, and our own request reflected as a reply is ours.
#include <array>
#include <cstring>

#include "fuzz_check.h"
#include "net/raw_headers.h"
#include "platform/checksum.h"

namespace {

using trolvane::PacketView;
using trolvane::TReplyStatusKind;
using Area = std::array<std::uint8_t, trolvane::kIcmpAreaSize>;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool SameView(const PacketView& a, const PacketView& b) {
  return a.ours == b.ours && a.kind == b.kind && a.type == b.type && a.sequence == b.sequence &&
         a.ttl == b.ttl && a.source == b.source && a.target == b.target;
}

// One's complement sum of the bytes as 16-bit words, an odd last byte padded with zero.
std::uint32_t OnesSum(const std::uint8_t* p, int n) {
  std::uint32_t sum = 0;
  for (int i = 0; i < n; i += 2) sum += i + 1 < n ? Le16(p + i) : p[i];
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return sum;
}

void CheckView(const Area& area, int n, std::uint16_t id, const PacketView& view) {
  if (!view.ours) return;
  // An IPv4 header, then an intact ICMP message that is part of an echo exchange.
  const int h = (area[0] & 0x0F) * 4;
  FUZZ_CHECK(area[0] >> 4 == 4 && h >= 20 && n >= h + 8);
  FUZZ_CHECK(OnesSum(&area[static_cast<std::size_t>(h)], n - h) == 0xFFFF);
  const std::uint8_t type = area[static_cast<std::size_t>(h)];
  const bool echo = type == 0 || type == 8;
  FUZZ_CHECK(echo || type == 3 || type == 11);
  FUZZ_CHECK(view.type == type && view.ttl == area[8]);
  FUZZ_CHECK(std::memcmp(view.source.data(), &area[12], 4) == 0);
  // Our numbers sit where the message keeps them, inside the bytes received: in an error
  // message, in the quoted echo request, behind a quoted ICMP header.
  int at = h + 4;
  if (echo) {
    FUZZ_CHECK(std::memcmp(&view.target, view.source.data(), 4) == 0);
  } else {
    const std::size_t q = static_cast<std::size_t>(h) + 8;
    const int qh = (area[q] & 0x0F) * 4;
    FUZZ_CHECK(qh >= 20 && area[q + 9] == 1 && area[q + static_cast<std::size_t>(qh)] == 8);
    FUZZ_CHECK(std::memcmp(&view.target, &area[q + 16], 4) == 0);
    at = h + 8 + qh + 4;
  }
  FUZZ_CHECK(at + 4 <= n);
  FUZZ_CHECK(Le16(&area[static_cast<std::size_t>(at)]) == id);
  FUZZ_CHECK(Le16(&area[static_cast<std::size_t>(at) + 2]) == view.sequence);
  const TReplyStatusKind kind = echo        ? TReplyStatusKind::rkEchoReply
                                : type == 3 ? TReplyStatusKind::rkUnreachable
                                            : TReplyStatusKind::rkTtlExpired;
  FUZZ_CHECK(view.kind == kind);
}

// Our request, built from the same numbers, behind an IPv4 header of the input's length
// and with its type turned into an echo reply (checksum mended), is always ours.
void CheckOwnRequest(std::uint16_t id, std::uint16_t seq, std::string_view rest) {
  Area area{};
  const int h = 20 + 4 * (rest.empty() ? 0 : static_cast<std::uint8_t>(rest[0]) % 11);
  area[0] = static_cast<std::uint8_t>(0x40 | h / 4);
  area[8] = 64;
  std::uint8_t* request = &area[static_cast<std::size_t>(h)];
  trolvane::BuildEchoRequest(request, id, seq, 0x01020304u, rest);
  FUZZ_CHECK(OnesSum(request, trolvane::kEchoRequestSize) == 0xFFFF);
  request[0] = 0;
  request[2] = request[3] = 0;
  os::PutNetworkWord(
      request + os::kIcmpChecksumAt,
      os::InternetChecksum(request, static_cast<std::size_t>(trolvane::kEchoRequestSize)));
  PacketView view = trolvane::ExamineReply(area.data(), h + trolvane::kEchoRequestSize, id);
  FUZZ_CHECK(view.ours && view.sequence == seq);
  FUZZ_CHECK(view.kind == TReplyStatusKind::rkEchoReply && view.ttl == 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;  // nothing received is the time-out, decided before the decoder
  const std::uint16_t id = Le16(data);
  const std::uint16_t seq = Le16(data + 2);
  data += 4;
  size -= 4;
  const int n = static_cast<int>(std::min<std::size_t>(size, trolvane::kIcmpAreaSize));

  // Once with a clean area, once with what a longer earlier packet could have left.
  Area clean{};
  Area stale;
  stale.fill(0);
  for (std::size_t i = 0; i < stale.size(); i += 4) {
    stale[i] = static_cast<std::uint8_t>(id);
    stale[i + 1] = static_cast<std::uint8_t>(id >> 8);
    stale[i + 2] = static_cast<std::uint8_t>(seq);
    stale[i + 3] = static_cast<std::uint8_t>(seq >> 8);
  }
  std::memcpy(clean.data(), data, static_cast<std::size_t>(n));
  std::memcpy(stale.data(), data, static_cast<std::size_t>(n));
  PacketView view = trolvane::ExamineReply(clean.data(), n, id);
  FUZZ_CHECK(SameView(view, trolvane::ExamineReply(stale.data(), n, id)));
  CheckView(clean, n, id, view);

  // Again with the ICMP checksum made to verify, so that the search reaches what lies
  // behind it.
  const int h = (clean[0] & 0x0F) * 4;
  if (h >= 20 && n >= h + 4) {
    std::uint8_t* icmp = &clean[static_cast<std::size_t>(h)];
    icmp[2] = icmp[3] = 0;
    os::PutNetworkWord(icmp + os::kIcmpChecksumAt,
                       os::InternetChecksum(icmp, static_cast<std::size_t>(n - h)));
    CheckView(clean, n, id, trolvane::ExamineReply(clean.data(), n, id));
  }

  CheckOwnRequest(id, seq, trolvane::fuzz::AsText(data, size));
  return 0;
}
