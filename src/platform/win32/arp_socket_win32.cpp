// Windows lets no program send ARP frames of its own: "/l" learns through the system's
// table there.
#include "platform/arp_socket.h"

namespace os {

ArpSocket::ArpSocket() = default;
ArpSocket::~ArpSocket() = default;
void ArpSocket::Close() {}
bool ArpSocket::Open(std::uint32_t, std::uint32_t) { return false; }
ArpSocket::Sent ArpSocket::Ask(std::uint32_t) { return Sent::kFailed; }
bool ArpSocket::Receive(std::int32_t, std::vector<Neighbour>*) { return false; }

}  // namespace os
