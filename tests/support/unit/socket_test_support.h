// Test helpers for socket tests, written on the program's own platform calls so that they
// run in both builds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "net/udp_socket.h"
#include "platform/winsock.h"

namespace trolvane::testing {

// Windows needs Winsock started before the first socket call, as the program does.
class WinsockTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartWinsock(); }
  static void TearDownTestSuite() { StopWinsock(); }
};

// A UDP socket bound on loopback that hands back what arrives.
class LoopbackReceiver {
 public:
  // Port 0 takes a free one.
  explicit LoopbackReceiver(const char* address = "127.0.0.1", std::uint16_t port = 0) {
    socket_ = os::socket(os::kAfInet, os::kSockDgram, os::kIpProtoUdp);
    os::SockAddrIn a{os::kAfInet, os::HToNs(port), os::inet_addr(address), {}};
    int length = sizeof a;
    ok_ = socket_ != os::kInvalidSocket && os::bind(socket_, &a, sizeof a) == 0 &&
          os::getsockname(socket_, &a, &length) == 0;
    port_ = os::NToHs(a.port);
  }
  ~LoopbackReceiver() {
    if (socket_ != os::kInvalidSocket) os::closesocket(socket_);
  }
  LoopbackReceiver(const LoopbackReceiver&) = delete;
  LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;

  bool Ok() const { return ok_; }
  std::uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }

  // The next datagram, or nothing when none arrives within wait_ms.
  std::optional<std::string> Receive(int wait_ms = 2000) {
    os::FdSet read{1, {socket_}};
    os::TimeVal limit{wait_ms / 1000, (wait_ms % 1000) * 1000};
    if (os::select(0, &read, nullptr, nullptr, &limit) != 1) return std::nullopt;
    char buffer[2048];
    int n = os::recv(socket_, buffer, sizeof buffer, 0);
    if (n < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
  }

 private:
  os::SOCKET socket_ = os::kInvalidSocket;
  std::uint16_t port_ = 0;
  bool ok_ = false;
};

}  // namespace trolvane::testing
