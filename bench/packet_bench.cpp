// Per-call cost of the byte work of one run. bench/run reports each as a multiple of
// copying the 102-byte packet, so that the figures compare across machines.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "net/raw_headers.h"
#include "platform/checksum.h"
#include "wake/magic_packet.h"

namespace {

// The unit of the report: copying one magic packet.
void BM_Reference_Copy102(benchmark::State& state) {
  std::array<std::uint8_t, 102> from{};
  std::array<std::uint8_t, 102> to{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(from.data());
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Reference_Copy102);

// The MAC text parsed and laid out sixteen times, as before each datagram.
void BM_BuildMagicPacket(benchmark::State& state) {
  trolvane::MagicPacketBytes packet{};
  for (auto _ : state) {
    trolvane::TMagicPacket::BuildMagicPacket("01-02-03-04-05-06", packet);
    benchmark::DoNotOptimize(packet.data());
  }
}
BENCHMARK(BM_BuildMagicPacket);

// The Internet checksum over the 52-byte echo request.
void BM_InternetChecksum(benchmark::State& state) {
  std::array<std::uint8_t, trolvane::kEchoRequestSize> request{};
  trolvane::BuildEchoRequest(request.data(), 0x1234, trolvane::kFirstSequence, 123456, "");
  for (auto _ : state) {
    benchmark::DoNotOptimize(request.data());
    benchmark::DoNotOptimize(os::InternetChecksum(request.data(), request.size()));
  }
}
BENCHMARK(BM_InternetChecksum);

// The whole request: header, numbers, payload and checksum.
void BM_BuildEchoRequest(benchmark::State& state) {
  std::array<std::uint8_t, trolvane::kEchoRequestSize> request{};
  std::uint16_t sequence = 0;
  for (auto _ : state) {
    trolvane::BuildEchoRequest(request.data(), 0x1234, ++sequence, 123456, "");
    benchmark::DoNotOptimize(request.data());
  }
}
BENCHMARK(BM_BuildEchoRequest);

// Decoding one echo reply as the raw socket hands it up: IPv4 header, then our request
// turned into a reply.
void BM_DecodeEchoReply(benchmark::State& state) {
  std::array<std::uint8_t, trolvane::kIcmpAreaSize> area{};
  area[0] = 0x45;
  area[8] = 64;
  area[12] = 127;
  area[15] = 1;
  trolvane::BuildEchoRequest(&area[20], 0x1234, trolvane::kFirstSequence, 123456, "");
  area[20] = trolvane::kIcmpEchoReply;
  area[22] = area[23] = 0;
  os::PutNetworkWord(
      &area[20] + os::kIcmpChecksumAt,
      os::InternetChecksum(&area[20], static_cast<std::size_t>(trolvane::kEchoRequestSize)));
  const int n = 20 + trolvane::kEchoRequestSize;
  for (auto _ : state) {
    benchmark::DoNotOptimize(area.data());
    benchmark::DoNotOptimize(trolvane::ExamineReply(area.data(), n, 0x1234));
  }
}
BENCHMARK(BM_DecodeEchoReply);

}  // namespace
