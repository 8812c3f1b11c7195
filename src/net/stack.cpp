#include "net/stack.h"

#include <cstring>

#include "net/anti_freeze.h"
#include "net/net_exceptions.h"
#include "net/socket_error_texts.h"
#include "net/winsock2_binding.h"
#include "platform/ascii.h"
#include "platform/text.h"
#include "text/int_convert.h"
#include "text/string_list.h"

namespace trolvane {
namespace {

StackFactory stack_class = nullptr;  // chosen where the process starts
bool sockets_started = false;

bool IsOctetText(const std::string& part) {
  return TextToIntDef(part, -1) >= 0 && TextToIntDef(part, 256) <= 255;
}

}  // namespace

StackFactory StackClass() { return stack_class; }
void SetStackClass(StackFactory factory) { stack_class = factory; }
std::unique_ptr<TNetStack> MakeStack() {
  if (stack_class == nullptr) throw ENetStackInitializationFailed();
  return stack_class();
}

bool SocketsStarted() { return sockets_started; }
void MarkSocketsStarted() { sockets_started = true; }

std::string FetchToken(std::string& input, const std::string& delimiter, bool remove,
                       bool case_sensitive) {
  std::size_t at = std::string::npos;
  if (delimiter.size() == 1 && delimiter[0] == '\0') {
    at = input.find('\0');
  } else if (case_sensitive) {
    at = FindOnBoundary(input, delimiter);
  } else {
    at = FindOnBoundary(os::AsciiUppercase(input), os::AsciiUppercase(delimiter));
  }
  std::string token = input.substr(0, at);
  if (remove) input = at == std::string::npos ? std::string() : input.substr(at + delimiter.size());
  return token;
}

os::SOCKET TNetStack::NewSocketHandle(int type, int protocol) {
  os::SOCKET s = SockSocket(os::kAfInet, type, protocol);
  if (s == os::kInvalidSocket) throw ENetInvalidSocket();
  return s;
}

std::string TNetStack::ResolveToAddress(const std::string& host) {
  if (os::SameTextIgnoreCase(host, "LOCALHOST")) return "127.0.0.1";
  if (IsDottedQuad(host)) return host;
  return SockGetHostByName(host);
}

bool TNetStack::IsDottedQuad(const std::string& text) {
  std::string rest = text;
  for (int part = 1; part <= 3; ++part) {
    if (!IsOctetText(FetchToken(rest, "."))) return false;
  }
  return IsOctetText(rest);
}

std::uint32_t TNetStack::AddressTextToValue(const std::string& address) {
  AddressBytes bytes{};
  AddressTextToBytes(address, bytes);
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data(), sizeof(value));
  return value;
}

std::string TNetStack::SocketErrorMessage(int code) {
  return FormatSocketError(code, SocketErrorText(code));
}

void TNetStack::CheckSocketResult(int result) {
  if (result != os::kSocketError) return;
  RaiseRecordedFailure(LastSocketError());
}

void TNetStack::RaiseRecordedFailure(int code) {
  last_error_code_ = code;
  RaiseSocketFailure(code);
}

void TNetStack::RaiseSocketFailure(int code) {
  throw ENetSocketError(code, SocketErrorMessage(code));
}

void StartSocketStackModule(StackFactory stack_class_of_the_process) {
  ws2::ResetBindings();
  stack_class = stack_class_of_the_process;
  InitMainThread();
}

void FinishSocketStackModule() {
  try {
    if (sockets_started) ws2::WSACleanup();
  } catch (const ENetWS2StubError&) {
    // The library is already gone; there is nothing left to clean up and no one to tell.
  }
  ws2::UnloadWinsock2();
}

}  // namespace trolvane
