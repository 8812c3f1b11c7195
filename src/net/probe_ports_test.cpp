#include "net/probe_ports.h"

#include <gtest/gtest.h>

#include "support/unit/socket_test_support.h"

namespace trolvane {
namespace {

using Ports = std::vector<std::uint16_t>;

class ProbePortsText : public testing::WinsockTest {};

TEST_F(ProbePortsText, ReadsNumbersAndServiceNamesUpToEight) {
  const struct {
    const char* text;
    std::optional<Ports> ports;
  } cases[] = {
      {"3389", Ports{3389}},
      {"22,445,3389", Ports{22, 445, 3389}},
      {"ssh", Ports{22}},
      {"1,65535", Ports{1, 65535}},
      {"22,22", Ports{22}},
      {"1,2,3,4,5,6,7,8", Ports{1, 2, 3, 4, 5, 6, 7, 8}},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"0", std::nullopt},
      {"65536", std::nullopt},
      {"-22", std::nullopt},
      {"1,,2", std::nullopt},
      {"22,", std::nullopt},
      {",22", std::nullopt},
      {"1,2,3,4,5,6,7,8,9", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseProbePorts(c.text), c.ports) << c.text;
}

}  // namespace
}  // namespace trolvane
