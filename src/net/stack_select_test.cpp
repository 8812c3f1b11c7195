// The readiness wait and the datagram calls, on loopback only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/net_exceptions.h"
#include "net/stack_windows.h"
#include "platform/process.h"

namespace trolvane {
namespace {

// A datagram socket bound to a free loopback port.
class LoopbackSocket {
 public:
  explicit LoopbackSocket(TNetStack& stack)
      : stack_(stack), handle_(stack.NewSocketHandle(os::kSockDgram, os::kIpProtoUdp)) {
    stack_.CheckSocketResult(stack_.SockBind(handle_, os::kAfInet, "127.0.0.1", 0));
    int family = 0;
    stack_.SockGetSockName(handle_, &family, &address_, &port_);
  }
  ~LoopbackSocket() { stack_.SockCloseSocket(handle_); }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  os::SOCKET handle() const { return handle_; }
  int port() const { return port_; }
  const std::string& address() const { return address_; }

 private:
  TNetStack& stack_;
  os::SOCKET handle_;
  std::string address_;
  int port_ = 0;
};

TEST(SockSelect, SixtyFourHandlesAcceptedSixtyFiveRefused) {
  TNetStackWindows stack;
  std::vector<std::unique_ptr<LoopbackSocket>> sockets;
  SocketList list;
  for (int i = 0; i < os::kFdSetSize; ++i) {
    sockets.push_back(std::make_unique<LoopbackSocket>(stack));
    list.push_back(sockets.back()->handle());
  }
  SocketList too_many = list;
  too_many.push_back(list.front());
  try {
    stack.SockSelect(&too_many, nullptr, nullptr, 0);
    FAIL() << "no error raised";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_STREQ(e.what(), "Set Size Exceeded.");
  }
  EXPECT_EQ(too_many.size(), 65u);
  EXPECT_EQ(stack.SockSelect(&list, nullptr, nullptr, 0), 0);
  EXPECT_TRUE(list.empty());
}

TEST(SockSelect, WaitOfFifteenHundredMillisecondsEndsInTime) {
  TNetStackWindows stack;
  LoopbackSocket quiet(stack);
  SocketList read = {quiet.handle()};
  std::uint32_t start = os::TickCount();
  EXPECT_EQ(stack.SockSelect(&read, nullptr, nullptr, 1500), 0);
  std::uint32_t elapsed = os::TickCount() - start;
  EXPECT_LE(elapsed, 2500u);
  EXPECT_TRUE(read.empty());
}

// Negative limits other than -2 are the platform's to judge; they must not wait long.
TEST(SockSelect, OtherNegativeLimitsEndAtOnce) {
  TNetStackWindows stack;
  LoopbackSocket quiet(stack);
  for (int timeout : {-1, -999, -5000}) {
    SocketList read = {quiet.handle()};
    std::uint32_t start = os::TickCount();
    EXPECT_LE(stack.SockSelect(&read, nullptr, nullptr, timeout), 0) << timeout;
    EXPECT_LE(os::TickCount() - start, 1000u) << timeout;
  }
}

TEST(SockSelect, ReadyHandleIsReportedByPollAndByUnlimitedWait) {
  TNetStackWindows stack;
  LoopbackSocket receiver(stack);
  LoopbackSocket quiet(stack);
  LoopbackSocket sender(stack);
  const char payload[] = "ping";
  ASSERT_EQ(stack.SockSendTo(sender.handle(), payload, 4, 0, "127.0.0.1", receiver.port()), 4);

  SocketList read = {quiet.handle(), receiver.handle()};
  EXPECT_EQ(stack.SockSelect(&read, nullptr, nullptr, -2), 1);
  EXPECT_EQ(read, SocketList{receiver.handle()});
  read = {receiver.handle()};
  SocketList write = {sender.handle()};
  EXPECT_EQ(stack.SockSelect(&read, &write, nullptr, 0), 2);
  EXPECT_EQ(read.size(), 1u);
  EXPECT_EQ(write.size(), 1u);

  char buffer[16] = {};
  std::string from;
  int from_port = 0;
  EXPECT_EQ(stack.SockRecvFrom(receiver.handle(), buffer, sizeof(buffer), 0, &from, &from_port), 4);
  EXPECT_EQ(std::string(buffer, 4), "ping");
  EXPECT_EQ(from, "127.0.0.1");
  EXPECT_EQ(from_port, sender.port());
}

TEST(SockSendTo, BadAddressTextSendsNothing) {
  TNetStackWindows stack;
  LoopbackSocket receiver(stack);
  LoopbackSocket sender(stack);
  EXPECT_THROW(stack.SockSendTo(sender.handle(), "x", 1, 0, "127.0.x.1", receiver.port()),
               EConvertError);
  SocketList read = {receiver.handle()};
  EXPECT_EQ(stack.SockSelect(&read, nullptr, nullptr, 0), 0);
}

TEST(SockGetPeerName, UnconnectedSocketRaisesTheSocketError) {
  TNetStackWindows stack;
  LoopbackSocket alone(stack);
  int family = 0;
  std::string address;
  int port = 0;
  try {
    stack.SockGetPeerName(alone.handle(), &family, &address, &port);
    FAIL() << "no error raised";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode(), 10057);
    EXPECT_EQ(stack.LastErrorCode(), 10057);
  }
  EXPECT_EQ(alone.address(), "127.0.0.1");
}

}  // namespace
}  // namespace trolvane
