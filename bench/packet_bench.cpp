// Per-call cost of the byte work of one run. bench/run reports each as a multiple of
// copying the 102-byte packet, so that the figures compare across machines.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>

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

}  // namespace
