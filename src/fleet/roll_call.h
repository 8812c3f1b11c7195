// The addresses a host list run is confirming, and which answer belongs to which: an
// answer counts for the address its request went to, when it carries a sequence number
// that address was sent. Finding it costs one hash lookup, however many addresses there are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "net/raw_headers.h"

namespace trolvane {

class RollCall {
 public:
  // The index of the address (network order); a repeated address keeps its index.
  std::size_t Add(std::uint32_t address);
  std::size_t Size() const { return entries_.size(); }
  std::uint32_t Address(std::size_t index) const { return entries_[index].address; }

  // The sequence number of the next request to the address, counted as sent.
  std::uint16_t NextRequest(std::size_t index);
  // The address an answer of ours belongs to; none when it answers no request we sent.
  std::optional<std::size_t> Match(const PacketView& answer) const;

 private:
  struct Entry {
    std::uint32_t address;
    SentRequests sent;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::uint32_t, std::size_t> index_;
};

}  // namespace trolvane
