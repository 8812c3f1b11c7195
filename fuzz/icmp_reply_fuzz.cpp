// The ICMP reply decoder. Input: our identifier and sequence (two bytes each, least
// significant first), then the datagram as a raw socket would hand it up. The verdict
// depends on the datagram alone, never on what lies past it in the receive area; a packet
// called ours carries our numbers, and our own request reflected as a reply is ours.
#include <array>
#include <cstring>

#include "fuzz_check.h"
#include "net/raw_headers.h"

namespace {

using trolvane::PacketVerdict;
using trolvane::PacketView;
using trolvane::TReplyStatusKind;
using Area = std::array<std::uint8_t, trolvane::kIcmpAreaSize>;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool SameView(const PacketView& a, const PacketView& b) {
  return a.verdict == b.verdict && a.kind == b.kind && a.type == b.type &&
         a.sequence == b.sequence && a.ttl == b.ttl &&
         std::memcmp(a.source, b.source, sizeof a.source) == 0;
}

void CheckView(const Area& area, int n, std::uint16_t id, std::uint16_t seq,
               const PacketView& view) {
  const int h = (area[0] & 0x0F) * 4;
  if (h < 20) {
    FUZZ_CHECK(view.verdict == PacketVerdict::kForeign);  // no IPv4 header to read
    return;
  }
  FUZZ_CHECK((view.verdict == PacketVerdict::kTooShort) == (n < h + 8));
  if (view.verdict == PacketVerdict::kTooShort) return;
  const std::uint8_t type = area[static_cast<std::size_t>(h)];
  const bool echo = type == 0 || type == 8;
  const bool error = type == 3 || type == 11;
  FUZZ_CHECK((view.verdict == PacketVerdict::kNotEcho) == (!echo && !error));
  if (view.verdict != PacketVerdict::kOurs) return;
  FUZZ_CHECK(view.type == type && view.sequence == seq && view.ttl == area[8]);
  FUZZ_CHECK(std::memcmp(view.source, &area[12], 4) == 0);
  // Our numbers sit where the message keeps them, inside the bytes received.
  const int at = echo ? h + 4 : 2 * h + 12;
  FUZZ_CHECK(at + 4 <= n);
  FUZZ_CHECK(Le16(&area[static_cast<std::size_t>(at)]) == id);
  FUZZ_CHECK(Le16(&area[static_cast<std::size_t>(at) + 2]) == seq);
  const TReplyStatusKind kind = echo        ? TReplyStatusKind::rkEchoReply
                                : type == 3 ? TReplyStatusKind::rkUnreachable
                                            : TReplyStatusKind::rkTtlExpired;
  FUZZ_CHECK(view.kind == kind);
}

// Our request, built from the same numbers, behind an IPv4 header of the input's length
// and with its type turned into an echo reply, is always ours; its checksum verifies.
void CheckOwnRequest(std::uint16_t id, std::uint16_t seq, std::string_view rest) {
  Area area{};
  const int h = 20 + 4 * (rest.empty() ? 0 : static_cast<std::uint8_t>(rest[0]) % 11);
  area[0] = static_cast<std::uint8_t>(0x40 | h / 4);
  area[8] = 64;
  std::uint8_t* request = &area[static_cast<std::size_t>(h)];
  trolvane::BuildEchoRequest(request, id, seq, 0x01020304u, rest);
  std::uint32_t sum = 0;
  for (int i = 0; i < trolvane::kEchoRequestSize; i += 2) sum += Le16(request + i);
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  FUZZ_CHECK(sum == 0xFFFF);
  request[0] = 0;
  PacketView view = trolvane::ExamineReply(area.data(), h + trolvane::kEchoRequestSize, id, seq);
  FUZZ_CHECK(view.verdict == PacketVerdict::kOurs);
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
  PacketView view = trolvane::ExamineReply(clean.data(), n, id, seq);
  FUZZ_CHECK(SameView(view, trolvane::ExamineReply(stale.data(), n, id, seq)));
  CheckView(clean, n, id, seq, view);

  CheckOwnRequest(id, seq, trolvane::fuzz::AsText(data, size));
  return 0;
}
