// A component owning one raw IPv4 socket, opened on first use: fetch it (the
// time-to-live applied when it opens), send a buffer to a host given by name, dotted
// address or number, and receive with a time-out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/component.h"
#include "net/socket_handle.h"

namespace trolvane {

class TNetRawBase : public TNetComponent {
 public:
  TNetRawBase();
  ~TNetRawBase() override;

  std::int32_t BufferSize() const { return static_cast<std::int32_t>(buffer_stream_.size()); }
  void SetBufferSize(std::int32_t value);
  const std::string& Host() const { return host_; }
  void SetHost(std::string value) {
    host_ = std::move(value);
    host_address_.reset();
  }
  // The host as an address in network order, which needs no resolving.
  void SetHost(std::uint32_t address);
  std::int32_t Port() const { return port_; }
  void SetPort(std::int32_t value) { port_ = value; }
  // Takes effect when the next socket is opened.
  std::int32_t Protocol() const { return protocol_; }
  void SetProtocol(std::int32_t value) { protocol_ = value; }

  // The handle as it is, without opening anything.
  const TNetSocketHandle& SocketHandle() const { return *socket_handle_; }
  // The handle, its socket opened (and its time-to-live set) if none is.
  // Raises ENetInvalidSocket or ENetSocketError.
  TNetSocketHandle& AcquireHandle();
  // Bytes received, 0 when nothing arrived within the wait (a negative timeout means
  // ReceiveTimeout), -1 when the platform failed. No socket is opened for an empty area.
  std::int32_t ReceiveWithTimeout(void* buffer, std::int32_t count, std::int32_t timeout);
  // Resolves host first (no socket is opened when that fails), then sends size bytes.
  // Gives the address (network order) the bytes went to. A host is resolved once: its
  // address is kept until another host is sent to.
  std::uint32_t SendToHost(const std::string& host, std::int32_t port, const void* buffer,
                           std::int32_t size);
  // SendToHost to Host; a host set as a number goes as it is.
  std::uint32_t SendToTarget(std::int32_t port, const void* buffer, std::int32_t size);

 protected:
  std::int32_t ReceiveTimeout() const { return receive_timeout_; }
  void SetReceiveTimeout(std::int32_t value) { receive_timeout_ = value; }

 private:
  std::unique_ptr<TNetSocketHandle> socket_handle_;
  std::vector<std::uint8_t> buffer_stream_;
  std::string host_;
  std::optional<std::uint32_t> host_address_;
  std::string resolved_host_;
  std::uint32_t resolved_address_ = 0;
  std::int32_t port_ = 0;
  std::int32_t receive_timeout_ = 0;
  std::int32_t protocol_ = 0;
  std::int32_t send_ttl_ = 0;
};

// The raw base with its receive time-out open to users.
class TNetRawClient : public TNetRawBase {
 public:
  using TNetRawBase::ReceiveTimeout;
  using TNetRawBase::SetReceiveTimeout;
};

}  // namespace trolvane
