#include "net/stack_windows.h"

#include <cstring>

#include "net/net_exceptions.h"
#include "net/socket_error_texts.h"
#include "net/winsock2_binding.h"
#include "text/exception.h"
#include "text/int_convert.h"

namespace trolvane {
namespace {

constexpr std::uint16_t kWinsockVersion = 0x0202;
constexpr int kRecordLength = sizeof(os::SockAddrIn);
constexpr int kHostNameBuffer = 250;
constexpr int kWaitForever = -2;

// The caller has checked that the list fits.
void FillSet(const SocketList* list, os::FdSet* set) {
  if (list == nullptr) return;
  set->count = static_cast<std::uint32_t>(list->size());
  for (std::size_t i = 0; i < list->size(); ++i) set->array[i] = (*list)[i];
}

void ReadBack(const os::FdSet& set, SocketList* list) {
  if (list == nullptr) return;
  list->assign(set.array, set.array + set.count);
}

bool TooBig(const SocketList* list) {
  return list != nullptr && list->size() > static_cast<std::size_t>(os::kFdSetSize);
}

}  // namespace

TNetStackWindows::TNetStackWindows() {
  if (SocketsStarted()) return;
  os::WsaData data{};
  if (ws2::StartWinsock2(kWinsockVersion, &data) != 0) throw ENetStackInitializationFailed();
  MarkSocketsStarted();
}

std::unique_ptr<TNetStack> TNetStackWindows::Create() {
  return std::make_unique<TNetStackWindows>();
}

os::SockAddrIn TNetStackWindows::MakeRecord(int family, std::uint32_t address, int port) {
  os::SockAddrIn record{};
  record.family = static_cast<std::int16_t>(family);
  record.port = SockHToNs(static_cast<std::uint16_t>(port));
  record.addr = address;
  return record;
}

void TNetStackWindows::ReadRecord(const os::SockAddrIn& record, std::string* address, int* port) {
  AddressBytes bytes{};
  std::memcpy(bytes.data(), &record.addr, bytes.size());
  if (address != nullptr) *address = AddressBytesToText(bytes);
  if (port != nullptr) *port = SockNToHs(record.port);
}

std::string TNetStackWindows::EntryAddress(const os::HostEnt& entry, int index) {
  AddressBytes bytes{};
  std::memcpy(bytes.data(), entry.addr_list[index], bytes.size());
  return AddressBytesToText(bytes);
}

void TNetStackWindows::RefreshLocalAddresses() {
  if (!local_addrs_) local_addrs_ = std::make_unique<std::vector<std::string>>();
  local_addrs_->clear();
  std::string name = SockGetHostName();
  os::HostEnt* entry = ws2::gethostbyname(name.c_str());
  if (entry == nullptr) CheckSocketResult(os::kSocketError);
  for (int i = 0; entry->addr_list != nullptr && entry->addr_list[i] != nullptr; ++i) {
    local_addrs_->push_back(EntryAddress(*entry, i));
  }
}

const std::vector<std::string>& TNetStackWindows::LocalAddressList() {
  if (!local_addrs_) local_addrs_ = std::make_unique<std::vector<std::string>>();
  RefreshLocalAddresses();
  return *local_addrs_;
}

std::string TNetStackWindows::FirstLocalAddress() { return LocalAddressList().at(0); }

os::SOCKET TNetStackWindows::SockAccept(os::SOCKET s, std::string* address, int* port) {
  os::SockAddrIn record{};
  int length = kRecordLength;
  os::SOCKET result = ws2::accept(s, &record, &length);
  ReadRecord(record, address, port);
  return result;
}

int TNetStackWindows::SockBind(os::SOCKET s, int family, const std::string& address, int port) {
  os::SockAddrIn record =
      MakeRecord(family, address.empty() ? 0 : AddressTextToValue(address), port);
  return ws2::bind(s, &record, kRecordLength);
}

int TNetStackWindows::SockCloseSocket(os::SOCKET s) { return ws2::closesocket(s); }

int TNetStackWindows::SockConnect(os::SOCKET s, int family, const std::string& address, int port) {
  os::SockAddrIn record = MakeRecord(family, AddressTextToValue(address), port);
  return ws2::connect(s, &record, kRecordLength);
}

std::string TNetStackWindows::SockGetHostByName(const std::string& host) {
  os::HostEnt* entry = ws2::gethostbyname(host.c_str());
  if (entry == nullptr) CheckSocketResult(os::kSocketError);
  // An entry without addresses names no host to talk to: report it as such.
  if (entry->addr_list == nullptr || entry->addr_list[0] == nullptr) {
    RaiseRecordedFailure(os::kWsaNoData);
  }
  return EntryAddress(*entry, 0);
}

std::string TNetStackWindows::SockGetHostName() {
  char buffer[kHostNameBuffer] = {};
  ws2::gethostname(buffer, kHostNameBuffer);
  return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

std::string TNetStackWindows::SockGetHostByAddr(const std::string& address) {
  std::uint32_t value = ws2::inet_addr(address.c_str());
  os::HostEnt* entry =
      ws2::gethostbyaddr(reinterpret_cast<const char*>(&value), sizeof(value), os::kAfInet);
  if (entry == nullptr) CheckSocketResult(os::kSocketError);
  return entry->name != nullptr ? entry->name : "";
}

int TNetStackWindows::SockGetServByName(const std::string& service) {
  os::ServEnt* entry = ws2::getservbyname(service.c_str(), nullptr);
  if (entry != nullptr) return SockNToHs(static_cast<std::uint16_t>(entry->port));
  try {
    return TextToInt(service);
  } catch (const EConvertError&) {
    throw ENetInvalidServiceName(service);
  }
}

std::vector<std::string> TNetStackWindows::SockGetServByPort(int port) {
  std::vector<std::string> names;
  os::ServEnt* entry = ws2::getservbyport(SockHToNs(static_cast<std::uint16_t>(port)), nullptr);
  if (entry == nullptr) return names;
  names.emplace_back(entry->name != nullptr ? entry->name : "");
  for (char** alias = entry->aliases; alias != nullptr && *alias != nullptr; ++alias) {
    names.emplace_back(*alias);
  }
  return names;
}

std::uint16_t TNetStackWindows::SockHToNs(std::uint16_t value) { return ws2::HToNs(value); }
std::uint16_t TNetStackWindows::SockNToHs(std::uint16_t value) { return ws2::NToHs(value); }
std::uint32_t TNetStackWindows::SockHToNl(std::uint32_t value) { return ws2::HToNl(value); }
std::uint32_t TNetStackWindows::SockNToHl(std::uint32_t value) { return ws2::NToHl(value); }

int TNetStackWindows::SockListen(os::SOCKET s, int backlog) { return ws2::listen(s, backlog); }

int TNetStackWindows::SockRecv(os::SOCKET s, void* buffer, int length, int flags) {
  return ws2::recv(s, static_cast<char*>(buffer), length, flags);
}

int TNetStackWindows::SockRecvFrom(os::SOCKET s, void* buffer, int length, int flags,
                                   std::string* address, int* port) {
  os::SockAddrIn record{};
  int record_length = kRecordLength;
  int result = ws2::recvfrom(s, static_cast<char*>(buffer), length, flags, &record, &record_length);
  ReadRecord(record, address, port);
  return result;
}

int TNetStackWindows::SockSelect(SocketList* read, SocketList* write, SocketList* error,
                                 int timeout_ms) {
  if (TooBig(read) || TooBig(write) || TooBig(error)) throw ENetStackSetSizeExceeded();
  os::FdSet sets[3] = {};
  FillSet(read, &sets[0]);
  FillSet(write, &sets[1]);
  FillSet(error, &sets[2]);
  os::TimeVal limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  int result =
      ws2::select(0, &sets[0], &sets[1], &sets[2], timeout_ms == kWaitForever ? nullptr : &limit);
  ReadBack(sets[0], read);
  ReadBack(sets[1], write);
  ReadBack(sets[2], error);
  return result;
}

int TNetStackWindows::SockSend(os::SOCKET s, const void* buffer, int length, int flags) {
  return ws2::send(s, static_cast<const char*>(buffer), length, flags);
}

int TNetStackWindows::SockSendTo(os::SOCKET s, const void* buffer, int length, int flags,
                                 const std::string& address, int port) {
  return SockSendTo(s, buffer, length, flags, AddressTextToValue(address), port);
}

int TNetStackWindows::SockSendTo(os::SOCKET s, const void* buffer, int length, int flags,
                                 std::uint32_t address, int port) {
  os::SockAddrIn record = MakeRecord(os::kAfInet, address, port);
  return ws2::sendto(s, static_cast<const char*>(buffer), length, flags, &record, kRecordLength);
}

int TNetStackWindows::SockSetSockOpt(os::SOCKET s, int level, int name, const void* value,
                                     int length) {
  return ws2::setsockopt(s, level, name, static_cast<const char*>(value), length);
}

os::SOCKET TNetStackWindows::SockSocket(int family, int type, int protocol) {
  return ws2::socket(family, type, protocol);
}

int TNetStackWindows::SockShutdown(os::SOCKET s, int how) { return ws2::shutdown(s, how); }

int TNetStackWindows::SockSetNonBlocking(os::SOCKET s, bool on) {
  std::uint32_t value = on ? 1 : 0;
  return ws2::ioctlsocket(s, os::kFionbio, &value);
}

std::string TNetStackWindows::SocketErrorMessage(int code) {
  if (code == os::kWsaHostNotFound) return FormatSocketError(code, "Host not found.");
  return TNetStack::SocketErrorMessage(code);
}

int TNetStackWindows::LastSocketError() { return ws2::WSAGetLastError(); }

int TNetStackWindows::SockGetPeerName(os::SOCKET s, int* family, std::string* address, int* port) {
  return ReadName(&ws2::getpeername, s, family, address, port);
}

int TNetStackWindows::SockGetSockName(os::SOCKET s, int* family, std::string* address, int* port) {
  return ReadName(&ws2::getsockname, s, family, address, port);
}

int TNetStackWindows::ReadName(NameCall call, os::SOCKET s, int* family, std::string* address,
                               int* port) {
  os::SockAddrIn record{};
  int length = kRecordLength;
  int result = call(s, &record, &length);
  CheckSocketResult(result);
  if (family != nullptr) *family = static_cast<std::uint16_t>(record.family);
  ReadRecord(record, address, port);
  return result;
}

int TNetStackWindows::SockGetSockOpt(os::SOCKET s, int level, int name, void* value, int* length) {
  return ws2::getsockopt(s, level, name, static_cast<char*>(value), length);
}

std::string TNetStackWindows::AddressBytesToText(const AddressBytes& bytes) {
  return DottedQuad(bytes);
}

void TNetStackWindows::AddressTextToBytes(const std::string& address, AddressBytes& bytes) {
  std::string rest = address;
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(TextToInt(FetchToken(rest, ".")) & 0xFF);
  }
}

}  // namespace trolvane
