#include "wake/link_view.h"

namespace trolvane {
namespace {

std::uint64_t Key(std::uint32_t address, std::uint32_t interface) {
  return std::uint64_t{interface} << 32 | address;
}

}  // namespace

LinkReads PlatformLinkReads() { return {os::RoutesTo, os::ReadNeighbours}; }

bool NeighbourSnapshot::Read(const std::function<bool(std::vector<os::Neighbour>*)>& table) {
  entries_.clear();
  std::vector<os::Neighbour> entries;
  if (!table(&entries)) return false;
  Keep(entries);
  return true;
}

void NeighbourSnapshot::Keep(const std::vector<os::Neighbour>& entries) {
  entries_.clear();
  for (const os::Neighbour& e : entries) entries_[Key(e.address, e.interface_index)] = e.hardware;
}

std::optional<os::HardwareAddress> NeighbourSnapshot::Find(std::uint32_t address,
                                                           std::uint32_t interface) const {
  auto it = entries_.find(Key(address, interface));
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

}  // namespace trolvane
