// udp_sink PORT COUNT WAIT_MS: receives UDP datagrams on every local address of PORT and
// prints one line per datagram, "<destination address> <bytes in hex>", after a first
// line "ready". Ends after COUNT datagrams or WAIT_MS milliseconds, whichever comes first;
// the datagram lines come out at the end.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// The address the datagram was sent to, from its IP_PKTINFO.
const char* Destination(msghdr& message, char* text) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo info{};
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      return inet_ntop(AF_INET, &info.ipi_addr, text, INET_ADDRSTRLEN);
    }
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: udp_sink PORT COUNT WAIT_MS\n");
    return 2;
  }
  int port = std::atoi(argv[1]);
  int count = std::atoi(argv[2]);
  long long deadline = NowMs() + std::atoll(argv[3]);

  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int on = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (fd < 0 || setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("udp_sink");
    return 1;
  }
  // Room for a whole list's packets at once, and no pipe to block on until the end: the
  // test reads the lines only after its program has run.
  const int buffer = 32 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer);
  std::printf("ready\n");
  std::fflush(stdout);
  static char out[64 << 20];
  std::setvbuf(stdout, out, _IOFBF, sizeof out);

  for (int received = 0; received < count;) {
    long long left = deadline - NowMs();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    unsigned char data[65536];
    char control[256];
    iovec io{data, sizeof data};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd, &message, 0);
    if (n < 0) continue;
    char text[INET_ADDRSTRLEN] = "";
    std::printf("%s ", Destination(message, text));
    for (ssize_t i = 0; i < n; ++i) std::printf("%02x", data[i]);
    std::printf("\n");
    ++received;
  }
  close(fd);
  std::fflush(stdout);
  return 0;
}
