// The stack over Windows Sockets 2, reached through the run-time binding.
#pragma once

#include <memory>

#include "net/stack.h"

namespace trolvane {

class TNetStackWindows : public TNetStack {
 public:
  // Starts Windows Sockets 2 (version 2.2) unless an earlier stack already did; raises
  // ENetStackInitializationFailed when the start-up fails.
  TNetStackWindows();
  static std::unique_ptr<TNetStack> Create();

  void RefreshLocalAddresses() override;
  std::string FirstLocalAddress() override;
  const std::vector<std::string>& LocalAddressList() override;
  os::SOCKET SockAccept(os::SOCKET s, std::string* address, int* port) override;
  int SockBind(os::SOCKET s, int family, const std::string& address, int port) override;
  int SockCloseSocket(os::SOCKET s) override;
  int SockConnect(os::SOCKET s, int family, const std::string& address, int port) override;
  std::string SockGetHostByName(const std::string& host) override;
  std::string SockGetHostName() override;
  std::string SockGetHostByAddr(const std::string& address) override;
  int SockGetServByName(const std::string& service) override;
  std::vector<std::string> SockGetServByPort(int port) override;
  std::uint16_t SockHToNs(std::uint16_t value) override;
  int SockListen(os::SOCKET s, int backlog) override;
  std::uint16_t SockNToHs(std::uint16_t value) override;
  std::uint32_t SockHToNl(std::uint32_t value) override;
  std::uint32_t SockNToHl(std::uint32_t value) override;
  int SockRecv(os::SOCKET s, void* buffer, int length, int flags) override;
  int SockRecvFrom(os::SOCKET s, void* buffer, int length, int flags, std::string* address,
                   int* port) override;
  int SockSelect(SocketList* read, SocketList* write, SocketList* error, int timeout_ms) override;
  int SockSend(os::SOCKET s, const void* buffer, int length, int flags) override;
  int SockSendTo(os::SOCKET s, const void* buffer, int length, int flags,
                 const std::string& address, int port) override;
  int SockSendTo(os::SOCKET s, const void* buffer, int length, int flags, std::uint32_t address,
                 int port) override;
  int SockSetSockOpt(os::SOCKET s, int level, int name, const void* value, int length) override;
  os::SOCKET SockSocket(int family, int type, int protocol) override;
  int SockShutdown(os::SOCKET s, int how) override;
  int SockSetNonBlocking(os::SOCKET s, bool on) override;
  // Adds 11001 "Host not found." to the common table.
  std::string SocketErrorMessage(int code) override;
  int LastSocketError() override;
  int SockGetPeerName(os::SOCKET s, int* family, std::string* address, int* port) override;
  int SockGetSockName(os::SOCKET s, int* family, std::string* address, int* port) override;
  int SockGetSockOpt(os::SOCKET s, int level, int name, void* value, int* length) override;
  std::string AddressBytesToText(const AddressBytes& bytes) override;
  void AddressTextToBytes(const std::string& address, AddressBytes& bytes) override;

 private:
  using NameCall = int (*)(os::SOCKET, os::SockAddrIn*, int*);
  int ReadName(NameCall call, os::SOCKET s, int* family, std::string* address, int* port);
  os::SockAddrIn MakeRecord(int family, std::uint32_t address, int port);
  void ReadRecord(const os::SockAddrIn& record, std::string* address, int* port);
  std::string EntryAddress(const os::HostEnt& entry, int index);
};

}  // namespace trolvane
