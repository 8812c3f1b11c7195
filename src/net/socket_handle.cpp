#include "net/socket_handle.h"

#include "net/anti_freeze.h"
#include "net/component.h"
#include "net/net_exceptions.h"
#include "net/stack.h"

namespace trolvane {

TNetSocketHandle::TNetSocketHandle() { ClearState(true); }

TNetSocketHandle::~TNetSocketHandle() { Close(); }

void TNetSocketHandle::ClearState(bool reset_local) {
  socket_open_ = false;
  socket_ = os::kInvalidSocket;
  if (reset_local) {
    ip_.clear();
    port_ = 0;
  }
  peer_address_.clear();
  peer_port_number_ = 0;
}

void TNetSocketHandle::OpenSocket(int socket_type, int protocol) {
  Close();  // never leak an open socket
  socket_ = StackInstance()->NewSocketHandle(socket_type, protocol);
  socket_open_ = true;
}

void TNetSocketHandle::Close() {
  if (!socket_open_) return;
  socket_open_ = false;
  TNetStack* stack = StackInstance();
  stack->SockShutdown(socket_, os::kSdSend);
  stack->SockCloseSocket(socket_);
}

void TNetSocketHandle::SetOption(int level, int name, const void* value, int length) {
  TNetStack* stack = StackInstance();
  stack->CheckSocketResult(stack->SockSetSockOpt(socket_, level, name, value, length));
}

void TNetSocketHandle::SendToAddress(const std::string& address, int port, const void* buffer,
                                     int size) {
  SendToAddress(StackInstance()->AddressTextToValue(address), port, buffer, size);
}

void TNetSocketHandle::SendToAddress(std::uint32_t address, int port, const void* buffer,
                                     int size) {
  TNetStack* stack = StackInstance();
  int sent = stack->SockSendTo(socket_, buffer, size, 0, address, port);
  if (sent == os::kSocketError) {
    if (stack->LastSocketError() == os::kWsaeMsgSize) throw ENetPackageSizeTooBig();
    stack->CheckSocketResult(sent);
  }
  if (sent != size) throw ENetNotAllBytesSent();
}

int TNetSocketHandle::Receive(void* buffer, int length, int flags) {
  return StackInstance()->SockRecv(socket_, buffer, length, flags);
}

bool TNetSocketHandle::WaitReadable(int milliseconds) {
  if (!socket_open_) throw ENetConnClosedGracefully();
  // The program has no anti-freeze, so the wait is never cut into pieces for one; it is
  // still told when a wait ends.
  SocketList read = {socket_};
  const bool readable = StackInstance()->SockSelect(&read, nullptr, nullptr, milliseconds) == 1;
  TNetAntiFreezeBase::ProcessIfDue(!readable, false);
  return readable;
}

int TNetSocketHandle::ConnectToPeer(int family) {
  int result = StackInstance()->SockConnect(socket_, family, peer_address_, peer_port_number_);
  if (result != os::kSocketError) {
    RefreshLocalAddress();
    RefreshPeerAddress();
  }
  return result;
}

int TNetSocketHandle::ReceiveWithSource(void* buffer, int length, int flags, std::string* address,
                                        int* port) {
  return StackInstance()->SockRecvFrom(socket_, buffer, length, flags, address, port);
}

void TNetSocketHandle::RefreshLocalAddress() {
  int family = 0;
  StackInstance()->SockGetSockName(socket_, &family, &ip_, &port_);
}

void TNetSocketHandle::RefreshPeerAddress() {
  int family = 0;
  StackInstance()->SockGetPeerName(socket_, &family, &peer_address_, &peer_port_number_);
}

void TNetSocketHandle::CopyFrom(const TNetSocketHandle& source) {
  ip_ = source.ip_;
  port_ = source.port_;
  peer_address_ = source.peer_address_;
  peer_port_number_ = source.peer_port_number_;
}

}  // namespace trolvane
