#include "wake/machine_check.h"

#include <algorithm>

#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"

namespace trolvane {

MachineCheck::MachineCheck(bool on, std::vector<std::uint32_t> addresses,
                           std::vector<std::vector<os::HardwareAddress>> woken)
    : on_(on),
      addresses_(std::move(addresses)),
      woken_(std::move(woken)),
      other_(addresses_.size()) {
  if (on_) check_ = std::make_unique<NeighbourCheck>();
}

MachineCheck::~MachineCheck() = default;

std::function<bool(std::size_t)> MachineCheck::Seam() {
  if (!on_) return {};
  return [this](std::size_t index) { return OwnMachine(index); };
}

bool MachineCheck::OwnMachine(std::size_t index) {
  const std::vector<os::HardwareAddress>& woken = woken_[index];
  if (woken.empty()) return true;
  const MacCheckResult result = check_->Check(addresses_[index], woken.front());
  if (result.verdict != MacVerdict::kAnotherMachine) return true;
  if (std::find(woken.begin(), woken.end(), result.seen) != woken.end()) return true;
  other_[index] = result.seen;
  return false;
}

std::string MachineCheck::Reason(std::size_t index) const {
  return other_[index] ? FillIn(msg::kAnotherMachineReason, {MacText(*other_[index])}) : "";
}

os::HardwareAddress MachineCheck::MacOf(const MagicPacketBytes& packet) {
  os::HardwareAddress mac{};
  std::copy_n(packet.begin() + 6, mac.size(), mac.begin());
  return mac;
}

}  // namespace trolvane
