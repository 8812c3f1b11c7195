// The send step beyond loopback: a sender namespace and a target namespace on one
// 198.18.0.0/24 link, nothing else reachable.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/udp_socket.h"
#include "support/background_process.h"
#include "support/netns_lab.h"
#include "support/program_runner.h"
#include "support/unit/expected_packet.h"

namespace trolvane::testing {
namespace {

constexpr const char* kSenderAddress = "198.18.0.1/24";
constexpr const char* kTarget = "198.18.0.2";

std::string PacketHex() { return ExpectedPacketHex(); }

class SendNetnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = NetnsLab::UnavailableReason(); !why.empty()) GTEST_SKIP() << why;
    lab_ = std::make_unique<NetnsLab>("wake");
    sender_ = lab_->AddNamespace("snd");
    target_ = lab_->AddNamespace("tgt");
    lab_->Link(sender_, kSenderAddress, target_, std::string(kTarget) + "/24");
    // So that a datagram sent to the limited broadcast address by mistake would leave
    // the sender and show in its counters instead of failing for want of a route.
    lab_->AddRoute(sender_, "255.255.255.255/32");
  }

  // A receiver in the target namespace on port 7, every address (host and broadcast).
  std::unique_ptr<BackgroundProcess> StartSink(int count, int wait_ms) {
    auto sink = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{TROLVANE_TOOLS_DIR "/udp_sink", "7", std::to_string(count),
                                 std::to_string(wait_ms)},
        RunOptions{.prefix = lab_->Exec(target_)});
    EXPECT_TRUE(sink->WaitForOutput("ready\n", 5000));
    return sink;
  }

  std::uint64_t SenderTxPackets() { return lab_->Counter(sender_, "veth0", "tx_packets"); }

  std::unique_ptr<NetnsLab> lab_;
  std::string sender_;
  std::string target_;
};

TEST_F(SendNetnsTest, HostAndDirectedBroadcastBothGetTheExactPacket) {
  auto sink = StartSink(2, 5000);
  RunProgram({"/m:01-02-03-04-05-06", std::string("/h:") + kTarget, "/s:24", "/t:1000"},
             {.prefix = lab_->Exec(sender_)});
  RunResult received = sink->Finish(5000);
  EXPECT_EQ(received.out,
            "ready\n198.18.0.2 " + PacketHex() + "\n198.18.0.255 " + PacketHex() + "\n");
}

TEST_F(SendNetnsTest, AnUnknownHostNameSendsNothingAtAll) {
  auto sink = StartSink(1, 1500);
  std::uint64_t before = SenderTxPackets();
  RunProgram({"/m:01-02-03-04-05-06", "/h:pc01", "/t:1000"}, {.prefix = lab_->Exec(sender_)});
  EXPECT_EQ(SenderTxPackets(), before);
  EXPECT_EQ(sink->Finish(3000).out, "ready\n");
}

// At the socket itself: a host that resolves to nothing is an error of its own, and no
// datagram leaves, not even to the limited broadcast address.
TEST_F(SendNetnsTest, AnUnresolvableHostIsReportedAsHostNotFound) {
  std::uint64_t before = SenderTxPackets();
  for (const char* host : {"unknown-host.invalid", "255.255.255.255", "198.18.0.x"}) {
    int result = NetnsLab::RunInside(sender_, [host] {
      std::vector<int> errors;
      TUdpSocket socket;
      socket.OnError = [&](TBaseSocket&, int code) { errors.push_back(code); };
      socket.SetRemoteHost(host);
      socket.SetRemotePort("7");
      socket.Activate();
      if (errors != std::vector<int>{os::kWsaHostNotFound} || socket.IsConnected()) return 1;
      char payload[102] = {};
      if (socket.SendBuffer(payload, sizeof payload, 0) != -1) return 2;
      return 0;
    });
    EXPECT_EQ(result, 0) << host;
  }
  EXPECT_EQ(SenderTxPackets(), before);
}

}  // namespace
}  // namespace trolvane::testing
