// Another program's pings, as a host sees them: answers every echo request with an echo
// reply that carries the request's sequence number but another identifier. Runs in a
// target namespace whose kernel answers no echo requests itself, and ends by itself.
//
// usage: echo_imposter SECONDS
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "net/raw_headers.h"
#include "platform/process.h"
#include "platform/winsock.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: echo_imposter SECONDS\n");
    return 2;
  }
  const std::uint32_t limit_ms = static_cast<std::uint32_t>(std::atoi(argv[1])) * 1000u;
  os::SOCKET s = os::socket(os::kAfInet, os::kSockRaw, os::kIpProtoIcmp);
  if (s == os::kInvalidSocket) {
    std::fprintf(stderr, "echo_imposter: no raw socket (%d)\n", os::WSAGetLastError());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const std::uint32_t start = os::TickCount();
  int answered = 0;
  std::vector<std::uint8_t> packet(2048);
  for (std::uint32_t elapsed = 0; elapsed < limit_ms;
       elapsed = trolvane::TickDiff(start, os::TickCount())) {
    os::FdSet read{1, {s}};
    std::uint32_t left = limit_ms - elapsed;
    os::TimeVal wait{static_cast<std::int32_t>(left / 1000),
                     static_cast<std::int32_t>(left % 1000) * 1000};
    if (os::select(0, &read, nullptr, nullptr, &wait) != 1) continue;
    os::SockAddrIn from{};
    int from_length = sizeof(from);
    int n = os::recvfrom(s, reinterpret_cast<char*>(packet.data()), static_cast<int>(packet.size()),
                         0, &from, &from_length);
    if (n <= 0) continue;
    const int h = (packet[0] & 0x0F) * 4;
    const int icmp_length = n - h;
    if (icmp_length < 8 || icmp_length % 2 != 0 || packet[h] != trolvane::kIcmpEchoRequest) {
      continue;
    }
    std::uint8_t* icmp = packet.data() + h;
    icmp[0] = trolvane::kIcmpEchoReply;
    icmp[4] ^= 0x5A;  // another identifier; the sequence number stays
    icmp[2] = icmp[3] = 0;
    std::uint16_t sum = trolvane::ComputeChecksum(icmp, icmp_length);
    icmp[2] = static_cast<std::uint8_t>(sum);
    icmp[3] = static_cast<std::uint8_t>(sum >> 8);
    if (os::sendto(s, reinterpret_cast<const char*>(icmp), icmp_length, 0, &from, sizeof(from)) ==
        icmp_length) {
      ++answered;
    }
  }
  os::closesocket(s);
  std::printf("answered %d\n", answered);
  return 0;
}
