// A host that answers echo requests itself, in ways a test chooses: late, from another of
// its addresses, with another identifier, or after an unrelated ICMP message. Runs in a
// target namespace whose kernel answers no echo requests, and ends by itself.
//
// usage: echo_responder SECONDS [--delay MS] [--from ADDRESS] [--other-id] [--stray TYPE]
// Prints "ready" once listening and "answered N" at the end.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/raw_headers.h"
#include "platform/checksum.h"

namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

void Seal(std::vector<std::uint8_t>& icmp) {
  icmp[2] = icmp[3] = 0;
  os::PutNetworkWord(icmp.data() + os::kIcmpChecksumAt,
                     os::InternetChecksum(icmp.data(), icmp.size()));
}

struct Reply {
  long long due;
  sockaddr_in to;
  in_addr asked;
  std::vector<std::uint8_t> icmp;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: echo_responder SECONDS [--delay MS] [--from ADDRESS] "
                 "[--other-id] [--stray TYPE]\n");
    return 2;
  }
  const long long deadline = NowMs() + std::atoll(argv[1]) * 1000;
  long long delay = 0;
  const char* from = nullptr;
  bool other_id = false;
  int stray = -1;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--other-id") {
      other_id = true;
    } else if (i + 1 < argc && option == "--delay") {
      delay = std::atoll(argv[++i]);
    } else if (i + 1 < argc && option == "--from") {
      from = argv[++i];
    } else if (i + 1 < argc && option == "--stray") {
      stray = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "echo_responder: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  int s = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (s < 0) {
    std::perror("echo_responder: raw socket");
    return 1;
  }
  // A raw socket bound to an address hears only what is sent to it, so the answers go
  // out through a second one.
  int out = s;
  if (from != nullptr) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    out = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (out < 0 || inet_pton(AF_INET, from, &local.sin_addr) != 1 ||
        bind(out, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      std::perror("echo_responder: bind");
      return 1;
    }
  }
  std::printf("ready\n");
  std::fflush(stdout);
  int answered = 0;
  std::deque<Reply> replies;
  std::vector<std::uint8_t> packet(2048);
  for (long long now = NowMs(); now < deadline; now = NowMs()) {
    const long long until = replies.empty() ? deadline : std::min(deadline, replies.front().due);
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::max(0LL, until - now))) == 1) {
      sockaddr_in sender{};
      socklen_t length = sizeof sender;
      ssize_t n = recvfrom(s, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&sender),
                           &length);
      const int h = n > 0 ? (packet[0] & 0x0F) * 4 : 0;
      if (n >= h + 8 && packet[static_cast<std::size_t>(h)] == trolvane::kIcmpEchoRequest) {
        if (stray >= 0) {
          std::vector<std::uint8_t> message(20, 0);
          message[0] = static_cast<std::uint8_t>(stray);
          std::memcpy(&message[4], &packet[static_cast<std::size_t>(h) + 4], 4);  // its numbers
          Seal(message);
          sendto(out, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&sender),
                 sizeof sender);
        }
        Reply reply{NowMs() + delay,
                    sender,
                    {},
                    std::vector<std::uint8_t>(packet.begin() + h, packet.begin() + n)};
        std::memcpy(&reply.asked, &packet[16], 4);
        reply.icmp[0] = trolvane::kIcmpEchoReply;
        if (other_id) reply.icmp[4] ^= 0x5A;
        Seal(reply.icmp);
        replies.push_back(std::move(reply));
      }
    }
    while (!replies.empty() && replies.front().due <= NowMs()) {
      Reply& r = replies.front();
      iovec data{r.icmp.data(), r.icmp.size()};
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
      // From the address asked, as a host of many addresses answers; a bound socket from its own.
      msghdr m{&r.to, sizeof r.to, &data, 1, control, from == nullptr ? sizeof control : 0, 0};
      if (cmsghdr* c = CMSG_FIRSTHDR(&m)) {
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_spec_dst = r.asked;
      }
      if (sendmsg(out, &m, 0) > 0) {
        ++answered;
      }
      replies.pop_front();
    }
  }
  close(s);
  if (out != s) close(out);
  std::printf("answered %d\n", answered);
  return 0;
}
