#include "wake/destinations.h"

#include "net/udp_socket.h"
#include "text/messages.h"
#include "wake/broadcast_address.h"
#include "wake/errors.h"

namespace trolvane {

Destinations ResolveDestinations(std::string_view host, std::int32_t mask_bits) {
  if (host.empty()) throw EArgsException(msg::kBadHostAddress);
  Destinations to;
  if (mask_bits != kNoMaskBits) {
    // Checked before anything goes out, and from the text alone: the broadcast must be
    // that of the very address the packet goes to.
    std::uint32_t address = 0;
    to.broadcast = DirectedBroadcastOf(host, mask_bits, &address);
    to.host = address;
  } else {
    os::WSASetLastError(0);
    to.host = TIpSocket::ResolveHostAddress(host);
    // A text read as no address, or a name the resolver could not find.
    if (!to.host)
      to.lookup_error = os::WSAGetLastError() != 0 ? os::WSAGetLastError() : os::kWsaHostNotFound;
  }
  // The empty address would mean this machine, which then confirms itself.
  if (to.host == 0u) throw EArgsException(msg::kBadHostAddress);
  return to;
}

}  // namespace trolvane
