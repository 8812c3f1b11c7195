#include "net/datagram_sender.h"

#include <vector>

#include "net/udp_socket.h"
#include "platform/closed_port.h"
#include "platform/process.h"

namespace trolvane {

namespace {

// An answer comes back within a round trip of its datagram, or after the address was
// resolved: that long after a socket's last send, it has come.
constexpr std::size_t kRetiredKept = 4;

}  // namespace

TDatagramSender::~TDatagramSender() {
  Retire();
  for (os::SOCKET s : retired_) os::closesocket(s);
}

void TDatagramSender::Retire() {
  if (socket_ == os::kInvalidSocket) return;
  if (hear_) {
    retired_.push_back(socket_);
  } else {
    os::closesocket(socket_);
  }
  socket_ = os::kInvalidSocket;
  if (retired_.size() > kRetiredKept) {
    os::closesocket(retired_.front());
    retired_.pop_front();
  }
}

int TDatagramSender::SendTo(std::uint32_t address, std::uint16_t port, const void* data, int size) {
  if (!NamesOneHost(address)) return os::kWsaHostNotFound;
  if (socket_ != os::kInvalidSocket && ++on_socket_ > kSendsPerSocket) Retire();
  if (socket_ == os::kInvalidSocket) {
    on_socket_ = 1;
    socket_ = os::socket(os::kAfInet, os::kSockDgram, os::kIpProtoUdp);
    if (socket_ == os::kInvalidSocket) return os::WSAGetLastError();
    hear_ = hear_ && os::KeepClosedPortAnswers(socket_);
    const int on = 1;
    if (os::setsockopt(socket_, os::kSolSocket, os::kSoBroadcast,
                       reinterpret_cast<const char*>(&on), sizeof on) != 0) {
      const int code = os::WSAGetLastError();
      os::closesocket(socket_);
      socket_ = os::kInvalidSocket;
      return code;
    }
  }
  const os::SockAddrIn to{os::kAfInet, os::HToNs(port), address, {}};
  const int sent = os::sendto(socket_, static_cast<const char*>(data), size, 0, &to, sizeof to);
  return sent == size ? 0 : os::WSAGetLastError();
}

std::optional<std::uint32_t> TDatagramSender::ClosedPort(std::int32_t timeout_ms) {
  std::vector<os::PollFd> sockets;
  for (os::SOCKET s : retired_) sockets.push_back({s, 0, 0});
  if (socket_ != os::kInvalidSocket) sockets.push_back({socket_, 0, 0});
  if (!hear_ || sockets.empty()) {
    if (timeout_ms > 0) os::Sleep(static_cast<std::uint32_t>(timeout_ms));
    return std::nullopt;
  }
  // An answer waiting shows as an error of its socket.
  if (os::WSAPoll(sockets.data(), static_cast<std::uint32_t>(sockets.size()), timeout_ms) <= 0) {
    return std::nullopt;
  }
  for (const os::PollFd& s : sockets) {
    if ((s.revents & os::kPollErr) == 0) continue;
    if (std::optional<std::uint32_t> answered = os::TakeClosedPortAnswer(s.socket)) return answered;
  }
  return std::nullopt;
}

}  // namespace trolvane
