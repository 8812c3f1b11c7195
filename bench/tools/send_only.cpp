// The send step alone, as a process of its own: start the socket layers, send the magic
// packet to the host (and its broadcast address with a bit count), stop.
//   send_only MAC HOST PORT [BITS]
#include <cstdio>
#include <exception>
#include <string>

#include "app/process_lifetime.h"
#include "wake/magic_packet.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: send_only MAC HOST PORT [BITS]\n", stderr);
    return 2;
  }
  try {
    trolvane::ProcessLifetime lifetime;
    trolvane::TMagicPacket job([](std::string_view) { return true; });
    job.SetMacAddress(argv[1]);
    job.SetHostAddress(argv[2]);
    job.SetPortText(argv[3]);
    if (argc > 4) job.SetMaskBits(std::stoi(argv[4]));
    job.SendMagicPacket();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "send_only: %s\n", e.what());
    return 1;
  }
  return 0;
}
