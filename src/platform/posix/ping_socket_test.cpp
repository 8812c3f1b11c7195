// The raw ICMP socket of an unprivileged process. Each case runs in a child with a
// network namespace of its own (only loopback, nothing leaves it) and the identity of
// `nobody`, so the machine's ping_group_range is never touched.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include "platform/checksum.h"
#include "platform/winsock.h"

namespace os {
namespace {

constexpr uid_t kNobody = 65534;
constexpr std::uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network order

bool WriteFile(const char* path, const std::string& text) {
  int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

bool LoopbackUp() {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ::ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool ok = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

struct ChildReport {
  std::string skipped;   // why the case could not run
  std::string failures;  // empty when every check held
};

// Runs body in a child inside a fresh network namespace whose ping_group_range is
// group_range; setup runs as root before the child becomes nobody. The child is killed
// after 10 s.
ChildReport RunAsNobody(const std::string& group_range, const std::function<void()>& setup,
                        const std::function<std::string()>& body) {
  if (::geteuid() != 0) return {"needs root to create a network namespace", ""};
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return {"", "pipe failed"};
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    std::string out;
    if (::unshare(CLONE_NEWNET) != 0) {
      out = "S cannot create a network namespace";
    } else if (!LoopbackUp() || !WriteFile("/proc/sys/net/ipv4/ping_group_range", group_range)) {
      out = "F namespace set-up failed";
    } else {
      setup();
      ::alarm(10);
      gid_t group = kNobody;
      if (::setgroups(1, &group) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
          ::setresuid(kNobody, kNobody, kNobody) != 0) {
        out = "F cannot become nobody";
      } else {
        out = "F" + body();
      }
    }
    (void)!::write(pipe_fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string out;
  char chunk[512];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], chunk, sizeof(chunk))) > 0) out.append(chunk, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (out.empty()) return {"", "the child died with status " + std::to_string(status)};
  if (out[0] == 'S') return {out.substr(2), ""};
  return {"", out.substr(1)};
}

std::uint16_t Sum(const std::uint8_t* p, std::size_t n) { return os::InternetChecksum(p, n); }

// An echo request with identifier BE EF and sequence 00 07.
std::array<std::uint8_t, 16> EchoRequest() {
  std::array<std::uint8_t, 16> m = {8, 0, 0, 0, 0xBE, 0xEF, 0, 7, 'a', 'b', 'c', 'd', 'e', 'f'};
  std::uint16_t c = Sum(m.data(), m.size());
  m[2] = static_cast<std::uint8_t>(c >> 8);
  m[3] = static_cast<std::uint8_t>(c);
  return m;
}

SockAddrIn Loopback() { return SockAddrIn{kAfInet, 0, kLoopback, {}}; }

#define CHECK(cond)                                          \
  do {                                                       \
    if (!(cond)) {                                           \
      failures << __LINE__ << ": " #cond " does not hold. "; \
      return failures.str();                                 \
    }                                                        \
  } while (0)

// Sends the echo request and gives the next message the raw socket hands up.
std::string SendAndReceive(SOCKET s, std::array<std::uint8_t, 1024>* area, int* n) {
  std::ostringstream failures;
  auto request = EchoRequest();
  SockAddrIn to = Loopback();
  CHECK(os::sendto(s, reinterpret_cast<const char*>(request.data()), request.size(), 0, &to,
                   sizeof(to)) == static_cast<int>(request.size()));
  FdSet read{1, {s}};
  TimeVal two_seconds{2, 0};
  CHECK(os::select(0, &read, nullptr, nullptr, &two_seconds) == 1);
  *n = os::recv(s, reinterpret_cast<char*>(area->data()), area->size(), 0);
  return "";
}

std::string EchoReplyComesUpAsFromARawSocket() {
  std::ostringstream failures;
  SOCKET s = os::socket(kAfInet, kSockRaw, kIpProtoIcmp);
  CHECK(s != kInvalidSocket);
  int ttl = 128;
  CHECK(os::setsockopt(s, kIpProtoIp, kIpTtl, reinterpret_cast<const char*>(&ttl), 4) == 0);
  std::array<std::uint8_t, 1024> a{};
  int n = 0;
  if (std::string f = SendAndReceive(s, &a, &n); !f.empty()) return f;
  CHECK(n == 20 + 16);
  CHECK(a[0] == 0x45 && a[9] == 1 && a[8] == 64);
  CHECK(a[2] == 0 && a[3] == n);
  CHECK(std::memcmp(&a[12], &kLoopback, 4) == 0 && std::memcmp(&a[16], &kLoopback, 4) == 0);
  CHECK(Sum(a.data(), 20) == 0);
  CHECK(a[20] == 0 && a[24] == 0xBE && a[25] == 0xEF && a[26] == 0 && a[27] == 7);
  CHECK(std::memcmp(&a[28], "abcdef", 6) == 0);
  CHECK(Sum(&a[20], 16) == 0);
  CHECK(os::closesocket(s) == 0);
  return "";
}

TEST(PingSocket, EchoReplyComesUpAsFromARawSocket) {
  ChildReport r = RunAsNobody(
      "65534 65534", [] {}, EchoReplyComesUpAsFromARawSocket);
  if (!r.skipped.empty()) GTEST_SKIP() << r.skipped;
  EXPECT_EQ(r.failures, "");
}

// A raw socket opened as root, kept after the child became nobody, forges the ICMP error
// that a router would send back for our request.
SOCKET forger = kInvalidSocket;

std::string ForgeErrorFor(SOCKET s, std::uint8_t type, std::uint8_t code) {
  std::ostringstream failures;
  SockAddrIn local{};
  int length = sizeof(local);
  CHECK(os::getsockname(s, &local, &length) == 0);
  auto request = EchoRequest();
  std::array<std::uint8_t, 36> m = {type, code, 0,  0, 0, 0, 0, 0,  0x45,
                                    0,    0,    36, 0, 0, 0, 0, 64, 1};
  std::memcpy(&m[20], &kLoopback, 4);
  std::memcpy(&m[24], &kLoopback, 4);
  std::memcpy(&m[28], request.data(), 8);
  std::memcpy(&m[32], &local.port, 2);  // the identifier the kernel gave the request
  std::uint16_t c = Sum(m.data(), m.size());
  m[2] = static_cast<std::uint8_t>(c >> 8);
  m[3] = static_cast<std::uint8_t>(c);
  SockAddrIn to = Loopback();
  CHECK(os::sendto(forger, reinterpret_cast<const char*>(m.data()), m.size(), 0, &to, sizeof(to)) ==
        static_cast<int>(m.size()));
  return "";
}

std::string ErrorComesUpAsTheMessageARawSocketSees(std::uint8_t type, std::uint8_t code) {
  std::ostringstream failures;
  SOCKET s = os::socket(kAfInet, kSockRaw, kIpProtoIcmp);
  CHECK(s != kInvalidSocket && forger != kInvalidSocket);
  std::array<std::uint8_t, 1024> a{};
  int n = 0;
  if (std::string f = SendAndReceive(s, &a, &n); !f.empty()) return f;  // the echo reply
  if (std::string f = ForgeErrorFor(s, type, code); !f.empty()) return f;
  FdSet read{1, {s}};
  TimeVal two_seconds{2, 0};
  CHECK(os::select(0, &read, nullptr, nullptr, &two_seconds) == 1);
  a.fill(0);
  n = os::recv(s, reinterpret_cast<char*>(a.data()), a.size(), 0);
  CHECK(n == 20 + 8 + 20 + 8);  // the forged error quotes 8 bytes
  CHECK(a[0] == 0x45 && a[9] == 1 && std::memcmp(&a[12], &kLoopback, 4) == 0);
  CHECK(a[20] == type && a[21] == code);
  CHECK(Sum(&a[20], n - 20) == 0);
  CHECK(a[28] == 0x45 && a[37] == 1 && std::memcmp(&a[44], &kLoopback, 4) == 0);
  CHECK(a[48] == 8 && a[52] == 0xBE && a[53] == 0xEF && a[54] == 0 && a[55] == 7);
  // Nothing more is due: the error was handed up once.
  TimeVal poll{0, 0};
  CHECK(os::select(0, &read, nullptr, nullptr, &poll) == 0);
  CHECK(os::closesocket(s) == 0);
  return "";
}

TEST(PingSocket, IcmpErrorsComeUpQuotingTheRequest) {
  const std::uint8_t kinds[][2] = {{3, 1}, {11, 0}};
  for (const auto& kind : kinds) {
    ChildReport r = RunAsNobody(
        "65534 65534", [] { forger = os::socket(kAfInet, kSockRaw, kIpProtoIcmp); },
        [&] { return ErrorComesUpAsTheMessageARawSocketSees(kind[0], kind[1]); });
    if (!r.skipped.empty()) GTEST_SKIP() << r.skipped;
    EXPECT_EQ(r.failures, "") << "type " << int(kind[0]);
  }
}

TEST(PingSocket, RefusedWhenTheGroupIsNotAllowed) {
  ChildReport r = RunAsNobody(
      "1 0", [] {},
      [] {
        std::ostringstream failures;
        CHECK(os::socket(kAfInet, kSockRaw, kIpProtoIcmp) == kInvalidSocket);
        CHECK(os::WSAGetLastError() == kWsaeAcces);
        return std::string();
      });
  if (!r.skipped.empty()) GTEST_SKIP() << r.skipped;
  EXPECT_EQ(r.failures, "");
}

}  // namespace
}  // namespace os
