#include "net/datagram_sender.h"

#include "net/udp_socket.h"

namespace trolvane {

TDatagramSender::~TDatagramSender() {
  if (socket_ != os::kInvalidSocket) os::closesocket(socket_);
}

int TDatagramSender::SendTo(std::uint32_t address, std::uint16_t port, const void* data, int size) {
  if (!NamesOneHost(address)) return os::kWsaHostNotFound;
  if (socket_ != os::kInvalidSocket && ++on_socket_ > kSendsPerSocket) {
    os::closesocket(socket_);
    socket_ = os::kInvalidSocket;
  }
  if (socket_ == os::kInvalidSocket) {
    on_socket_ = 1;
    socket_ = os::socket(os::kAfInet, os::kSockDgram, os::kIpProtoUdp);
    if (socket_ == os::kInvalidSocket) return os::WSAGetLastError();
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

}  // namespace trolvane
