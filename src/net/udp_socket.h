// A connected UDP client socket over Winsock 1.1: remote host given as text or as an
// address, port as text, opened, used for one send, closed. Failed socket calls go to OnError,
// never raise; the one exception that leaves Activate is the port-text conversion error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/winsock.h"
#include "text/exception.h"

namespace trolvane {

// Raised only when Winsock cannot be started or cleaned up.
class ESocketError : public Exception {
 public:
  using Exception::Exception;
};

// 0.0.0.0 and 255.255.255.255 name no one host (this machine, every host of the link):
// no address given as a number is ever sent to.
constexpr bool NamesOneHost(std::uint32_t address) {
  return address != 0 && address != os::kInaddrNone;
}

enum class TSocketBlockMode : std::uint8_t { bmBlocking, bmNonBlocking };

// The socket handle, its open and close, send, result checking, byte counters, events.
class TBaseSocket {
 public:
  using TSocketNotifyEvent = std::function<void(TBaseSocket& sender)>;
  using TSocketDataEvent = std::function<void(TBaseSocket& sender, const char* buf, int& data_len)>;
  using TSocketErrorEvent = std::function<void(TBaseSocket& sender, int socket_error)>;

  TBaseSocket() = default;
  virtual ~TBaseSocket();
  TBaseSocket(const TBaseSocket&) = delete;
  TBaseSocket& operator=(const TBaseSocket&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value);
  TSocketBlockMode BlockMode() const { return block_mode_; }
  void SetBlockMode(TSocketBlockMode value);
  std::int32_t ReceivedByteCount() const { return received_byte_count_; }
  std::int32_t SentByteCount() const { return sent_byte_count_; }
  os::SOCKET WinsockHandle() const { return winsock_handle_; }

  // Passes the bytes through OnSend, then sends; the platform's result (-1 on failure).
  int SendBuffer(const char* buf, int length, int flags);

  virtual void DataReceived(const char* buf, int& data_len);
  virtual void DataSending(const char* buf, int& data_len);
  // Reports -1 through OnError; the value is returned unchanged.
  virtual int CheckCallResult(int value);
  virtual void Activate();
  virtual void Deactivate();

  TSocketNotifyEvent OnCreateHandle;
  TSocketNotifyEvent OnDestroyHandle;
  TSocketErrorEvent OnError;
  TSocketDataEvent OnReceive;
  TSocketDataEvent OnSend;

 protected:
  void SetSocketTypeIndex(std::uint8_t value);
  void SetProtocolNumber(std::uint16_t value);
  void SetAddressFamilyIndex(std::uint8_t value) { address_family_index_ = value; }

  // Close-then-store: a changed setting closes an open socket first.
  template <typename T>
  void CloseThenStore(T& field, T value) {
    if (field == value) return;
    Deactivate();
    field = std::move(value);
  }

  virtual void HandleCreated();
  virtual void HandleDestroyed();
  virtual void ReportSocketError();

 private:
  bool active_ = false;
  TSocketBlockMode block_mode_ = TSocketBlockMode::bmBlocking;
  std::int32_t received_byte_count_ = 0;
  std::int32_t sent_byte_count_ = 0;
  std::uint8_t address_family_index_ = 0;
  std::uint16_t protocol_number_ = 0;
  os::SOCKET winsock_handle_ = os::kInvalidSocket;
  std::uint8_t socket_type_index_ = 0;
};

// IPv4: local and remote host and port texts, and their conversion to a socket address.
class TIpSocket : public TBaseSocket {
 public:
  TIpSocket();

  const std::string& LocalHost() const { return local_host_; }
  void SetLocalHost(std::string value) { CloseThenStore(local_host_, std::move(value)); }
  const std::string& LocalPort() const { return local_port_; }
  void SetLocalPort(std::string value) { CloseThenStore(local_port_, std::move(value)); }
  const std::string& RemoteHost() const { return remote_host_; }
  void SetRemoteHost(std::string value) {
    CloseThenStore(remote_address_, std::optional<std::uint32_t>());
    CloseThenStore(remote_host_, std::move(value));
  }
  // The remote host as an address in network order, needing no resolving; one that names
  // no one host is refused as an unknown host text is.
  void SetRemoteAddress(std::uint32_t value) { CloseThenStore(remote_address_, {value}); }
  const std::string& RemotePort() const { return remote_port_; }
  void SetRemotePort(std::string value) { CloseThenStore(remote_port_, std::move(value)); }

  // Dotted address of a host text: "0.0.0.0" for the empty text, empty when the text
  // is no usable address (255.255.255.255 included) or a name that does not resolve.
  static std::string ResolveHostText(std::string_view text);
  // The address of a host text by the same rule, in network order; nothing when the text
  // names no usable address.
  static std::optional<std::uint32_t> ResolveHostAddress(std::string_view text);
  // The address the platform's parser reads in the text, never looked up by name; nothing
  // when it reads none (255.255.255.255 included).
  static std::optional<std::uint32_t> ParseAddress(std::string_view text);
  // Port of a service name or of an integer text; raises EConvertError for neither.
  static std::int32_t ResolvePortText(const std::string& text);
  // False, with the address untouched, when the host resolves to nothing.
  static bool BuildSocketAddress(std::string_view host, const std::string& port,
                                 os::SockAddrIn& address);

 protected:
  static bool BuildSocketAddress(std::optional<std::uint32_t> host, const std::string& port,
                                 os::SockAddrIn& address);
  // The address set, or the host text's; nothing when it names no host to connect to.
  std::optional<std::uint32_t> RemoteHostAddress() const;

 private:
  std::string local_host_;
  std::string local_port_;
  std::string remote_host_;
  std::string remote_port_;
  std::optional<std::uint32_t> remote_address_;
};

// Connects on open, shuts down on close.
class TCustomIpClient : public TIpSocket {
 public:
  ~TCustomIpClient() override;

  bool IsConnected() const { return is_connected_; }

  void Activate() override;
  void Deactivate() override;

  TSocketNotifyEvent OnConnect;
  TSocketNotifyEvent OnDisconnect;

 protected:
  virtual void ConnectionMade();
  virtual void ConnectionClosed();

 private:
  bool is_connected_ = false;
};

// A datagram socket allowed to reach broadcast addresses.
class TUdpSocket : public TCustomIpClient {
 public:
  TUdpSocket();

 protected:
  void HandleCreated() override;
};

// Winsock 1.1 for the whole process: started once at start-up, cleaned up at its end.
// Each raises ESocketError ("WSAStartup", "WSACleanup") when the platform refuses.
void StartWinsock();
void StopWinsock();

}  // namespace trolvane
