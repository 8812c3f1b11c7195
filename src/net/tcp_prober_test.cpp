#include "net/tcp_prober.h"

#include <gtest/gtest.h>

#include "support/unit/socket_test_support.h"

namespace trolvane {
namespace {

class TcpProber : public testing::WinsockTest {};

// A listening port accepts; a port that is only bound is answered with a reset. A
// listener whose accept queue is full drops the SYN: its SYN-ACK comes only after the
// SYN is sent again, a second later, as over a slow network.
TEST_F(TcpProber, AListenerAcceptsAndAClosedPortRefuses) {
  const std::uint32_t loopback = os::inet_addr("127.0.0.1");
  const struct {
    bool listening, queue_full;
    ProbeOutcome outcome;
  } cases[] = {{true, false, ProbeOutcome::kAccepted},
               {false, false, ProbeOutcome::kRefused},
               {true, true, ProbeOutcome::kAccepted}};
  TTcpProber prober(2500);
  for (const auto& c : cases) {
    const os::SOCKET s = os::socket(os::kAfInet, os::kSockStream, os::kIpProtoTcp);
    os::SockAddrIn a{os::kAfInet, 0, loopback, {}};
    int length = sizeof a;
    ASSERT_EQ(os::bind(s, &a, sizeof a) | os::getsockname(s, &a, &length), 0);
    ASSERT_TRUE(!c.listening || os::listen(s, c.queue_full ? 0 : 4) == 0);
    const os::SOCKET filler = os::socket(os::kAfInet, os::kSockStream, os::kIpProtoTcp);
    ASSERT_TRUE(!c.queue_full || os::connect(filler, &a, sizeof a) == 0);
    ASSERT_EQ(prober.Start(loopback, os::NToHs(a.port)), 0);
    std::vector<ProbeResult> ended;
    for (int i = 0; i < 100 && ended.empty(); ++i) {
      prober.Poll(100, &ended);
      if (c.queue_full && i == 2) os::closesocket(os::accept(s, nullptr, nullptr));
    }
    os::closesocket(filler);
    os::closesocket(s);
    ASSERT_EQ(ended.size(), 1u) << c.listening;
    EXPECT_EQ(ended[0].address, loopback);
    EXPECT_EQ(ended[0].port, os::NToHs(a.port));
    EXPECT_EQ(ended[0].outcome, c.outcome) << c.listening << c.queue_full;
    EXPECT_EQ(prober.OpenCount(), 0u) << "closed once reported";
  }
}

}  // namespace
}  // namespace trolvane
