#include "fleet/roll_call.h"

#include <cstring>

namespace trolvane {

std::size_t RollCall::Add(std::uint32_t address) {
  auto [it, added] = index_.emplace(address, entries_.size());
  if (added) entries_.push_back(Entry{address});
  return it->second;
}

std::uint16_t RollCall::NextRequest(std::size_t index) {
  Entry& entry = entries_[index];
  const auto sequence = static_cast<std::uint16_t>(kFirstSequence + entry.sent);
  if (entry.sent <= 0xFFFF) ++entry.sent;
  return sequence;
}

std::optional<std::size_t> RollCall::Match(const PacketView& answer) const {
  if (!answer.ours) return std::nullopt;
  std::uint32_t address = 0;
  std::memcpy(&address, answer.target.data(), sizeof address);
  auto it = index_.find(address);
  if (it == index_.end()) return std::nullopt;
  const std::uint16_t nth = static_cast<std::uint16_t>(answer.sequence - kFirstSequence);
  if (nth >= entries_[it->second].sent) return std::nullopt;
  return it->second;
}

}  // namespace trolvane
