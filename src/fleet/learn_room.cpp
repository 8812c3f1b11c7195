#include "fleet/learn_room.h"

#include <algorithm>
#include <vector>

#include "fleet/learn_range.h"
#include "net/net_exceptions.h"
#include "net/resolve_probe.h"
#include "platform/arp_socket.h"
#include "platform/neighbours.h"
#include "platform/process.h"
#include "platform/winsock.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/errors.h"
#include "wake/progress_line.h"
#include "wake/report.h"
#include "wake/roster.h"
#include "wake/wait.h"

namespace trolvane {
namespace {

// The sweep's way to the link: its own ARP requests where the platform allows them (the
// replies name the machines exactly, and the neighbour table is left alone), else a
// request that makes the system resolve each address, and the system's table.
class SweepWire : public Wire {
 public:
  SweepWire(std::uint32_t interface_index, std::uint32_t near)
      : by_reply_(arp_.Open(interface_index, near)) {}
  bool ByReply() const { return by_reply_; }

  std::uint64_t Clock() override { return os::MicroTicks(); }
  void Pause(std::uint64_t us) override { os::PauseMicroseconds(us); }
  Sent Datagram(std::uint32_t, std::uint16_t, const os::HardwareAddress&) override {
    return Sent::kFailed;
  }
  Sent Echo(std::uint32_t, std::uint16_t) override { return Sent::kFailed; }
  Sent Attempt(std::uint32_t, std::uint16_t) override { return Sent::kFailed; }
  Sent Probe(std::uint32_t address) override {
    if (!by_reply_) return probe_.Send(address) ? Sent::kSent : Sent::kBusy;
    switch (arp_.Ask(address)) {
      case os::ArpSocket::Sent::kSent:
        return Sent::kSent;
      case os::ArpSocket::Sent::kBusy:
        return Sent::kBusy;
      default:
        return Sent::kFailed;
    }
  }
  std::optional<Heard> Receive(std::int32_t timeout_ms) override;
  bool ReadTable(std::vector<os::Neighbour>* entries) override {
    return os::ReadNeighbours(entries);
  }
  // ARP requests of our own take no entry in the system's table.
  std::optional<std::uint32_t> TableLimit() override {
    return by_reply_ ? std::nullopt : os::NeighbourTableLimit();
  }
  std::optional<std::uint32_t> TableHeld() override { return os::NeighboursHeld(); }

 private:
  os::ArpSocket arp_;
  bool by_reply_;
  TResolveProbe probe_;
  std::vector<os::Neighbour> replies_;
  std::size_t next_reply_ = 0;
};

std::optional<Heard> SweepWire::Receive(std::int32_t timeout_ms) {
  if (!by_reply_) {
    // An echo reply or a closed port alike: the machine answered this sweep's probe.
    const std::optional<std::uint32_t> answered = probe_.Receive(timeout_ms);
    if (!answered) return std::nullopt;
    return Heard{.kind = Heard::Kind::kEchoReply, .address = *answered};
  }
  if (next_reply_ == replies_.size()) {
    replies_.clear();
    next_reply_ = 0;
    if (!arp_.Receive(timeout_ms, &replies_)) throw ENetException("ARP receive failed");
  }
  if (next_reply_ == replies_.size()) return std::nullopt;
  const os::Neighbour& reply = replies_[next_reply_++];
  return Heard{.kind = Heard::Kind::kArpReply, .address = reply.address, .mac = reply.hardware};
}

std::string Padded(int value, std::size_t width) {
  const std::string text = IntToText(value);
  return std::string(width - std::min(width, text.size()), '0') + text;
}

// "2026-12-07 09:30".
std::string LocalDateTime() {
  const os::LocalTime t = os::LocalNow();
  return Padded(t.year, 4) + "-" + Padded(t.month, 2) + "-" + Padded(t.day, 2) + " " +
         Padded(t.hour, 2) + ":" + Padded(t.minute, 2);
}

// The addresses a sweep asks: those on the range's link. The others (this machine's own,
// a sub-range routed through a gateway) are left alone, so that nothing leaves the link.
bool Asks(const RangeLink& link, const Machine& m) {
  return m.path.kind == PathKind::kLink && m.path.interface_index == link.interface_index;
}

// Every address of the range, each with its path read once, and the link they lie on.
Roster RangeRoster(const LearnRange& range, RangeLink* link) {
  std::vector<std::uint32_t> addresses;
  for (std::uint32_t a = range.First(); a <= range.Last(); ++a) addresses.push_back(os::HToNl(a));
  Roster roster(addresses);
  *link = RangeLinkOf(range, roster.machines);
  // A range beyond the attached links would be asked through a router, or not at all.
  if (link->verdict == RangeLink::Verdict::kNotOnOneLink) throw EArgsException(msg::kBadLearnRange);
  if (link->verdict == RangeLink::Verdict::kUnrouted) {
    throw EBootFaultException(
        FillIn(msg::kLearnUnrouted,
               {LearnRangeText(range), IntToText(static_cast<std::int32_t>(link->unrouted))}));
  }
  for (Machine& m : roster.machines) m.done = !Asks(*link, m);
  return roster;
}

int AddressesAsked(const Roster& roster) {
  return static_cast<int>(std::count_if(roster.machines.begin(), roster.machines.end(),
                                        [](const Machine& m) { return !m.done; }));
}

void Sweep(Roster& roster, SweepWire& wire, const StatusWriter& status) {
  const int total = AddressesAsked(roster);
  ProgressLine progress(status);  // gone, and so erased, before any error line
  WaitRules rules;
  rules.sweep = wire.ByReply() ? WaitRules::Sweep::kByReply : WaitRules::Sweep::kByTable;
  WaitOutput output;
  output.waiting = [&](std::uint64_t) {
    const auto asked = std::count_if(roster.machines.begin(), roster.machines.end(),
                                     [](const Machine& m) { return m.turns > 0; });
    progress.ShowLearning(static_cast<int>(asked), total);
  };
  RunWait(roster, wire, rules, output);
  progress.Erase();
}

}  // namespace

void TLearnRoom::Run() {
  const std::optional<LearnRange> range = ParseLearnRange(RangeText());
  if (!range) throw EArgsException(msg::kBadLearnRange);
  RangeLink link;
  Roster roster = RangeRoster(*range, &link);
  SweepWire wire(link.interface_index, os::HToNl(range->First()));
  if (DryRun())
    return Results().PlanSweep(LearnRangeText(*range), AddressesAsked(roster), wire.ByReply());
  roster.begun_us = Results().begun_us;
  Sweep(roster, wire, Status());

  LearnedRoom room{LearnRangeText(*range), LocalDateTime()};
  for (const Machine& m : roster.machines) {
    // The link's own prefix, so that the list's directed broadcast is the link's.
    if (m.heard) room.machines.push_back({m.address, *m.heard, link.bits});
    if (!Asks(link, m)) continue;
    // A request the link kept refusing: the list may lack that address's machine.
    if (m.asked > 0) {
      ++room.asked;
    } else if (!m.heard) {
      ++room.unasked;
    }
  }
  Results().Learned(room);
  if (room.unasked > 0) {
    throw EBootFaultException(FillIn(msg::kLearnUnasked, {room.range, IntToText(room.unasked)}));
  }
  if (room.machines.empty()) throw EBootFaultException(msg::kLearnComment);
}

}  // namespace trolvane
