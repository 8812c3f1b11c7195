#include "net/tcp_prober.h"

#include <gtest/gtest.h>

#include "support/unit/socket_test_support.h"

namespace trolvane {
namespace {

class TcpProber : public testing::WinsockTest {};

// A listening port accepts; a port that is only bound is answered with a reset.
TEST_F(TcpProber, AListenerAcceptsAndAClosedPortRefuses) {
  const std::uint32_t loopback = os::inet_addr("127.0.0.1");
  const struct {
    bool listening;
    ProbeOutcome outcome;
  } cases[] = {{true, ProbeOutcome::kAccepted}, {false, ProbeOutcome::kRefused}};
  TTcpProber prober;
  for (const auto& c : cases) {
    const os::SOCKET s = os::socket(os::kAfInet, os::kSockStream, os::kIpProtoTcp);
    os::SockAddrIn a{os::kAfInet, 0, loopback, {}};
    int length = sizeof a;
    ASSERT_EQ(os::bind(s, &a, sizeof a) | os::getsockname(s, &a, &length), 0);
    ASSERT_TRUE(!c.listening || os::listen(s, 4) == 0);
    ASSERT_TRUE(prober.Start(loopback, os::NToHs(a.port)));
    std::vector<ProbeResult> ended;
    for (int i = 0; i < 100 && ended.empty(); ++i) prober.Poll(100, &ended);
    os::closesocket(s);
    ASSERT_EQ(ended.size(), 1u) << c.listening;
    EXPECT_EQ(ended[0].address, loopback);
    EXPECT_EQ(ended[0].port, os::NToHs(a.port));
    EXPECT_EQ(ended[0].outcome, c.outcome) << c.listening;
    EXPECT_EQ(prober.OpenCount(), 0u) << "closed once reported";
  }
}

}  // namespace
}  // namespace trolvane
