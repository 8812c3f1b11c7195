#include "wake/port_list.h"

#include <gtest/gtest.h>

#include "support/unit/socket_test_support.h"

namespace trolvane {
namespace {

using Ports = std::optional<std::vector<std::uint16_t>>;
using List = std::vector<std::uint16_t>;
class PortListText : public testing::WinsockTest {};

// The texts a user meets first (abc, 0, 65536, 1,,2) are the process test's.
TEST_F(PortListText, ReadsNumbersAndServiceNamesUpToEight) {
  const std::pair<const char*, Ports> cases[] = {
      {"22,445,3389", List{22, 445, 3389}},
      {"ssh", List{22}},
      {"1,65535", List{1, 65535}},
      {"22,22", List{22}},
      {"1,2,3,4,5,6,7,8", List{1, 2, 3, 4, 5, 6, 7, 8}},
      {"", {}},
      {"22,", {}},
      {"1,2,3,4,5,6,7,8,9", {}},
  };
  for (const auto& [text, ports] : cases) EXPECT_EQ(ParsePortList(text), ports) << text;
}

}  // namespace
}  // namespace trolvane
