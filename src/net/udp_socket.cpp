#include "net/udp_socket.h"

#include <cstring>

#include "text/dotted_quad.h"
#include "text/int_convert.h"

namespace trolvane {
namespace {

// Index to Winsock number, as the socket's stored indexes are defined.
constexpr int kSocketTypes[] = {os::kSockStream, os::kSockDgram, os::kSockRaw, 4, 5};
constexpr int kAddressFamilies[] = {0,  1,  2,  3,  4,  5,  6,  6,  7,  7,  8,  9,
                                    10, 11, 12, 13, 14, 15, 16, 18, 19, 20, 21, 22};

constexpr std::uint8_t kDatagramTypeIndex = 1;
constexpr std::uint8_t kInetFamilyIndex = 2;

os::WsaData winsock_data;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// --- TBaseSocket ---

// A handler that raises while the socket is destroyed must not end the process; the base
// level still closes the handle.
TBaseSocket::~TBaseSocket() {
  try {
    TBaseSocket::Deactivate();
  } catch (...) {
  }
}

void TBaseSocket::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    Activate();
  } else {
    Deactivate();
  }
}

void TBaseSocket::SetBlockMode(TSocketBlockMode value) { CloseThenStore(block_mode_, value); }
void TBaseSocket::SetSocketTypeIndex(std::uint8_t value) {
  CloseThenStore(socket_type_index_, value);
}
void TBaseSocket::SetProtocolNumber(std::uint16_t value) {
  CloseThenStore(protocol_number_, value);
}

int TBaseSocket::SendBuffer(const char* buf, int length, int flags) {
  DataSending(buf, length);
  int result = CheckCallResult(os::send(winsock_handle_, buf, length, flags));
  if (result != os::kSocketError) sent_byte_count_ += result;
  return result;
}

void TBaseSocket::DataReceived(const char* buf, int& data_len) {
  if (OnReceive) OnReceive(*this, buf, data_len);
  received_byte_count_ += data_len;
}

void TBaseSocket::DataSending(const char* buf, int& data_len) {
  if (OnSend) OnSend(*this, buf, data_len);
}

int TBaseSocket::CheckCallResult(int value) {
  if (value == os::kSocketError) ReportSocketError();
  return value;
}

void TBaseSocket::Activate() {
  if (active_) return;
  os::SOCKET handle = os::socket(kAddressFamilies[address_family_index_],
                                 kSocketTypes[socket_type_index_], protocol_number_);
  CheckCallResult(handle == os::kInvalidSocket ? os::kSocketError : 0);
  winsock_handle_ = handle;
  active_ = handle != os::kInvalidSocket;
  if (!active_) return;
  if (block_mode_ == TSocketBlockMode::bmNonBlocking) {
    std::uint32_t on = 1;
    CheckCallResult(os::ioctlsocket(winsock_handle_, os::kFionbio, &on));
  }
  received_byte_count_ = 0;
  sent_byte_count_ = 0;
  HandleCreated();
}

void TBaseSocket::Deactivate() {
  if (!active_) return;
  CheckCallResult(os::closesocket(winsock_handle_));
  winsock_handle_ = os::kInvalidSocket;
  active_ = false;
  HandleDestroyed();
}

void TBaseSocket::HandleCreated() {
  if (active_ && OnCreateHandle) OnCreateHandle(*this);
}

void TBaseSocket::HandleDestroyed() {
  if (OnDestroyHandle) OnDestroyHandle(*this);
}

void TBaseSocket::ReportSocketError() {
  int code = os::WSAGetLastError();
  if (OnError) OnError(*this, code);
}

// --- TIpSocket ---

TIpSocket::TIpSocket() { SetAddressFamilyIndex(kInetFamilyIndex); }

std::string TIpSocket::ResolveHostText(std::string_view text) {
  if (text.empty()) return "0.0.0.0";
  std::string host(text);
  if (IsDigit(host[0])) {
    return os::inet_addr(host.c_str()) != os::kInaddrNone ? host : std::string();
  }
  os::HostEnt* entry = os::gethostbyname(host.c_str());
  if (entry == nullptr || entry->addr_list == nullptr || entry->addr_list[0] == nullptr) {
    return {};
  }
  AddressBytes bytes{};
  std::memcpy(bytes.data(), entry->addr_list[0], bytes.size());
  return DottedQuad(bytes);
}

std::optional<std::uint32_t> TIpSocket::ResolveHostAddress(std::string_view text) {
  // A digit-led text is read once, by the parser that tells whether it is an address.
  if (!text.empty() && IsDigit(text[0])) return ParseAddress(text);
  const std::string dotted = ResolveHostText(text);
  // Nothing to connect to; what the parser makes of it would be the limited broadcast
  // address, which reaches every host on the local network.
  if (dotted.empty()) return std::nullopt;
  return ParseAddress(dotted);
}

std::optional<std::uint32_t> TIpSocket::ParseAddress(std::string_view text) {
  const std::uint32_t numeric = os::inet_addr(std::string(text).c_str());
  if (numeric == os::kInaddrNone) return std::nullopt;
  return numeric;
}

std::int32_t TIpSocket::ResolvePortText(const std::string& text) {
  if (text.empty()) return 0;
  if (const os::ServEnt* service = os::getservbyname(text.c_str(), nullptr)) {
    return os::NToHs(static_cast<std::uint16_t>(service->port));
  }
  return TextToInt(text);
}

bool TIpSocket::BuildSocketAddress(std::string_view host, const std::string& port,
                                   os::SockAddrIn& address) {
  return BuildSocketAddress(ResolveHostAddress(host), port, address);
}

bool TIpSocket::BuildSocketAddress(std::optional<std::uint32_t> host, const std::string& port,
                                   os::SockAddrIn& address) {
  auto port_number = static_cast<std::uint16_t>(ResolvePortText(port));
  if (!host) return false;
  address = os::SockAddrIn{os::kAfInet, os::HToNs(port_number), *host, {}};
  return true;
}

std::optional<std::uint32_t> TIpSocket::RemoteHostAddress() const {
  if (!remote_address_) return ResolveHostAddress(remote_host_);
  if (!NamesOneHost(*remote_address_)) return std::nullopt;
  return remote_address_;
}

// --- TCustomIpClient ---

TCustomIpClient::~TCustomIpClient() {
  try {
    TCustomIpClient::Deactivate();
  } catch (...) {
  }
}

void TCustomIpClient::Activate() {
  TBaseSocket::Activate();
  if (!Active() || is_connected_) return;
  os::SockAddrIn address{};
  int result = os::kSocketError;
  if (BuildSocketAddress(RemoteHostAddress(), RemotePort(), address)) {
    result = CheckCallResult(os::connect(WinsockHandle(), &address, sizeof address));
  } else {
    os::WSASetLastError(os::kWsaHostNotFound);
    CheckCallResult(os::kSocketError);
  }
  is_connected_ = result == 0;
  if (is_connected_) ConnectionMade();
}

void TCustomIpClient::Deactivate() {
  if (is_connected_) {
    CheckCallResult(os::shutdown(WinsockHandle(), os::kSdBoth));
    is_connected_ = false;
    ConnectionClosed();
  }
  TIpSocket::Deactivate();
}

void TCustomIpClient::ConnectionMade() {
  if (OnConnect) OnConnect(*this);
}

void TCustomIpClient::ConnectionClosed() {
  if (OnDisconnect) OnDisconnect(*this);
}

// --- TUdpSocket ---

TUdpSocket::TUdpSocket() {
  SetSocketTypeIndex(kDatagramTypeIndex);
  SetProtocolNumber(os::kIpProtoUdp);
}

void TUdpSocket::HandleCreated() {
  // Without it the platform refuses a directed-broadcast destination at connect.
  const int on = 1;
  CheckCallResult(os::setsockopt(WinsockHandle(), os::kSolSocket, os::kSoBroadcast,
                                 reinterpret_cast<const char*>(&on), sizeof on));
  TCustomIpClient::HandleCreated();
}

// --- process start-up and clean-up ---

void StartWinsock() {
  if (os::WSAStartup(0x0101, &winsock_data) != 0) throw ESocketError("WSAStartup");
}

void StopWinsock() {
  if (os::WSACleanup() != 0) throw ESocketError("WSACleanup");
}

}  // namespace trolvane
