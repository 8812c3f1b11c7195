#include "net/stack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/anti_freeze.h"
#include "net/net_exceptions.h"
#include "net/stack_windows.h"
#include "net/winsock2_binding.h"
#include "platform/process.h"
#include "text/exception.h"

namespace trolvane {
namespace {

TEST(SocketErrorMessage, TableTexts) {
  struct Case {
    int code;
    const char* text;
  };
  const Case cases[] = {
      {10004, "Interrupted system call."},
      {10005, ""},
      {10009, "Bad file number."},
      {10013, "Access denied."},
      {10022, "Invalid argument."},
      {10024, "Too many open files."},
      {10034, ""},
      {10035, "Operation would block. "},
      {10040, "Message too long."},
      {10065, "No route to host."},
      {10066, "Directory not empty"},
      {10067, ""},
      {10093, ""},
      {11001, "Host not found."},
      {11004, ""},
      {0, ""},
      {-1, ""},
  };
  TNetStackWindows stack;
  for (const Case& c : cases) {
    EXPECT_EQ(stack.SocketErrorMessage(c.code),
              "Socket Error # " + std::to_string(c.code) + "\r\n" + c.text);
  }
  // Only the Windows stack knows 11001.
  EXPECT_EQ(stack.TNetStack::SocketErrorMessage(11001), "Socket Error # 11001\r\n");
}

TEST(CheckSocketResult, OnlyMinusOneFails) {
  TNetStackWindows stack;
  for (int result : {0, 1, 102, -2}) EXPECT_NO_THROW(stack.CheckSocketResult(result));
  for (int code : {10065, 0}) {
    ws2::WSASetLastError(code);
    try {
      stack.CheckSocketResult(-1);
      FAIL() << "no error raised";
    } catch (const ENetSocketError& e) {
      EXPECT_EQ(e.ErrorCode(), code);
      EXPECT_EQ(stack.LastErrorCode(), code);
      EXPECT_EQ(e.Message(), stack.SocketErrorMessage(code));
    }
  }
}

TEST(IsDottedQuad, Cases) {
  struct Case {
    const char* text;
    bool dotted;
  };
  const Case cases[] = {
      {"192.168.1.1", true}, {"0.0.0.0", true},    {"255.255.255.255", true},
      {"$ff.0x1.1.1", true}, {" 1.2.3.4", true},   {"192.168.1.256", false},
      {"1.2.3", false},      {"1.2.3.4.5", false}, {"1.2.3.", false},
      {"", false},           {"a.b.c.d", false},   {"-1.2.3.4", false},
      {"1..2.3", false},     {"1.2.3.4 ", false},  {"pc01", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TNetStack::IsDottedQuad(c.text), c.dotted) << c.text;
}

TEST(AddressText, ToBytesAndBack) {
  struct Case {
    const char* text;
    AddressBytes bytes;
  };
  const Case cases[] = {
      {"1.2.3.4.5", {1, 2, 3, 4}},
      {"300.0.0.1", {44, 0, 0, 1}},
      {"10.0.0.5", {10, 0, 0, 5}},
      {"255.255.255.255", {255, 255, 255, 255}},
  };
  TNetStackWindows stack;
  for (const Case& c : cases) {
    AddressBytes bytes{};
    stack.AddressTextToBytes(c.text, bytes);
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
  std::uint32_t value = stack.AddressTextToValue("1.2.3.4");
  const AddressBytes expected = {1, 2, 3, 4};
  EXPECT_EQ(std::memcmp(&value, expected.data(), 4), 0);
  EXPECT_EQ(stack.AddressBytesToText({0, 0, 0, 0}), "0.0.0.0");
  EXPECT_EQ(stack.AddressBytesToText({255, 255, 255, 255}), "255.255.255.255");
  AddressBytes bytes{};
  EXPECT_THROW(stack.AddressTextToBytes("1.2.x.4", bytes), EConvertError);
  EXPECT_THROW(stack.AddressTextToBytes("1.2.3", bytes), EConvertError);
}

TEST(FetchToken, Cases) {
  std::string input = "a.b.c";
  EXPECT_EQ(FetchToken(input, "."), "a");
  EXPECT_EQ(input, "b.c");
  EXPECT_EQ(FetchToken(input, ".", false), "b");
  EXPECT_EQ(input, "b.c");
  input = "abc";
  EXPECT_EQ(FetchToken(input, "."), "abc");
  EXPECT_EQ(input, "");
  input = std::string("ab\0cd", 5);
  EXPECT_EQ(FetchToken(input, std::string(1, '\0')), "ab");
  EXPECT_EQ(input, "cd");
  input = "keyXvalue";
  EXPECT_EQ(FetchToken(input, "x", true, false), "key");
  EXPECT_EQ(input, "value");
  input = "keyXvalue";
  EXPECT_EQ(FetchToken(input, "x"), "keyXvalue");
}

// Resolving these needs no lookup: with the library unloaded a lookup would raise.
TEST(ResolveToAddress, LocalhostAndDottedQuadsWithoutLookup) {
  TNetStackWindows stack;
  ws2::UnloadWinsock2();
  for (const char* host : {"LOCALHOST", "localhost", "LocalHost"}) {
    EXPECT_EQ(stack.ResolveToAddress(host), "127.0.0.1") << host;
  }
  EXPECT_EQ(stack.ResolveToAddress("192.168.1.1"), "192.168.1.1");
  EXPECT_THROW(stack.ResolveToAddress("1.2.3.4.5"), ENetWS2StubError);
  os::WsaData data{};
  ws2::StartWinsock2(0x0202, &data);
}

TEST(NewSocketHandle, RefusalRaisesInvalidSocket) {
  TNetStackWindows stack;
  try {
    stack.NewSocketHandle(9999, 0);
    FAIL() << "no error raised";
  } catch (const ENetInvalidSocket& e) {
    EXPECT_STREQ(e.what(), "Cannot allocate socket.");
  }
}

TEST(StackStartUp, SecondStackDoesNotStartAgain) {
  auto first = std::make_unique<TNetStackWindows>();
  EXPECT_TRUE(SocketsStarted());
  int startups = ws2::Stats().startups;
  first.reset();
  TNetStackWindows second;
  EXPECT_EQ(ws2::Stats().startups, startups);
}

TEST(SocketStackModule, StartResetsTheBindingAndFinishUnloadsIt) {
  TNetStackWindows started;
  ws2::WSAGetLastError();
  StartSocketStackModule(&TNetStackWindows::Create);
  EXPECT_TRUE(ws2::EntryAtStub(ws2::EntryIndex("WSAGetLastError")));
  EXPECT_EQ(StackClass(), &TNetStackWindows::Create);
  EXPECT_TRUE(IsMainThread());

  os::WsaData data{};
  ASSERT_EQ(ws2::StartWinsock2(0x0202, &data), 0);
  ws2::WSAGetLastError();
  FinishSocketStackModule();
  EXPECT_TRUE(ws2::EntryAtStub(ws2::EntryIndex("WSAGetLastError")));
  EXPECT_THROW(ws2::WSAGetLastError(), ENetWS2StubError);
  ws2::StartWinsock2(0x0202, &data);  // for the tests that follow in this process
}

}  // namespace
}  // namespace trolvane
