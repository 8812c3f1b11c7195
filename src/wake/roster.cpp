#include "wake/roster.h"

#include <algorithm>

#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"

namespace trolvane {
namespace {

// A line given no mask bits, for a machine on an attached link whose neighbour entry does
// not hold the woken MAC (none, still resolving, failed, or another machine's), is woken
// by its link's broadcast: a PC that is off answers no address resolution, so the unicast
// would never leave. Given mask bits decide alone.
bool NeedsLinkBroadcast(const RosterLine& line, const Machine& machine) {
  return line.mask_bits == kNoMaskBits && line.mac && machine.path.link_broadcast;
}

}  // namespace

Roster::Roster(std::vector<RosterLine> given, const LinkReads& reads) : lines(std::move(given)) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].to.host) continue;
    lines[i].machine = Add(*lines[i].to.host);
    machines[lines[i].machine].lines.push_back(i);
  }
  ReadPaths(reads);
  NeighbourSnapshot table;
  bool table_read = false;  // a table that cannot be read cannot say the unicast gets through
  for (RosterLine& line : lines) {
    line.broadcast = line.to.broadcast;
    if (line.machine == kNoMachine || !NeedsLinkBroadcast(line, machines[line.machine])) continue;
    const Machine& machine = machines[line.machine];
    if (!table_read) table.Read(reads.table);
    table_read = true;
    if (table.Holds(machine.address, machine.path.interface_index, *line.mac)) continue;
    line.broadcast = machine.path.link_broadcast;
    line.link_broadcast = true;
    line.unicast = false;
  }
}

Roster::Roster(const std::vector<std::uint32_t>& addresses, const LinkReads& reads) {
  for (std::uint32_t address : addresses) Add(address);
  ReadPaths(reads);
}

std::size_t Roster::Add(std::uint32_t address) {
  auto [it, added] = index_.emplace(address, machines.size());
  if (added) machines.emplace_back().address = address;
  return it->second;
}

void Roster::ReadPaths(const LinkReads& reads) {
  std::vector<std::uint32_t> addresses;
  addresses.reserve(machines.size());
  for (const Machine& m : machines) addresses.push_back(m.address);
  const std::vector<std::optional<os::Route>> routes = reads.routes(addresses);
  for (std::size_t i = 0; i < machines.size(); ++i) {
    machines[i].path =
        ClassifyPath(machines[i].address, i < routes.size() ? routes[i] : std::nullopt);
  }
}

Machine* Roster::Find(std::uint32_t address) {
  auto it = index_.find(address);
  return it == index_.end() ? nullptr : &machines[it->second];
}

std::size_t Roster::Confirmed() const {
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [](const RosterLine& l) { return l.outcome.Confirmed(); }));
}

std::string NotConfirmedReason(const Roster& roster, std::size_t index) {
  const Outcome& outcome = roster.lines[index].outcome;
  switch (outcome.kind) {
    case Outcome::Kind::kConfirmed:
      return {};
    case Outcome::Kind::kOtherMachine:
      return FillIn(msg::kAnotherMachineReason, {MacText(*outcome.mac)});
    case Outcome::Kind::kTimeout:
      return msg::kPingTimeoutReason;
    default:
      return msg::kPingErrorReason;
  }
}

std::string ConfirmedLine(std::string_view host) {
  return std::string(msg::kBootConfirmedBefore) + std::string(host) + msg::kBootConfirmedAfter;
}

}  // namespace trolvane
