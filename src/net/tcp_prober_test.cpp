#include "net/tcp_prober.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "support/unit/socket_test_support.h"

namespace trolvane {
namespace {

const std::uint32_t kLoopback = os::inet_addr("127.0.0.1");

// A TCP socket on a free loopback port; listening with the backlog given, or only bound,
// which the system answers with a reset.
class LoopbackPort {
 public:
  explicit LoopbackPort(std::optional<int> backlog) {
    socket_ = os::socket(os::kAfInet, os::kSockStream, os::kIpProtoTcp);
    os::SockAddrIn a{os::kAfInet, 0, kLoopback, {}};
    int length = sizeof a;
    ok_ = os::bind(socket_, &a, sizeof a) == 0 && os::getsockname(socket_, &a, &length) == 0 &&
          (!backlog || os::listen(socket_, *backlog) == 0);
    port_ = os::NToHs(a.port);
  }
  ~LoopbackPort() { os::closesocket(socket_); }
  bool Ok() const { return ok_; }
  std::uint16_t Port() const { return port_; }

 private:
  os::SOCKET socket_;
  std::uint16_t port_ = 0;
  bool ok_ = false;
};

// Polls until an attempt ends, at most ten seconds.
std::optional<ProbeResult> Next(TTcpProber& prober) {
  std::vector<ProbeResult> ended;
  for (int i = 0; i < 100 && ended.empty(); ++i) prober.Poll(100, &ended);
  if (ended.empty()) return std::nullopt;
  EXPECT_EQ(ended.size(), 1u);
  return ended.front();
}

class TcpProber : public testing::WinsockTest {};

TEST_F(TcpProber, AListenerAcceptsAndAClosedPortRefuses) {
  LoopbackPort listening(16);
  LoopbackPort closed(std::nullopt);
  ASSERT_TRUE(listening.Ok() && closed.Ok());
  const struct {
    std::uint16_t port;
    ProbeOutcome outcome;
  } cases[] = {{listening.Port(), ProbeOutcome::kAccepted},
               {closed.Port(), ProbeOutcome::kRefused}};
  TTcpProber prober;
  for (const auto& c : cases) {
    ASSERT_TRUE(prober.Start(kLoopback, c.port));
    std::optional<ProbeResult> r = Next(prober);
    ASSERT_TRUE(r.has_value()) << c.port;
    EXPECT_EQ(r->address, kLoopback);
    EXPECT_EQ(r->port, c.port);
    EXPECT_EQ(r->outcome, c.outcome) << c.port;
    EXPECT_EQ(prober.OpenCount(), 0u) << "the socket is closed once reported";
  }
}

// A listener that never accepts drops what its full queue cannot hold: the attempt gets
// no answer, and ends at its lifetime rather than holding its socket.
TEST_F(TcpProber, AnUnansweredAttemptEndsAtItsLifetime) {
  LoopbackPort listening(0);
  ASSERT_TRUE(listening.Ok());
  TTcpProber prober(300);
  ASSERT_TRUE(prober.Start(kLoopback, listening.Port()));
  ASSERT_EQ(Next(prober)->outcome, ProbeOutcome::kAccepted) << "fills the queue";
  const std::uint32_t start = os::TickCount();
  ASSERT_TRUE(prober.Start(kLoopback, listening.Port()));
  std::optional<ProbeResult> r = Next(prober);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->outcome, ProbeOutcome::kTimedOut);
  EXPECT_GE(os::TickCount() - start, 290u);
  EXPECT_EQ(prober.OpenCount(), 0u);
}

}  // namespace
}  // namespace trolvane
