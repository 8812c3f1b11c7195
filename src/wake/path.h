// The way to a machine, read once and classified once: every rule that depends on it (the
// link broadcast, the MAC check, what a refused connection proves, the neighbour table's
// places) takes its answer from the class, never from the route itself.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/neighbours.h"

namespace trolvane {

enum class PathKind : std::uint8_t {
  kUnknown,    // the platform cannot tell: nothing is assumed
  kLink,       // an attached link that resolves addresses (Ethernet, Wi-Fi)
  kPlainLink,  // a point-to-point or NOARP link, or this machine itself: no resolution
  kRouted,     // through a router
};

struct Path {
  PathKind kind = PathKind::kUnknown;
  std::uint32_t interface_index = 0;
  // On an attached link: the broadcast of the interface's own address whose prefix holds
  // the machine (never of a narrower route, which would name a host); none on a /31 or
  // /32, whose link has no broadcast of its own, or a /0, whose would be the limited one.
  std::optional<std::uint32_t> link_broadcast;
  // On an attached link: the bits of that own prefix; -1 where no own address holds it.
  int own_prefix_bits = -1;
};

Path ClassifyPath(std::uint32_t address, const std::optional<os::Route>& route);

// Only a machine on a link that resolves addresses can be told apart by its MAC.
inline bool ChecksMac(const Path& path) { return path.kind == PathKind::kLink; }
// A firewall between may refuse for a machine that does not exist; on an attached link
// nothing stands between.
inline bool RefusalConfirms(const Path& path) { return path.kind == PathKind::kLink; }
// On an attached link the only sender of an unreachable for a request is this machine's
// own stack, when nobody answered address resolution: the machine is silent, not in error.
inline bool ErrorsCount(const Path& path) { return path.kind != PathKind::kLink; }
// Asking an address of a link that resolves addresses (or may) takes an entry in the
// system's bounded neighbour table.
inline bool TakesTablePlace(const Path& path) {
  return path.kind == PathKind::kLink || path.kind == PathKind::kUnknown;
}

}  // namespace trolvane
