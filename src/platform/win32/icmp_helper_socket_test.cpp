// The emulated raw ICMP socket as the code above reaches it: through the lookup in
// WS2_32.DLL, with raw ICMP refused. Loopback only; every request is answered at once, so
// none is left running when the process ends.
#include "platform/win32/icmp_helper_socket.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>

#include "platform/ipv4_header.h"
#include "platform/module.h"
#include "platform/process.h"
#include "platform/win32/raw_icmp_refusal.h"

namespace os::win32 {
namespace {

constexpr std::uint32_t Loopback(int host) {
  return 0x7Fu | static_cast<std::uint32_t>(host) << 24;
}

class HelperSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RefuseRawIcmpSockets();
    module_ = LoadModule("WS2_32.DLL");
    WsaData data{};
    ASSERT_EQ(Get<WSAStartup>("WSAStartup")(0x0202, &data), 0);
  }
  void TearDown() override {
    Get<WSACleanup>("WSACleanup")();
    UnloadModule(module_);
    RefuseRawIcmpSockets(false);
  }

  template <auto& Declared>
  decltype(&Declared) Get(const char* name) {
    return reinterpret_cast<decltype(&Declared)>(FindSymbol(module_, name));
  }

  SOCKET Open() { return Get<socket>("socket")(kAfInet, kSockRaw, kIpProtoIcmp); }
  int Close(SOCKET s) { return Get<closesocket>("closesocket")(s); }

  // An echo request with identifier 0x1234.
  int Send(SOCKET s, std::uint8_t sequence, std::uint32_t to) {
    std::array<std::uint8_t, 52> request{8, 0, 0, 0, 0x34, 0x12, sequence};
    PutNetworkWord(request.data() + 2, InternetChecksum(request.data(), request.size()));
    SockAddrIn address{kAfInet, 0, to, {}};
    return Get<sendto>("sendto")(s, reinterpret_cast<const char*>(request.data()), 52, 0, &address,
                                 sizeof(address));
  }

  int Wait(SOCKET s, int milliseconds) {
    FdSet read{1, {s}};
    TimeVal limit{milliseconds / 1000, milliseconds % 1000 * 1000};
    return Get<select>("select")(0, &read, nullptr, nullptr, &limit);
  }

  // The next datagram: its source from recvfrom and its bytes.
  int Receive(SOCKET s, std::uint32_t* source, std::array<std::uint8_t, 1024>* area) {
    SockAddrIn from{};
    int length = sizeof(from);
    int n = Get<recvfrom>("recvfrom")(s, reinterpret_cast<char*>(area->data()), 1024, 0, &from,
                                      &length);
    *source = from.addr;
    return n;
  }

  ModuleHandle module_ = 0;
};

// Answers come up as a raw socket hands them over, each from the host it was sent to,
// in whatever order they complete.
TEST_F(HelperSocketTest, OneSocketServesManyDestinations) {
  SOCKET s = Open();
  ASSERT_NE(s, kInvalidSocket);
  EXPECT_EQ(s % 2, 1u) << "real sockets are multiples of 4";
  for (int host = 1; host <= 3; ++host) ASSERT_EQ(Send(s, host, Loopback(host)), 52);
  Sleep(300);  // not alertable: the answers wait to be let in, and a poll must let them in
  EXPECT_EQ(Wait(s, 0), 1);

  std::map<int, std::uint32_t> answered;  // sequence -> source
  for (int i = 0; i < 3 && Wait(s, 2000) == 1; ++i) {
    std::array<std::uint8_t, 1024> area{};
    std::uint32_t source = 0;
    ASSERT_EQ(Receive(s, &source, &area), 20 + 52);
    EXPECT_EQ(area[20], 0) << "echo reply";
    EXPECT_EQ(InternetChecksum(area.data() + 20, 52), 0);
    EXPECT_EQ(std::memcmp(area.data() + 12, &source, 4), 0) << "the header names the sender";
    answered[area[26]] = source;
  }
  EXPECT_EQ(answered,
            (std::map<int, std::uint32_t>{{1, Loopback(1)}, {2, Loopback(2)}, {3, Loopback(3)}}));
  EXPECT_EQ(Wait(s, 0), 0);
  EXPECT_EQ(Close(s), 0);
}

// The answers to a closed socket's requests complete later; they must neither touch
// freed memory nor reach another socket.
TEST_F(HelperSocketTest, ClosingWithRequestsOutstandingIsSafe) {
  SOCKET first = Open();
  for (int sequence = 1; sequence <= 3; ++sequence)
    ASSERT_EQ(Send(first, sequence, Loopback(1)), 52);
  ASSERT_EQ(Close(first), 0);

  SOCKET second = Open();
  EXPECT_EQ(Wait(second, 300), 0) << "runs the closed socket's completions";
  ASSERT_EQ(Send(second, 7, Loopback(1)), 52);
  ASSERT_EQ(Wait(second, 2000), 1);
  std::array<std::uint8_t, 1024> area{};
  std::uint32_t source = 0;
  ASSERT_EQ(Receive(second, &source, &area), 72);
  EXPECT_EQ(area[26], 7);
  EXPECT_EQ(Wait(second, 200), 0);
  Close(second);
}

}  // namespace
}  // namespace os::win32
