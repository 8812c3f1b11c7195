// tcp_listener PORT SECONDS: accepts TCP connections on every local address of PORT and
// closes each at once, after a first line "ready"; ends after SECONDS and prints how
// many it accepted.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tcp_listener PORT SECONDS\n");
    return 2;
  }
  const time_t end = time(nullptr) + std::atoi(argv[2]);
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
  // The queue holds a whole room's attempts even while this process is not scheduled.
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 65535) != 0) {
    std::perror("tcp_listener");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  long accepted = 0;
  while (time(nullptr) < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int connection = accept(fd, nullptr, nullptr);
    if (connection < 0) continue;
    close(connection);
    ++accepted;
  }
  std::printf("%ld\n", accepted);
  return 0;
}
