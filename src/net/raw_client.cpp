#include "net/raw_client.h"

#include "net/component.h"
#include "net/stack.h"
#include "text/dotted_quad.h"

namespace trolvane {

TNetRawBase::TNetRawBase() : socket_handle_(std::make_unique<TNetSocketHandle>()) {
  SetBufferSize(8192);
  receive_timeout_ = 0;
  port_ = 0;
  protocol_ = os::kIpProtoRaw;
  send_ttl_ = 128;
}

// The handle goes first, closing its socket while the stack is still alive.
TNetRawBase::~TNetRawBase() { socket_handle_.reset(); }

void TNetRawBase::SetBufferSize(std::int32_t value) {
  buffer_stream_.resize(value > 0 ? static_cast<std::size_t>(value) : 0);
}

TNetSocketHandle& TNetRawBase::AcquireHandle() {
  // The time-to-live never changes while a socket is open: set once, not before every
  // send and receive.
  if (!socket_handle_->SocketOpen()) {
    socket_handle_->OpenSocket(os::kSockRaw, protocol_);
    const std::int32_t ttl = send_ttl_;
    socket_handle_->SetOption(os::kIpProtoIp, os::kIpTtl, &ttl, sizeof(ttl));
  }
  return *socket_handle_;
}

std::int32_t TNetRawBase::ReceiveWithTimeout(void* buffer, std::int32_t count,
                                             std::int32_t timeout) {
  if (count <= 0 || buffer == nullptr) return 0;
  if (timeout < 0) timeout = receive_timeout_;
  if (!AcquireHandle().WaitReadable(timeout)) return 0;
  return AcquireHandle().Receive(buffer, count, 0);
}

void TNetRawBase::SetHost(std::uint32_t address) {
  host_ = DottedQuad(address);
  host_address_ = address;
}

std::uint32_t TNetRawBase::SendToTarget(std::int32_t port, const void* buffer, std::int32_t size) {
  if (!host_address_) return SendToHost(host_, port, buffer, size);
  AcquireHandle().SendToAddress(*host_address_, port, buffer, size);
  return *host_address_;
}

std::uint32_t TNetRawBase::SendToHost(const std::string& host, std::int32_t port,
                                      const void* buffer, std::int32_t size) {
  if (resolved_host_.empty() || host != resolved_host_) {
    TNetStack* stack = StackInstance();
    resolved_address_ = stack->AddressTextToValue(stack->ResolveToAddress(host));
    resolved_host_ = host;
  }
  AcquireHandle().SendToAddress(resolved_address_, port, buffer, size);
  return resolved_address_;
}

}  // namespace trolvane
