#include "net/neighbour_check.h"

#include "platform/process.h"

namespace trolvane {

NeighbourSeams PlatformNeighbourSeams() {
  auto directly_attached = [](std::uint32_t address) -> std::optional<bool> {
    const std::optional<os::Route> route = os::RoutesTo({address}).front();
    if (!route) return std::nullopt;
    return route->direct;
  };
  return {directly_attached, os::ReadNeighbours, os::MicroTicks, os::Sleep};
}

NeighbourCheck::NeighbourCheck(NeighbourSeams seams) : seams_(std::move(seams)) {}

MacCheckResult NeighbourCheck::Check(std::uint32_t address, const os::HardwareAddress& woken) {
  auto [route, added] = attached_.try_emplace(address, false);
  if (added) route->second = seams_.directly_attached(address).value_or(false);
  if (!route->second || refused_) return {};

  auto entry = table_.find(address);
  // An answer from an address the last read did not hold, or held with another MAC, is
  // judged by a read taken after it came: the entry was made, or changed, meanwhile.
  if (entry == table_.end() || entry->second != woken) {
    ReadTable();
    if (refused_) return {};
    entry = table_.find(address);
  }
  if (entry == table_.end()) return {};
  if (entry->second == woken) return {MacVerdict::kConfirms, woken};
  return {MacVerdict::kAnotherMachine, entry->second};
}

void NeighbourCheck::ReadTable() {
  if (read_at_) {
    const std::uint64_t now = seams_.clock();
    if (now < *read_at_ + kReadGap) {
      seams_.sleep(static_cast<std::uint32_t>((*read_at_ + kReadGap - now + 999) / 1000));
    }
  }
  std::vector<os::Neighbour> entries;
  refused_ = !seams_.read_table(&entries);
  read_at_ = seams_.clock();
  table_.clear();
  for (const os::Neighbour& e : entries) table_[e.address] = e.hardware;
}

}  // namespace trolvane
