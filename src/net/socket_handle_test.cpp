// The socket handle and the raw client over datagram sockets on loopback, which need no
// rights.
#include "net/socket_handle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/component.h"
#include "net/net_exceptions.h"
#include "net/raw_client.h"
#include "net/stack.h"
#include "platform/process.h"

namespace trolvane {
namespace {

// Keeps the stack alive for the handles of a test.
class SocketHandleTest : public ::testing::Test {
 protected:
  // A datagram socket bound to a free loopback port, as a handle with its address.
  void OpenBound(TNetSocketHandle& handle) {
    handle.OpenSocket(os::kSockDgram, os::kIpProtoUdp);
    TNetStack* stack = StackInstance();
    stack->CheckSocketResult(stack->SockBind(handle.Socket(), os::kAfInet, "127.0.0.1", 0));
    handle.RefreshLocalAddress();
  }

  TNetComponent keep_stack_;
};

TEST_F(SocketHandleTest, NewHandleHasNoSocketAndCannotWait) {
  TNetSocketHandle handle;
  EXPECT_EQ(handle.Socket(), os::kInvalidSocket);
  EXPECT_FALSE(handle.SocketOpen());
  EXPECT_EQ(handle.IP(), "");
  EXPECT_EQ(handle.PeerAddress(), "");
  EXPECT_EQ(
      handle.Port() + handle.PeerPortNumber() + handle.ClientPortMin() + handle.ClientPortMax(), 0);
  EXPECT_THROW(handle.WaitReadable(0), ENetConnClosedGracefully);
  handle.Close();  // nothing to close
  OpenBound(handle);
  handle.Close();
  EXPECT_FALSE(handle.SocketOpen());
  try {
    handle.WaitReadable(-2);
    FAIL() << "waited on a closed handle";
  } catch (const ENetConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
}

TEST_F(SocketHandleTest, DatagramIsSentWaitedForAndReceived) {
  TNetSocketHandle sender;
  TNetSocketHandle receiver;
  sender.OpenSocket(os::kSockDgram, os::kIpProtoUdp);
  OpenBound(receiver);
  EXPECT_EQ(receiver.IP(), "127.0.0.1");
  EXPECT_FALSE(receiver.WaitReadable(0));

  const std::string text = "twelve bytes";
  sender.SendToAddress("127.0.0.1", receiver.Port(), text.data(), 12);
  EXPECT_TRUE(receiver.WaitReadable(5000));
  std::vector<char> buffer(64);
  std::string from;
  int port = 0;
  int n = receiver.ReceiveWithSource(buffer.data(), 64, 0, &from, &port);
  EXPECT_EQ(std::string(buffer.data(), n > 0 ? n : 0), text);
  EXPECT_EQ(from, "127.0.0.1");
  EXPECT_GT(port, 0);
}

TEST_F(SocketHandleTest, OversizedDatagramIsPackageSizeTooBig) {
  TNetSocketHandle handle;
  handle.OpenSocket(os::kSockDgram, os::kIpProtoUdp);
  std::vector<char> huge(70000);
  try {
    handle.SendToAddress("127.0.0.1", 9, huge.data(), static_cast<int>(huge.size()));
    FAIL() << "sent";
  } catch (const ENetSocketHandleError& e) {
    EXPECT_EQ(e.Message(), "Package Size Too Big.");
  }
}

TEST(RawClient, DefaultsAndNoSocketForAnEmptyReceive) {
  TNetRawClient client;
  EXPECT_EQ(client.BufferSize(), 8192);
  EXPECT_EQ(client.Protocol(), 255);
  EXPECT_EQ(client.Port(), 0);
  EXPECT_EQ(client.ReceiveTimeout(), 0);
  char byte = 0;
  EXPECT_EQ(client.ReceiveWithTimeout(&byte, 0, 1000), 0);
  EXPECT_EQ(client.ReceiveWithTimeout(nullptr, 1, 1000), 0);
  EXPECT_FALSE(client.SocketHandle().SocketOpen());
}

}  // namespace
}  // namespace trolvane
