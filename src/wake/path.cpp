#include "wake/path.h"

#include "wake/broadcast_address.h"

namespace trolvane {

Path ClassifyPath(std::uint32_t address, const std::optional<os::Route>& route) {
  using Via = os::Route::Via;
  using Medium = os::Route::Medium;
  Path path;
  if (!route) return path;
  path.interface_index = route->interface_index;
  if (route->via == Via::kGateway) {
    path.kind = PathKind::kRouted;
  } else if (route->via == Via::kThisMachine || route->medium == Medium::kPlain) {
    path.kind = PathKind::kPlainLink;
  } else if (route->medium == Medium::kBroadcast) {
    path.kind = PathKind::kLink;
    const int bits = route->own_prefix_bits;
    path.own_prefix_bits = bits;
    if (bits >= 1 && bits <= 30) path.link_broadcast = BroadcastOf(address, bits);
  }
  return path;
}

}  // namespace trolvane
