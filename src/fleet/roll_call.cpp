#include "fleet/roll_call.h"

namespace trolvane {

std::size_t RollCall::Add(std::uint32_t address) {
  auto [it, added] = index_.emplace(address, entries_.size());
  if (added) entries_.push_back(Entry{address, {}});
  return it->second;
}

std::uint16_t RollCall::NextRequest(std::size_t index) { return entries_[index].sent.Next(); }

std::optional<std::size_t> RollCall::Match(const PacketView& answer) const {
  if (!answer.ours) return std::nullopt;
  auto it = index_.find(answer.target);
  if (it == index_.end() || !entries_[it->second].sent.Answers(answer.sequence)) {
    return std::nullopt;
  }
  return it->second;
}

}  // namespace trolvane
