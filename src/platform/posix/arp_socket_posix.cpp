// Linux: a packet socket on one interface that sends ARP requests as link broadcasts and
// reads the replies that come to our address, beside the kernel's own resolution.
#include "platform/posix/arp_socket_posix.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/arp_socket.h"
#include "platform/posix/netlink.h"

namespace os {
namespace posix {
namespace {

constexpr std::uint16_t kEthernet = 1;
constexpr std::uint16_t kRequest = 1;
constexpr std::uint16_t kReply = 2;
// Offsets of RFC 826's fields.
constexpr std::size_t kSenderHardware = 8, kSenderAddress = 14, kTargetAddress = 24;

std::uint16_t Read16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

}  // namespace

ArpFrame ArpRequest(const HardwareAddress& sender, std::uint32_t own, std::uint32_t target) {
  ArpFrame frame{0, kEthernet, ETH_P_IP >> 8, ETH_P_IP & 0xFF, 6, 4, 0, kRequest};
  std::memcpy(frame.data() + kSenderHardware, sender.data(), sender.size());
  std::memcpy(frame.data() + kSenderAddress, &own, sizeof own);
  std::memcpy(frame.data() + kTargetAddress, &target, sizeof target);
  return frame;
}

std::optional<Neighbour> ArpReplyTo(std::uint32_t own, const std::uint8_t* frame,
                                    std::size_t size) {
  // A short frame comes padded to Ethernet's least size: more bytes are fine.
  if (size < kArpFrameSize || Read16(frame) != kEthernet || Read16(frame + 2) != ETH_P_IP ||
      frame[4] != 6 || frame[5] != 4 || Read16(frame + 6) != kReply) {
    return std::nullopt;
  }
  std::uint32_t target = 0;
  std::memcpy(&target, frame + kTargetAddress, sizeof target);
  Neighbour sender{};
  std::memcpy(sender.hardware.data(), frame + kSenderHardware, sender.hardware.size());
  std::memcpy(&sender.address, frame + kSenderAddress, sizeof sender.address);
  if (target != own || sender.hardware == HardwareAddress{} || (sender.hardware[0] & 1) != 0) {
    return std::nullopt;
  }
  sender.reachable = true;
  return sender;
}

}  // namespace posix

namespace {

// Room for the replies of a /16 sweep that arrive while the sender is busy.
constexpr int kReceiveBuffer = 4 << 20;
// Frames taken in one call: a /16's replies, so that one call never runs unbounded.
constexpr int kMostFrames = 1 << 16;

sockaddr_ll LinkAddress(std::uint32_t interface_index) {
  sockaddr_ll at{};
  at.sll_family = AF_PACKET;
  at.sll_protocol = htons(ETH_P_ARP);
  at.sll_ifindex = static_cast<int>(interface_index);
  return at;
}

}  // namespace

ArpSocket::ArpSocket() = default;
ArpSocket::~ArpSocket() { Close(); }

void ArpSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ArpSocket::Open(std::uint32_t interface_index, std::uint32_t near) {
  Close();
  const posix::NetlinkSocket netlink;
  std::vector<posix::Link> links;
  std::vector<posix::OwnAddress> own;
  if (!posix::ReadLinks(netlink, &links) || !posix::ReadOwnAddresses(netlink, &own)) return false;
  const auto link = std::find_if(links.begin(), links.end(), [&](const posix::Link& l) {
    return l.index == interface_index && l.hardware && *l.hardware != HardwareAddress{};
  });
  const posix::OwnAddress* address = posix::OwnAddressHolding(own, interface_index, near);
  if (link == links.end() || address == nullptr) return false;
  // No protocol until bound to the interface, so that no other link's frame is queued.
  const int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_ll at = LinkAddress(interface_index);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
    ::close(fd);
    return false;
  }
  // Beyond rmem_max only with CAP_NET_ADMIN; otherwise as much as the system allows.
  const int size = kReceiveBuffer;
  if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  fd_ = fd;
  interface_index_ = interface_index;
  own_address_ = address->address;
  own_hardware_ = *link->hardware;
  return true;
}

ArpSocket::Sent ArpSocket::Ask(std::uint32_t address) {
  if (fd_ < 0) return Sent::kFailed;
  const posix::ArpFrame frame = posix::ArpRequest(own_hardware_, own_address_, address);
  sockaddr_ll to = LinkAddress(interface_index_);
  to.sll_halen = 6;
  std::memset(to.sll_addr, 0xFF, 6);
  const ssize_t sent = ::sendto(fd_, frame.data(), frame.size(), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (sent == static_cast<ssize_t>(frame.size())) return Sent::kSent;
  return sent < 0 && (errno == ENOBUFS || errno == EAGAIN || errno == EWOULDBLOCK) ? Sent::kBusy
                                                                                   : Sent::kFailed;
}

bool ArpSocket::Receive(std::int32_t timeout_ms, std::vector<Neighbour>* replies) {
  if (fd_ < 0) return false;
  pollfd ready{fd_, POLLIN, 0};
  const int n = ::poll(&ready, 1, std::max<std::int32_t>(timeout_ms, 0));
  if (n < 0) return errno == EINTR;
  for (int frames = 0; n > 0 && frames < kMostFrames; ++frames) {
    std::uint8_t frame[64];  // an ARP frame, padded to Ethernet's least size, is 46 bytes
    sockaddr_ll from{};
    socklen_t from_size = sizeof from;
    const ssize_t size =
        ::recvfrom(fd_, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&from), &from_size);
    if (size < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    // Our own requests pass the socket on their way out; a frame for another host (a
    // promiscuous card, a bridge port, another VLAN's tag) answered someone else.
    if (from.sll_ifindex != static_cast<int>(interface_index_) ||
        (from.sll_pkttype != PACKET_HOST && from.sll_pkttype != PACKET_BROADCAST)) {
      continue;
    }
    std::optional<Neighbour> reply =
        posix::ArpReplyTo(own_address_, frame, static_cast<std::size_t>(size));
    if (!reply) continue;
    reply->interface_index = interface_index_;
    replies->push_back(*reply);
  }
  return true;
}

}  // namespace os
