// The MAC check of a wait's answers, for one host and for a list alike: an answer from an
// address on an attached link confirms only the machines woken there whose MAC the
// neighbour table gives that address, by a reading taken after the answer came. Each list
// line is its own machine, so two lines at one address are judged each by its own MAC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "wake/confirm_schedule.h"
#include "wake/link_view.h"

namespace trolvane {

class MachineCheck {
 public:
  // Two readings of the table are never closer than this (microseconds): thousands of
  // answers are judged by a handful of readings.
  static constexpr std::uint64_t kReadGap = 20000;

  // A machine woken at a host's address: its line (the host itself for one host) and MAC.
  struct Machine {
    std::size_t line;
    os::HardwareAddress mac;
  };

  // addresses: each host's address (network order) by its index in the wait; machines:
  // those woken there (none: any answer confirms). A check that is off lets every answer
  // confirm. confirmed is told of each line as it is confirmed.
  MachineCheck(bool on, std::vector<std::uint32_t> addresses,
               std::vector<std::vector<Machine>> machines,
               std::function<void(std::size_t line)> confirmed = {},
               LinkReads reads = PlatformLinkReads(),
               std::function<std::uint64_t()> clock = os::MicroTicks);

  // Routes already read, by index (none: read when an answer comes).
  void KnowRoutes(std::vector<std::optional<os::Route>> routes) { routes_ = std::move(routes); }

  // The engine's own_machine and settle seams.
  MachineVerdict Judge(std::size_t index, bool read_since);
  bool Settle(bool force);

  bool Confirmed(std::size_t line) const { return confirmed_[line]; }
  // "(別の機器(00-1A-2B-3C-4D-5E)が応答)" for a line that another machine answered for;
  // empty for any other.
  std::string Reason(std::size_t line) const;

 private:
  MachineVerdict ConfirmAll(std::size_t index);

  bool on_;
  std::vector<std::uint32_t> addresses_;
  std::vector<std::vector<Machine>> machines_;
  std::function<void(std::size_t)> on_confirmed_;
  LinkReads reads_;
  std::function<std::uint64_t()> clock_;
  std::vector<std::optional<os::Route>> routes_;  // a read that failed is asked again
  std::vector<bool> unsure_;                      // by index: the last reading had no entry
  std::vector<std::size_t> awaiting_;             // indices whose answers wait for a reading
  std::vector<bool> confirmed_;                   // by line
  std::vector<std::optional<os::HardwareAddress>> other_;  // by line
  NeighbourSnapshot table_;
  bool table_read_ = false;
  bool final_ = false;  // the wait has ended: what cannot be judged now confirms
  std::optional<std::uint64_t> read_at_;
};

}  // namespace trolvane
