#include "net/ticks.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trolvane {
namespace {

TEST(TickDiff, HandlesOneWrapOfTheCounter) {
  EXPECT_EQ(TickDiff(100, 350), 250u);
  EXPECT_EQ(TickDiff(0xFFFFFF00u, 0x10u), 0x110u);
  EXPECT_EQ(TickDiff(5, 5), 0u);
}

TEST(RemainingWait, NeverWrapsIntoALongerWait) {
  EXPECT_EQ(RemainingWait(1000, 400), 600);
  EXPECT_EQ(RemainingWait(1000, 1000), 0);
  EXPECT_EQ(RemainingWait(1000, 0xFFFFFFFFu), 0);
  EXPECT_EQ(RemainingWait(-2, 0), 0);
  EXPECT_EQ(RemainingWait(INT32_MIN, 5), 0);
  EXPECT_EQ(RemainingWait(INT32_MAX, 0), INT32_MAX);
}

}  // namespace
}  // namespace trolvane
