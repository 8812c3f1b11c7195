#include "platform/module.h"

#include <gtest/gtest.h>

namespace os {
namespace {

TEST(Module, LoadsTheSocketsLibraryInAnyCase) {
  ModuleHandle upper = LoadModule("WS2_32.DLL");
  ModuleHandle lower = LoadModule("ws2_32.dll");
  ASSERT_NE(upper, 0u);
  ASSERT_NE(lower, 0u);
  EXPECT_NE(FindSymbol(upper, "WSAStartup"), nullptr);
  EXPECT_EQ(FindSymbol(upper, "socket"), FindSymbol(lower, "socket"));
  EXPECT_EQ(FindSymbol(upper, "no_such_export"), nullptr);
  EXPECT_EQ(LastModuleError(), 127u);
  UnloadModule(lower);
  UnloadModule(upper);
}

TEST(Module, UnknownLibraryFailsWithModuleNotFound) {
  EXPECT_EQ(LoadModule("TROLVANE_NO_SUCH_LIBRARY.DLL"), 0u);
  EXPECT_EQ(LastModuleError(), 126u);
}

}  // namespace
}  // namespace os
