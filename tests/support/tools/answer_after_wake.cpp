// A machine that starts while being pinged: waits for the magic packet on a UDP port,
// then, some time later, lets its kernel answer echo requests again. Runs inside a
// target namespace and ends by itself.
//
// usage: answer_after_wake PORT DELAY_MS LIMIT_SECONDS
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/process.h"
#include "platform/winsock.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: answer_after_wake PORT DELAY_MS LIMIT_SECONDS\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const auto delay_ms = static_cast<std::uint32_t>(std::atoi(argv[2]));
  os::SOCKET s = os::socket(os::kAfInet, os::kSockDgram, os::kIpProtoUdp);
  os::SockAddrIn any{os::kAfInet, os::HToNs(static_cast<std::uint16_t>(port)), 0, {}};
  if (s == os::kInvalidSocket || os::bind(s, &any, sizeof(any)) != 0) {
    std::fprintf(stderr, "answer_after_wake: cannot listen (%d)\n", os::WSAGetLastError());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  os::FdSet read{1, {s}};
  os::TimeVal limit{std::atoi(argv[3]), 0};
  if (os::select(0, &read, nullptr, nullptr, &limit) != 1) {
    std::printf("no magic packet\n");
    return 1;
  }
  os::Sleep(delay_ms);
  std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "0\n";
  std::printf("answering\n");
  os::closesocket(s);
  return 0;
}
