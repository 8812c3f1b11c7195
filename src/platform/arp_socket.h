// Address resolution asked by hand on one link, and the replies read off it: how "/l"
// learns a room exactly where the platform allows it (Linux with CAP_NET_RAW). The
// system's neighbour table is neither read nor filled (though Linux refreshes an entry it
// already holds for an address from the reply, whatever its state, even failed).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/neighbours.h"

namespace os {

class ArpSocket {
 public:
  ArpSocket();
  ~ArpSocket();  // closes
  ArpSocket(const ArpSocket&) = delete;
  ArpSocket& operator=(const ArpSocket&) = delete;

  // Opens a packet socket on the interface (by index) that asks as the interface's own
  // IPv4 address whose subnet holds `near` (network order) and its own hardware address.
  // False, with nothing open, where it cannot be had: no privilege, not Linux (Windows
  // always), an interface without a 6-byte hardware address or without such an address.
  bool Open(std::uint32_t interface_index, std::uint32_t near);
  // One ARP request (who-has address, network order) as a link broadcast frame. Kinds of
  // failure: kSent, kBusy (ENOBUFS/EAGAIN: nothing went out, try later), kFailed.
  enum class Sent : std::uint8_t { kSent, kBusy, kFailed };
  Sent Ask(std::uint32_t address);
  // Waits at most timeout_ms (0: not at all) for replies and appends each ARP reply that
  // came on the interface in a frame to this host (or to all) for our IPv4 address: its
  // sender's IPv4 address and hardware address (as Neighbour with interface_index set,
  // reachable true). Returns false when the wait failed. Takes every reply already
  // waiting (up to a bound).
  bool Receive(std::int32_t timeout_ms, std::vector<Neighbour>* replies);

 private:
  void Close();

  int fd_ = -1;
  std::uint32_t interface_index_ = 0;
  std::uint32_t own_address_ = 0;  // network order
  HardwareAddress own_hardware_{};
};

}  // namespace os
