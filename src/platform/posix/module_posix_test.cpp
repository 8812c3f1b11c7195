#include <gtest/gtest.h>

#include "platform/module.h"

namespace os {
namespace {

// The texts Windows gives for these codes, which the binding's errors end with.
TEST(ModulePosix, SystemMessagesWordedAsOnWindows) {
  struct Case {
    std::uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {10093, "Either the application has not called WSAStartup, or WSAStartup failed.\r\n"},
      {126, "The specified module could not be found.\r\n"},
      {127, "The specified procedure could not be found.\r\n"},
      {4711, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemErrorMessage(c.code), c.text) << c.code;
}

}  // namespace
}  // namespace os
