#include "wake/confirm_wiring.h"

#include <gtest/gtest.h>

#include "net/net_exceptions.h"

namespace trolvane {
namespace {

// One host and a list share the wiring: a failed echo request ends the wait of both hosts
// at once, as ping errors or passing on (nothing is sent; the addresses are never asked).
TEST(ConfirmWiring, AFailedRequestEndsTheWaitByOneRule) {
  const struct {
    const char* name;
    std::function<void()> fail;
    bool passes_on;  // else every host is a ping error
  } cases[] = {
      {"no ICMP socket and no port", [] { throw ENetInvalidSocket(); }, false},
      {"not the socket layer's", [] { throw Exception("write"); }, true},
  };
  for (const auto& c : cases) {
    RunSettings settings;
    settings.mac_check = false;
    ConfirmWiring wait(settings, {{0x0100007F, 0x0200007F}, {{}, {}}, {}, 2}, {}, {});
    int sends = 0;
    const EchoExchange exchange{[&](std::size_t) {
                                  ++sends;
                                  c.fail();
                                },
                                [](std::int32_t) { return std::optional<HostAnswer>(); }};
    if (c.passes_on) {
      EXPECT_THROW(wait.Run(exchange, {}), Exception) << c.name;
    } else {
      EXPECT_EQ(wait.Run(exchange, {}), std::vector<HostOutcome>(2, HostOutcome::kError)) << c.name;
    }
    EXPECT_EQ(sends, 1) << c.name;
  }
}

}  // namespace
}  // namespace trolvane
