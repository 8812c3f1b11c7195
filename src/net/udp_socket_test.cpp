#include "net/udp_socket.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/unit/socket_test_support.h"
#include "text/exception.h"

namespace trolvane::testing {
namespace {

// Lookups and address parsing only; nothing here is sent anywhere.
class SocketAddressTest : public WinsockTest {};

TEST_F(SocketAddressTest, HostTextGivesDottedTextOrNothing) {
  struct Case {
    const char* host;
    const char* dotted;
  } const cases[] = {
      {"192.168.0.255", "192.168.0.255"},
      {"127.0.0.1", "127.0.0.1"},
      {"localhost", "127.0.0.1"},
      {"", "0.0.0.0"},
      {"255.255.255.255", ""},  // the parser's failure value
      {"1.2.3.x", ""},
      {"999.0.0.1", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TIpSocket::ResolveHostText(c.host), c.dotted) << c.host;
}

TEST_F(SocketAddressTest, PortTextTakesServiceNamesThenIntegers) {
  struct Case {
    const char* text;
    std::int32_t port;
  } const cases[] = {
      {"7", 7}, {"echo", 7}, {"", 0}, {"$1F", 31}, {"65543", 65543}, {"0x10", 16},
  };
  for (const auto& c : cases) EXPECT_EQ(TIpSocket::ResolvePortText(c.text), c.port) << c.text;
  try {
    TIpSocket::ResolvePortText("abc");
    ADD_FAILURE() << "abc was taken as a port";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' は整数ではありません");
  }
}

TEST_F(SocketAddressTest, KeepsTheLowSixteenBitsOfThePort) {
  os::SockAddrIn a{};
  ASSERT_TRUE(TIpSocket::BuildSocketAddress("127.0.0.2", "65543", a));
  EXPECT_EQ(a.family, os::kAfInet);
  EXPECT_EQ(os::NToHs(a.port), 7);
  EXPECT_EQ(a.addr, os::inet_addr("127.0.0.2"));
  EXPECT_EQ(std::string(a.zero, 8), std::string(8, '\0'));

  // A host that resolves to nothing leaves no address to connect to.
  os::SockAddrIn untouched{};
  untouched.port = 1;
  EXPECT_FALSE(TIpSocket::BuildSocketAddress("255.255.255.255", "7", untouched));
  EXPECT_FALSE(TIpSocket::BuildSocketAddress("1.2.3.x", "7", untouched));
  EXPECT_EQ(untouched.port, 1);
  EXPECT_THROW(TIpSocket::BuildSocketAddress("255.255.255.255", "abc", untouched), EConvertError);
}

class UdpSocketTest : public WinsockTest {
 protected:
  // Connects to the receiver and records every event in order.
  void Open() {
    ASSERT_TRUE(receiver_.Ok());
    socket_.SetRemoteHost("127.0.0.1");
    socket_.SetRemotePort(receiver_.PortText());
    socket_.OnCreateHandle = [this](TBaseSocket&) { events_.push_back("create"); };
    socket_.OnDestroyHandle = [this](TBaseSocket&) { events_.push_back("destroy"); };
    socket_.OnConnect = [this](TBaseSocket&) { events_.push_back("connect"); };
    socket_.OnDisconnect = [this](TBaseSocket&) { events_.push_back("disconnect"); };
    socket_.OnError = [this](TBaseSocket&, int code) { errors_.push_back(code); };
    socket_.Activate();
  }

  // Declared before the socket, whose destruction still fires events into them.
  std::vector<std::string> events_;
  std::vector<int> errors_;
  LoopbackReceiver receiver_;
  TUdpSocket socket_;
};

TEST_F(UdpSocketTest, SendsTheBufferToTheGivenPort) {
  Open();
  ASSERT_TRUE(socket_.IsConnected());
  std::string payload(102, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
  EXPECT_EQ(socket_.SendBuffer(payload.data(), 102, 0), 102);
  EXPECT_EQ(socket_.SentByteCount(), 102);
  EXPECT_EQ(receiver_.Receive(), payload);
  EXPECT_TRUE(errors_.empty());
}

// A number replaces the host text; one that names no one host is refused as a host
// text that names none is.
TEST_F(UdpSocketTest, AnAddressGivenAsANumberIsConnectedToWithoutTheText) {
  ASSERT_TRUE(receiver_.Ok());
  socket_.OnError = [this](TBaseSocket&, int code) { errors_.push_back(code); };
  for (const std::uint32_t address : {os::HToNl(0x7F000001), 0u, os::kInaddrNone}) {
    socket_.SetRemoteHost("1.2.3.x");
    socket_.SetRemoteAddress(address);
    socket_.SetRemotePort(receiver_.PortText());
    socket_.Activate();
    const bool sendable = address != 0 && address != os::kInaddrNone;
    EXPECT_EQ(socket_.IsConnected(), sendable) << address;
    EXPECT_EQ(errors_, sendable ? std::vector<int>{} : std::vector<int>{os::kWsaHostNotFound});
    errors_.clear();
    socket_.Deactivate();
  }
}

TEST_F(UdpSocketTest, ActivatingTwiceCreatesOneSocket) {
  Open();
  os::SOCKET first = socket_.WinsockHandle();
  socket_.Activate();
  socket_.SetActive(true);
  EXPECT_EQ(socket_.WinsockHandle(), first);
  EXPECT_EQ(events_, (std::vector<std::string>{"create", "connect"}));
}

TEST_F(UdpSocketTest, ChangingTheHostClosesAConnectedSocket) {
  Open();
  socket_.SetRemoteHost("127.0.0.1");  // same value: nothing happens
  EXPECT_TRUE(socket_.IsConnected());
  socket_.SetRemoteHost("127.0.0.2");
  EXPECT_FALSE(socket_.Active());
  EXPECT_FALSE(socket_.IsConnected());
  EXPECT_EQ(socket_.WinsockHandle(), os::kInvalidSocket);
  socket_.Deactivate();  // already closed: no events
  EXPECT_EQ(events_, (std::vector<std::string>{"create", "connect", "disconnect", "destroy"}));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(UdpSocketTest, ChangingThePortOrClearingActiveClosesToo) {
  Open();
  socket_.SetRemotePort("9");
  EXPECT_FALSE(socket_.Active());
  socket_.SetActive(true);
  EXPECT_TRUE(socket_.IsConnected());
  socket_.SetActive(false);
  EXPECT_FALSE(socket_.Active());
  EXPECT_EQ(events_, (std::vector<std::string>{"create", "connect", "disconnect", "destroy",
                                               "create", "connect", "disconnect", "destroy"}));
}

TEST_F(UdpSocketTest, OnSendCanChangeTheLengthSent) {
  Open();
  socket_.OnSend = [](TBaseSocket&, const char*, int& length) { length = 10; };
  std::string payload(102, 'x');
  EXPECT_EQ(socket_.SendBuffer(payload.data(), 102, 0), 10);
  EXPECT_EQ(socket_.SentByteCount(), 10);
  EXPECT_EQ(receiver_.Receive(), std::string(10, 'x'));
}

TEST_F(UdpSocketTest, OnErrorReportsTheCodeOfAFailingCall) {
  Open();
  std::string too_big(70000, 'x');
  EXPECT_EQ(socket_.SendBuffer(too_big.data(), static_cast<int>(too_big.size()), 0), -1);
  EXPECT_EQ(errors_, std::vector<int>{os::kWsaeMsgSize});
  EXPECT_EQ(socket_.SentByteCount(), 0);
  EXPECT_TRUE(socket_.IsConnected());  // the socket carries on
}

TEST_F(UdpSocketTest, NonBlockingModeStillSends) {
  socket_.SetBlockMode(TSocketBlockMode::bmNonBlocking);
  Open();
  std::string payload(5, 'n');
  EXPECT_EQ(socket_.SendBuffer(payload.data(), 5, 0), 5);
  EXPECT_EQ(receiver_.Receive(), payload);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(UdpSocketTest, DestroyingAnOpenSocketShutsItDownAndClosesIt) {
  std::vector<std::string> events;
  {
    TUdpSocket socket;
    socket.SetRemoteHost("127.0.0.1");
    socket.SetRemotePort(receiver_.PortText());
    socket.OnDisconnect = [&](TBaseSocket&) { events.push_back("disconnect"); };
    socket.OnDestroyHandle = [&](TBaseSocket&) { events.push_back("destroy"); };
    socket.Activate();
  }
  EXPECT_EQ(events, (std::vector<std::string>{"disconnect", "destroy"}));
}

TEST_F(UdpSocketTest, AHandlerRaisingWhileTheSocketIsDestroyedDoesNotEndTheProcess) {
  std::vector<std::string> events;
  {
    TUdpSocket socket;
    socket.SetRemoteHost("127.0.0.1");
    socket.SetRemotePort(receiver_.PortText());
    socket.OnDisconnect = [](TBaseSocket&) { throw std::runtime_error("handler"); };
    socket.OnDestroyHandle = [&](TBaseSocket&) { events.push_back("destroy"); };
    socket.Activate();
  }
  // The base level still closed the handle.
  EXPECT_EQ(events, (std::vector<std::string>{"destroy"}));
}

TEST_F(UdpSocketTest, AFailedPortConversionLeavesTheSocketOpenButUnconnected) {
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort("abc");
  EXPECT_THROW(socket_.Activate(), EConvertError);
  EXPECT_TRUE(socket_.Active());
  EXPECT_FALSE(socket_.IsConnected());
}

}  // namespace
}  // namespace trolvane::testing
