// The process-wide socket stack: one virtual operation per socket call, IPv4 addresses as
// dotted text at its interface, failed calls turned into exceptions (net_exceptions.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/winsock.h"
#include "text/dotted_quad.h"

namespace trolvane {

using SocketList = std::vector<os::SOCKET>;

class TNetStack {
 public:
  TNetStack() = default;
  virtual ~TNetStack() = default;
  TNetStack(const TNetStack&) = delete;
  TNetStack& operator=(const TNetStack&) = delete;

  virtual void RefreshLocalAddresses() = 0;
  virtual std::string FirstLocalAddress() = 0;
  virtual const std::vector<std::string>& LocalAddressList() = 0;
  virtual os::SOCKET SockAccept(os::SOCKET s, std::string* address, int* port) = 0;
  virtual int SockBind(os::SOCKET s, int family, const std::string& address, int port) = 0;
  virtual int SockCloseSocket(os::SOCKET s) = 0;
  virtual int SockConnect(os::SOCKET s, int family, const std::string& address, int port) = 0;
  virtual std::string SockGetHostByName(const std::string& host) = 0;
  virtual std::string SockGetHostName() = 0;
  virtual std::string SockGetHostByAddr(const std::string& address) = 0;
  virtual int SockGetServByName(const std::string& service) = 0;
  virtual std::vector<std::string> SockGetServByPort(int port) = 0;
  virtual std::uint16_t SockHToNs(std::uint16_t value) = 0;
  virtual int SockListen(os::SOCKET s, int backlog) = 0;
  virtual std::uint16_t SockNToHs(std::uint16_t value) = 0;
  virtual std::uint32_t SockHToNl(std::uint32_t value) = 0;
  virtual std::uint32_t SockNToHl(std::uint32_t value) = 0;
  virtual int SockRecv(os::SOCKET s, void* buffer, int length, int flags) = 0;
  virtual int SockRecvFrom(os::SOCKET s, void* buffer, int length, int flags, std::string* address,
                           int* port) = 0;
  // Lists not given are null. After the wait each given list holds its ready handles.
  // -2 waits without limit, 0 polls. More than 64 handles in a list raise
  // ENetStackSetSizeExceeded before any wait.
  virtual int SockSelect(SocketList* read, SocketList* write, SocketList* error,
                         int timeout_ms) = 0;
  virtual int SockSend(os::SOCKET s, const void* buffer, int length, int flags) = 0;
  virtual int SockSendTo(os::SOCKET s, const void* buffer, int length, int flags,
                         const std::string& address, int port) = 0;
  // address in network order.
  virtual int SockSendTo(os::SOCKET s, const void* buffer, int length, int flags,
                         std::uint32_t address, int port) = 0;
  virtual int SockSetSockOpt(os::SOCKET s, int level, int name, const void* value, int length) = 0;
  virtual os::SOCKET SockSocket(int family, int type, int protocol) = 0;
  virtual int SockShutdown(os::SOCKET s, int how) = 0;
  // FIONBIO: a socket that does not block gives 10035 where it would wait.
  virtual int SockSetNonBlocking(os::SOCKET s, bool on) = 0;
  // "Socket Error # <code>" CR LF and the code's text (empty for codes without one).
  virtual std::string SocketErrorMessage(int code);
  virtual int LastSocketError() = 0;
  virtual int SockGetPeerName(os::SOCKET s, int* family, std::string* address, int* port) = 0;
  virtual int SockGetSockName(os::SOCKET s, int* family, std::string* address, int* port) = 0;
  virtual int SockGetSockOpt(os::SOCKET s, int level, int name, void* value, int* length) = 0;
  virtual std::string AddressBytesToText(const AddressBytes& bytes) = 0;
  // Raises EConvertError when a part is not an integer.
  virtual void AddressTextToBytes(const std::string& address, AddressBytes& bytes) = 0;

  // Raises ENetInvalidSocket when the platform gives no socket.
  os::SOCKET NewSocketHandle(int type, int protocol);
  // "LOCALHOST" (any case) and dotted quads need no lookup; otherwise the first address
  // of the name's host entry. Raises ENetSocketError when the lookup finds nothing.
  std::string ResolveToAddress(const std::string& host);
  static bool IsDottedQuad(const std::string& text);
  // The four bytes in network order, as they lie in memory.
  std::uint32_t AddressTextToValue(const std::string& address);

  // Returns on any result but -1; on -1 fetches the platform code into LastErrorCode and
  // raises ENetSocketError for it.
  void CheckSocketResult(int result);
  [[noreturn]] void RaiseSocketFailure(int code);
  int LastErrorCode() const { return last_error_code_; }

 protected:
  // Like a failed check: the code becomes LastErrorCode, then ENetSocketError is raised.
  [[noreturn]] void RaiseRecordedFailure(int code);

  std::unique_ptr<std::vector<std::string>> local_addrs_;

 private:
  int last_error_code_ = 0;
};

using StackFactory = std::unique_ptr<TNetStack> (*)();

// The class MakeStack instantiates, chosen where the process starts; until then MakeStack
// raises ENetStackInitializationFailed.
StackFactory StackClass();
void SetStackClass(StackFactory factory);
std::unique_ptr<TNetStack> MakeStack();
// Set once the platform's start-up succeeded; never cleared.
bool SocketsStarted();
void MarkSocketsStarted();

// Cuts the text before the first delimiter; with remove, the input keeps what follows the
// delimiter (or becomes empty when there is none). Never matches inside a multibyte
// character, except a NUL delimiter, which is searched for byte by byte.
std::string FetchToken(std::string& input, const std::string& delimiter, bool remove = true,
                       bool case_sensitive = true);

// Process start-up and end of the socket stack: the binding is reset and the globals set,
// the stack class among them; at the end WSACleanup if it was started, then the library
// is freed.
void StartSocketStackModule(StackFactory stack_class);
void FinishSocketStackModule();

}  // namespace trolvane
