// One platform socket with its local and peer addresses. Every platform call goes
// through the process-wide stack (StackInstance), and failed calls become exceptions.
#pragma once

#include <cstdint>
#include <string>

#include "platform/winsock.h"

namespace trolvane {

class TNetSocketHandle {
 public:
  TNetSocketHandle();
  virtual ~TNetSocketHandle();
  TNetSocketHandle(const TNetSocketHandle&) = delete;
  TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;

  // Forgets the socket without closing it; the local address only with reset_local.
  void ClearState(bool reset_local);
  // Closes any open socket first. Raises ENetInvalidSocket when none can be created.
  void OpenSocket(int socket_type, int protocol);
  // Shuts the sending direction and closes; does nothing when no socket is open.
  virtual void Close();
  // Raises ENetSocketError when the platform refuses.
  void SetOption(int level, int name, const void* value, int length);
  // Raises ENetPackageSizeTooBig, ENetSocketError or ENetNotAllBytesSent; EConvertError
  // for dotted text that does not read as an address.
  void SendToAddress(const std::string& address, int port, const void* buffer, int size);
  // The same to an address in network order.
  void SendToAddress(std::uint32_t address, int port, const void* buffer, int size);
  // Bytes received, or -1; unchecked.
  int Receive(void* buffer, int length, int flags);
  // -2 waits without limit, 0 polls. Raises ENetConnClosedGracefully without a socket; a
  // failed wait reads as not readable.
  bool WaitReadable(int milliseconds);

  virtual int ConnectToPeer(int family);
  virtual int ReceiveWithSource(void* buffer, int length, int flags, std::string* address,
                                int* port);
  void RefreshLocalAddress();
  void RefreshPeerAddress();
  // Copies the addresses and ports, not the socket.
  void CopyFrom(const TNetSocketHandle& source);

  os::SOCKET Socket() const { return socket_; }
  bool SocketOpen() const { return socket_open_; }
  const std::string& IP() const { return ip_; }
  void SetIP(std::string value) { ip_ = std::move(value); }
  std::int32_t Port() const { return port_; }
  void SetPort(std::int32_t value) { port_ = value; }
  const std::string& PeerAddress() const { return peer_address_; }
  void SetPeerAddress(std::string value) { peer_address_ = std::move(value); }
  std::int32_t PeerPortNumber() const { return peer_port_number_; }
  void SetPeerPortNumber(std::int32_t value) { peer_port_number_ = value; }
  std::int32_t ClientPortMin() const { return client_port_min_; }
  void SetClientPortMin(std::int32_t value) { client_port_min_ = value; }
  std::int32_t ClientPortMax() const { return client_port_max_; }
  void SetClientPortMax(std::int32_t value) { client_port_max_ = value; }

 private:
  os::SOCKET socket_ = os::kInvalidSocket;
  bool socket_open_ = false;
  std::string ip_;
  std::string peer_address_;
  std::int32_t port_ = 0;
  std::int32_t peer_port_number_ = 0;
  std::int32_t client_port_min_ = 0;
  std::int32_t client_port_max_ = 0;
};

}  // namespace trolvane
