#include "wake/machine_check.h"

#include <algorithm>

#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"

namespace trolvane {

MachineCheck::MachineCheck(bool on, std::vector<std::uint32_t> addresses,
                           std::vector<std::vector<Machine>> machines,
                           std::function<void(std::size_t line)> confirmed, LinkReads reads,
                           std::function<std::uint64_t()> clock)
    : on_(on),
      addresses_(std::move(addresses)),
      machines_(std::move(machines)),
      on_confirmed_(std::move(confirmed)),
      reads_(std::move(reads)),
      clock_(std::move(clock)),
      routes_(addresses_.size()),
      unsure_(addresses_.size(), false) {
  std::size_t lines = 0;
  for (const auto& at : machines_) {
    for (const Machine& m : at) lines = std::max(lines, m.line + 1);
  }
  confirmed_.assign(lines, false);
  other_.assign(lines, std::nullopt);
}

MachineVerdict MachineCheck::ConfirmAll(std::size_t index) {
  for (const Machine& m : machines_[index]) {
    if (confirmed_[m.line]) continue;
    confirmed_[m.line] = true;
    if (on_confirmed_) on_confirmed_(m.line);
  }
  return MachineVerdict::kOwn;
}

MachineVerdict MachineCheck::Judge(std::size_t index, bool read_since) {
  const std::optional<os::Route>& route = routes_[index];
  if (!on_ || machines_[index].empty() || (route && route->via != os::Route::Via::kLink))
    return ConfirmAll(index);
  // What the table held before the answer came may be another machine's leftover entry.
  // Where the platform names no route even then (Windows' loopback), no reading will ever
  // tell, and holding the answer would hold the wait to its end, or for ever with "-2".
  if (read_since && !route) return ConfirmAll(index);
  if (!read_since || (!table_read_ && !final_)) {
    awaiting_.push_back(index);
    return MachineVerdict::kLater;
  }
  // A read the platform refused up to the end: the answer confirms as before.
  if (!table_read_) return ConfirmAll(index);
  const std::optional<os::HardwareAddress> seen =
      table_.Find(addresses_[index], route->interface_index);
  const bool other_seen =
      std::any_of(machines_[index].begin(), machines_[index].end(),
                  [this](const Machine& m) { return !confirmed_[m.line] && other_[m.line]; });
  // An answer from the link was just resolved; an entry gone already (a flush, a full
  // table) is asked of the next answer, and only twice in a row or at the end means that
  // the table cannot tell.
  if (!seen && !other_seen && !final_ && !unsure_[index]) {
    unsure_[index] = true;
    return MachineVerdict::kUnsure;
  }
  unsure_[index] = false;
  bool all = true;
  for (const Machine& m : machines_[index]) {
    if (confirmed_[m.line]) continue;
    // Without an entry the table cannot tell, unless another machine was seen there.
    const bool confirms =
        seen ? table_.Holds(addresses_[index], route->interface_index, m.mac) : !other_[m.line];
    if (seen && !confirms) other_[m.line] = seen;
    if (!confirms) {
      all = false;
      continue;
    }
    confirmed_[m.line] = true;
    if (on_confirmed_) on_confirmed_(m.line);
  }
  return all ? MachineVerdict::kOwn : MachineVerdict::kOther;
}

bool MachineCheck::Settle(bool force) {
  if (awaiting_.empty() && !force) return false;
  const std::uint64_t now = clock_();
  if (!force && read_at_ && now < *read_at_ + kReadGap) return false;
  std::vector<std::size_t> unrouted;
  for (std::size_t index : awaiting_) {
    if (!routes_[index]) unrouted.push_back(index);
  }
  std::sort(unrouted.begin(), unrouted.end());
  unrouted.erase(std::unique(unrouted.begin(), unrouted.end()), unrouted.end());
  if (!unrouted.empty()) {
    std::vector<std::uint32_t> addresses;
    for (std::size_t index : unrouted) addresses.push_back(addresses_[index]);
    const std::vector<std::optional<os::Route>> routes = reads_.routes(addresses);
    for (std::size_t i = 0; i < unrouted.size(); ++i) routes_[unrouted[i]] = routes[i];
  }
  // Hosts behind a router need no table.
  const bool on_link = std::any_of(awaiting_.begin(), awaiting_.end(), [this](std::size_t i) {
    return routes_[i] && routes_[i]->via == os::Route::Via::kLink;
  });
  if (on_link) table_read_ = table_.Read(reads_);
  read_at_ = clock_();
  final_ = force;
  awaiting_.clear();
  return true;
}

std::string MachineCheck::Reason(std::size_t line) const {
  return other_[line] ? FillIn(msg::kAnotherMachineReason, {MacText(*other_[line])}) : "";
}

}  // namespace trolvane
