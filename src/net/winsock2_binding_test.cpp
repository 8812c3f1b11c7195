#include "net/winsock2_binding.h"

#include <gtest/gtest.h>

#include <string>

#include "net/net_exceptions.h"

namespace trolvane {
namespace {

constexpr std::uint16_t kVersion22 = 0x0202;

// Tests start unloaded and leave the library loaded, as the stack's other users expect
// once the process has started it.
class Winsock2BindingTest : public ::testing::Test {
 protected:
  void SetUp() override { ws2::UnloadWinsock2(); }
  void TearDown() override { Start(); }
  static int Start() {
    os::WsaData data{};
    return ws2::StartWinsock2(kVersion22, &data);
  }
};

void ExpectNotInitialisedError(const ENetWS2StubError& e, const std::string& name) {
  EXPECT_EQ(e.BaseText(), "Error on call Winsock2 library function " + name);
  EXPECT_EQ(e.SystemErrorCode(), 10093);
  EXPECT_EQ(e.SystemErrorText(), SystemErrorText(10093));
  EXPECT_EQ(e.Message(), e.BaseText() + ": " + e.SystemErrorText());
}

TEST_F(Winsock2BindingTest, CallBeforeStartRaisesNotInitialised) {
  try {
    ws2::socket(os::kAfInet, os::kSockDgram, 0);
    FAIL() << "no error raised";
  } catch (const ENetWS2StubError& e) {
    ExpectNotInitialisedError(e, "socket");
  }
}

TEST_F(Winsock2BindingTest, StartsOnlyOnce) {
  int before = ws2::Stats().startups;
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(ws2::Stats().startups, before + 1);
}

TEST_F(Winsock2BindingTest, UnloadPutsEveryEntryBackAtItsStub) {
  Start();
  ws2::closesocket(ws2::socket(os::kAfInet, os::kSockDgram, 0));
  EXPECT_FALSE(ws2::EntryAtStub(ws2::EntryIndex("socket")));
  ws2::UnloadWinsock2();
  for (int i = 0; i < ws2::kEntryCount; ++i) EXPECT_TRUE(ws2::EntryAtStub(i)) << i;
  try {
    ws2::closesocket(os::kInvalidSocket);
    FAIL() << "no error raised";
  } catch (const ENetWS2StubError& e) {
    ExpectNotInitialisedError(e, "closesocket");
  }
}

TEST_F(Winsock2BindingTest, SecondCallGoesStraightToTheLibrary) {
  Start();
  EXPECT_EQ(ws2::HToNs(0x0102), ws2::NToHs(0x0102));
  int lookups = ws2::Stats().lookups;
  EXPECT_EQ(ws2::HToNs(0x0304), ws2::NToHs(0x0304));
  EXPECT_EQ(ws2::Stats().lookups, lookups);
  EXPECT_EQ(ws2::BindEntry(ws2::EntryIndex("htons")),
            os::FindSymbol(os::LoadModule("WS2_32.DLL"), "htons"));
}

TEST_F(Winsock2BindingTest, FailedStartUpUnloadsSoThatTheNextStartRetries) {
  os::WsaData data{};
  EXPECT_NE(ws2::StartWinsock2(0x0000, &data), 0);
  EXPECT_THROW(ws2::WSAGetLastError(), ENetWS2StubError);
  int before = ws2::Stats().startups;
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(ws2::Stats().startups, before + 1);
}

TEST_F(Winsock2BindingTest, MissingExportIsABindingErrorNamingIt) {
  Start();
  int index = ws2::EntryIndex("WSARecvEx");
  if (os::FindSymbol(os::LoadModule("WS2_32.DLL"), "WSARecvEx") != nullptr) {
    GTEST_SKIP() << "this platform's library exports WSARecvEx";
  }
  try {
    ws2::BindEntry(index);
    FAIL() << "no error raised";
  } catch (const ENetWS2StubError& e) {
    EXPECT_EQ(e.BaseText(), "Error on call Winsock2 library function WSARecvEx");
    EXPECT_NE(e.SystemErrorCode(), 0);
  }
  EXPECT_TRUE(ws2::EntryAtStub(index));
}

TEST(Winsock2BindingTable, HoldsTheExportsInTableOrder) {
  EXPECT_EQ(ws2::EntryName(0), "WSACleanup");
  EXPECT_EQ(ws2::EntryName(23), "socket");
  EXPECT_EQ(ws2::EntryName(32), "WSAGetLastError");
  EXPECT_EQ(ws2::EntryName(95), "WSAProviderConfigChange");
  // The character-set-neutral entries bind the "A" exports.
  EXPECT_EQ(ws2::EntryName(96), "WSADuplicateSocketA");
  EXPECT_EQ(ws2::EntryName(107), "WSASetServiceA");
  EXPECT_EQ(ws2::EntryName(108), "TransmitFile");
  EXPECT_EQ(ws2::EntryName(ws2::kEntryCount - 1), "WSARecvEx");
  EXPECT_EQ(ws2::EntryIndex("WSASocketA"), 72);
  EXPECT_EQ(ws2::EntryIndex("no such export"), -1);
}

TEST(Winsock2StubError, MessageAddsTheSystemTextUnlessTheCodeIsZero) {
  ENetWS2StubError none("Error on loading Winsock2 library (WS2_32.DLL)", 0);
  EXPECT_EQ(none.Message(), "Error on loading Winsock2 library (WS2_32.DLL)");
  EXPECT_EQ(none.SystemErrorText(), "");

  ENetWS2StubError missing("Error on loading Winsock2 library (WS2_32.DLL)", 126);
  EXPECT_EQ(missing.SystemErrorCode(), 126);
  EXPECT_EQ(missing.Message(),
            "Error on loading Winsock2 library (WS2_32.DLL): " + missing.SystemErrorText());
}

TEST(SystemErrorText, DropsTheTrailingLineEndAndPeriod) {
  const std::int32_t kModuleNotFound = 126;
  std::string text = SystemErrorText(kModuleNotFound);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_GT(static_cast<unsigned char>(text.back()), 32);
  EXPECT_EQ(os::SystemErrorMessage(kModuleNotFound).rfind(text, 0), 0u);
  EXPECT_EQ(SystemErrorText(0), "");
}

}  // namespace
}  // namespace trolvane
