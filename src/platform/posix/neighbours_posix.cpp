// Linux: the neighbour table and its settings, each read by one rtnetlink dump.
#include <linux/neighbour.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "platform/neighbours.h"
#include "platform/posix/netlink.h"

namespace os {
namespace {

using posix::DumpIpv4;
using posix::ForEachAttribute;

// NOARP holds both what was set by hand and what the kernel made up without asking
// (multicast, broadcast, loopback); only the former holds a unicast MAC.
constexpr std::uint16_t kUsableStates =
    NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP;

// Calls each(header, body) for every IPv4 entry of the namespace's table.
template <typename Each>
bool DumpNeighbours(Each each) {
  return DumpIpv4(RTM_GETNEIGH, &ndmsg::ndm_family, [&each](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWNEIGH) return;
    const auto* body = static_cast<const ndmsg*>(NLMSG_DATA(h));
    if (body->ndm_family == AF_INET) each(h, *body);
  });
}

}  // namespace

bool ReadNeighbours(std::vector<Neighbour>* entries) {
  const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
  return DumpNeighbours([&](const nlmsghdr* h, const ndmsg& body) {
    if ((body.ndm_state & kUsableStates) == 0) return;
    Neighbour entry{};
    entry.interface_index = static_cast<std::uint32_t>(body.ndm_ifindex);
    entry.reachable = (body.ndm_state & NUD_REACHABLE) != 0;
    entry.rechecking = (body.ndm_state & (NUD_DELAY | NUD_PROBE)) != 0;
    bool has_address = false;
    bool has_hardware = false;
    ForEachAttribute(h, sizeof(ndmsg), [&](int type, const void* data, std::size_t size) {
      if (type == NDA_DST && size == 4) {
        std::memcpy(&entry.address, data, 4);
        has_address = true;
      } else if (type == NDA_LLADDR && size == entry.hardware.size()) {
        std::memcpy(entry.hardware.data(), data, size);
        has_hardware = entry.hardware != HardwareAddress{} && (entry.hardware[0] & 1) == 0;
      } else if (type == NDA_CACHEINFO && size >= sizeof(nda_cacheinfo) && ticks_per_second > 0) {
        nda_cacheinfo info{};
        std::memcpy(&info, data, sizeof info);
        entry.confirmed_ms_ago =
            static_cast<std::uint32_t>(std::uint64_t{info.ndm_confirmed} * 1000 /
                                       static_cast<std::uint64_t>(ticks_per_second));
      }
    });
    if (has_address && has_hardware) entries->push_back(entry);
  });
}

std::optional<std::uint32_t> NeighboursHeld() {
  // The kernel drops an entry to make room only when nothing holds it (no timer runs for
  // it: it is stale or failed) and it has not changed for 5 s.
  const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
  std::uint32_t held = 0;
  const bool read = DumpNeighbours([&](const nlmsghdr* h, const ndmsg& body) {
    if ((body.ndm_state & (NUD_PERMANENT | NUD_NOARP)) != 0) return;
    nda_cacheinfo info{};
    bool has_info = false;
    ForEachAttribute(h, sizeof(ndmsg), [&](int type, const void* data, std::size_t size) {
      if (type == NDA_CACHEINFO && size >= sizeof info) {
        std::memcpy(&info, data, sizeof info);
        has_info = true;
      }
    });
    const bool droppable = has_info && info.ndm_refcnt == 0 &&
                           ((body.ndm_state & NUD_FAILED) != 0 ||
                            info.ndm_updated >= static_cast<std::uint32_t>(5 * ticks_per_second));
    if (!droppable) ++held;
  });
  if (!read) return std::nullopt;
  return held;
}

std::optional<std::uint32_t> NeighbourTableLimit() {
  constexpr std::uint32_t kLinuxDefault = 1024;
  std::optional<std::uint32_t> limit;
  // Read over netlink, which every namespace may; /proc shows the setting only outside them.
  DumpIpv4(RTM_GETNEIGHTBL, &ndtmsg::ndtm_family, [&limit](const nlmsghdr* h) {
    if (h->nlmsg_type != RTM_NEWNEIGHTBL) return;
    std::string_view name;
    std::optional<std::uint32_t> thresh3;
    ForEachAttribute(h, sizeof(ndtmsg), [&](int type, const void* data, std::size_t size) {
      if (type == NDTA_NAME && size > 0) {
        name = std::string_view(static_cast<const char*>(data), size - 1);
      } else if (type == NDTA_THRESH3 && size == sizeof(std::uint32_t)) {
        std::uint32_t value = 0;
        std::memcpy(&value, data, size);
        thresh3 = value;
      }
    });
    if (name == "arp_cache" && thresh3) limit = thresh3;
  });
  return limit.value_or(kLinuxDefault);  // a refused read: the kernel's default
}

}  // namespace os
