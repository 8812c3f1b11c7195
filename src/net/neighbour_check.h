// The MAC check of an answer: whether the machine that answered from an address is the one
// that was woken, as far as the neighbour table can tell. Route answers are kept per
// address; the table is read again only when an answer cannot be judged by the last read,
// and never more often than once per kReadGap, so that thousands of answers cost a handful
// of reads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/neighbours.h"

namespace trolvane {

enum class MacVerdict {
  kConfirms,        // the table holds the woken MAC for the address
  kAnotherMachine,  // it holds another one: `seen`
  kCannotTell,      // behind a router, no entry, or the platform refused: confirm as before
};

struct MacCheckResult {
  MacVerdict verdict = MacVerdict::kCannotTell;
  os::HardwareAddress seen{};
};

struct NeighbourSeams {
  std::function<std::optional<bool>(std::uint32_t address)> directly_attached;
  std::function<bool(std::vector<os::Neighbour>* entries)> read_table;
  std::function<std::uint64_t()> clock;  // microseconds
  std::function<void(std::uint32_t milliseconds)> sleep;
};
NeighbourSeams PlatformNeighbourSeams();

class NeighbourCheck {
 public:
  static constexpr std::uint64_t kReadGap = 20000;  // microseconds

  explicit NeighbourCheck(NeighbourSeams seams = PlatformNeighbourSeams());

  // For an answer that just came from address (network order), when woken is the MAC that
  // was woken.
  MacCheckResult Check(std::uint32_t address, const os::HardwareAddress& woken);

 private:
  void ReadTable();

  NeighbourSeams seams_;
  std::unordered_map<std::uint32_t, bool> attached_;
  std::unordered_map<std::uint32_t, os::HardwareAddress> table_;
  std::optional<std::uint64_t> read_at_;
  bool refused_ = false;
};

}  // namespace trolvane
