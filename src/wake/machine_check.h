// The MAC check of a wait's answers, for one host and for a list alike: an answer confirms
// a host only when the neighbour table does not give its address to another machine than
// the one that was woken (an address may name several lines, and so several MACs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/neighbour_check.h"
#include "wake/magic_packet.h"

namespace trolvane {

class MachineCheck {
 public:
  // The MACs woken at each host's address (network order), by its index in the wait. A
  // check that is off lets every answer confirm.
  MachineCheck(bool on, std::vector<std::uint32_t> addresses,
               std::vector<std::vector<os::HardwareAddress>> woken);
  ~MachineCheck();

  // The engine's own_machine seam; unset when the check is off.
  std::function<bool(std::size_t)> Seam();
  // "(別の機器(00-1A-2B-3C-4D-5E)が応答)": the last other machine that answered for the host.
  std::string Reason(std::size_t index) const;

  // The woken MAC inside a magic packet.
  static os::HardwareAddress MacOf(const MagicPacketBytes& packet);

 private:
  bool OwnMachine(std::size_t index);

  bool on_;
  std::vector<std::uint32_t> addresses_;
  std::vector<std::vector<os::HardwareAddress>> woken_;
  std::vector<std::optional<os::HardwareAddress>> other_;
  std::unique_ptr<NeighbourCheck> check_;
};

}  // namespace trolvane
