// Questions to the kernel's routing netlink: one request and its answer, a dump of an
// IPv4 table, and the links and own addresses that routes and the ARP socket are read with.
#pragma once

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/neighbours.h"

namespace os::posix {

class NetlinkSocket {
 public:
  NetlinkSocket();
  ~NetlinkSocket();
  NetlinkSocket(const NetlinkSocket&) = delete;
  NetlinkSocket& operator=(const NetlinkSocket&) = delete;

  bool Send(const void* request, std::size_t size) const;
  // Calls each(message) for every message of the answer to sequence until it is done;
  // false on a failure, an error message or a truncated read.
  template <typename Each>
  bool Receive(std::uint32_t sequence, bool dump, Each each) const {
    for (int reads = 0; reads < kMostReads; ++reads) {
      const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
      if (n <= 0) return false;
      auto left = static_cast<unsigned int>(n);
      for (auto* h = reinterpret_cast<nlmsghdr*>(buffer_.data()); NLMSG_OK(h, left);
           h = NLMSG_NEXT(h, left)) {
        if (h->nlmsg_seq != sequence) continue;
        if (h->nlmsg_type == NLMSG_DONE) return true;
        if (h->nlmsg_type == NLMSG_ERROR) {
          const auto* e = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
          return e->error == 0 && !dump;
        }
        each(h);
        if (!dump) return true;
      }
    }
    return false;
  }

 private:
  static constexpr int kReceiveLimit = 1 << 16;
  // A dump of a very large table still ends; this many reads is far past 100,000 entries.
  static constexpr int kMostReads = 4096;
  int fd_;
  // One for all the reads of a batch: clearing 64 KiB for each of 10,000 route reads cost
  // more than the reads.
  mutable std::vector<char> buffer_;
};

std::uint32_t NextSequence();

// Calls each(type, payload, length) for every attribute after a fixed header of `fixed` bytes.
template <typename Each>
void ForEachAttribute(const nlmsghdr* h, std::size_t fixed, Each each) {
  const auto* a =
      reinterpret_cast<const rtattr*>(static_cast<const char*>(NLMSG_DATA(h)) + NLMSG_ALIGN(fixed));
  int left = static_cast<int>(h->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(fixed));
  for (; RTA_OK(a, left); a = RTA_NEXT(a, left)) each(a->rta_type, RTA_DATA(a), RTA_PAYLOAD(a));
}

// Asks over socket for a dump of the IPv4 table that type names and calls each(message)
// for every message of the answer; family is the family field of the request's body.
template <typename Body, typename Each>
bool DumpIpv4(const NetlinkSocket& socket, std::uint16_t type, unsigned char Body::*family,
              Each each) {
  struct {
    nlmsghdr header;
    Body body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = type;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = NextSequence();
  request.body.*family = AF_INET;
  if (!socket.Send(&request, sizeof request)) return false;
  return socket.Receive(request.header.nlmsg_seq, true, each);
}

template <typename Body, typename Each>
bool DumpIpv4(std::uint16_t type, unsigned char Body::*family, Each each) {
  NetlinkSocket socket;
  return DumpIpv4(socket, type, family, each);
}

struct Link {
  std::uint32_t index = 0;
  unsigned int flags = 0;  // IFF_*
  std::optional<HardwareAddress> hardware;
};

struct OwnAddress {
  std::uint32_t interface_index = 0;
  std::uint32_t address = 0;  // network order
  int prefix_bits = 32;
};

bool ReadLinks(const NetlinkSocket& socket, std::vector<Link>* links);
bool ReadOwnAddresses(const NetlinkSocket& socket, std::vector<OwnAddress>* addresses);

// The interface's own address of the longest prefix whose subnet holds address; null
// when none does.
const OwnAddress* OwnAddressHolding(const std::vector<OwnAddress>& own,
                                    std::uint32_t interface_index, std::uint32_t address);

}  // namespace os::posix
