#include "fleet/learn_room.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "fleet/learn_range.h"
#include "net/resolve_probe.h"
#include "platform/neighbours.h"
#include "platform/process.h"
#include "platform/winsock.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/magic_packet.h"
#include "wake/pacer.h"
#include "wake/progress_line.h"

namespace trolvane {
namespace {

// A request to an address still being resolved holds its neighbour entry until the
// address resolves or fails, and an address that answered keeps it for the system's
// reachable time; the table is bounded for the whole machine (Linux: gc_thresh3). The
// addresses are asked in blocks, each read before the next, and each new address waits
// for a place (TablePlaces); a block is a third of the places, so that the entries of the
// block before, still resolving or failing, leave room for the next. Where the system
// sets no bound, blocks keep this size.
constexpr std::uint32_t kUnboundedBlock = 320;
constexpr std::uint32_t kLeastBlock = 16;
// A new address that finds no place looks again after this.
constexpr std::uint64_t kPlaceWait = 10000;
// A leftover entry that a request touched is asked again after 5 s, then three times a
// second apart (Linux): by then the machine answered, or the entry failed.
constexpr std::uint64_t kRecheckWait = 9000000;
// A send the system refused goes again a second later, at most this many times; the
// unresolved are asked again a second after their first request.
constexpr int kMostRefusals = 5;
// After a block's last request, the time its answers have to come before the table is
// read: address resolution on a link takes milliseconds.
constexpr std::uint64_t kSettle = 500000;
constexpr std::uint64_t kStatusEvery = 250000;

using Found = std::map<std::uint32_t, os::HardwareAddress>;  // host-order address

// What the neighbour table says of the range. Only machines that answered address
// resolution lately are found: a leftover entry of a machine that is gone would be listed
// otherwise. A leftover that a request touched is being re-checked, and is waited for.
struct Table {
  Found found;
  std::set<std::uint32_t> rechecking;

  void Read(const LearnRange& range) {
    std::vector<os::Neighbour> entries;
    os::ReadNeighbours(&entries);  // a refused read finds nothing
    rechecking.clear();
    for (const os::Neighbour& e : entries) {
      const std::uint32_t address = os::NToHl(e.address);
      if (address < range.First() || address > range.Last()) continue;
      if (e.reachable) found[address] = e.hardware;
      if (e.rechecking && found.count(address) == 0) rechecking.insert(address);
    }
  }
};

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

}  // namespace

void TLearnRoom::Run() {
  const std::optional<LearnRange> range = ParseLearnRange(RangeText());
  // A range beyond the attached links would be asked through a router, or not at all.
  if (!range || !OnOneAttachedLink(*range, os::RoutesTo(RangeCorners(*range)))) {
    throw EArgsException(msg::kBadLearnRange);
  }
  const int total = static_cast<int>(range->Last() - range->First() + 1);
  Table table;
  ProgressLine progress(Status());  // gone, and so erased, before any error line
  TResolveProbe probe;
  Pacer pacer(kRequestGapUs, kRequestIntervalUs, os::MicroTicks,
              [&](std::uint64_t us) { probe.WaitUntil(os::MicroTicks() + us); },
              {os::NeighbourTableLimit(), os::NeighboursHeld});
  const std::uint32_t block =
      pacer.Places() > 0 ? std::max(pacer.Places() / 3, kLeastBlock) : kUnboundedBlock;
  int asked = 0;
  std::uint64_t next_status = 0, next_wait_read = 0;
  for (std::uint32_t start = range->First(); start <= range->Last(); start += block) {
    const std::uint32_t count = std::min(block, range->Last() - start + 1);
    for (std::uint32_t i = 0; i < count; ++i) pacer.Add(i);
    std::vector<int> sent(count, 0), refused(count, 0);
    bool read_for_second_round = false;
    while (!pacer.Idle()) {
      const std::uint64_t now = pacer.Now();
      if (now >= next_status) {
        progress.ShowLearning(asked, total);
        next_status = now + kStatusEvery;
      }
      const std::optional<std::size_t> due = pacer.Take(now);
      if (!due) {
        pacer.PauseUntil(std::min(pacer.NextTurn(), next_status));
        continue;
      }
      const std::size_t i = *due;
      const std::uint32_t address = start + static_cast<std::uint32_t>(i);
      if (sent[i] > 0) {
        if (!read_for_second_round) table.Read(*range);
        read_for_second_round = true;
        if (table.found.count(address) != 0) continue;
      }
      if (sent[i] == 0 && refused[i] == 0) {
        if (!pacer.TakePlace(now)) {
          // What answers meanwhile is read before it may go stale in a long wait.
          if (now >= next_wait_read) {
            table.Read(*range);
            next_wait_read = now + kSettle;
          }
          pacer.Retry(i);
          pacer.PauseUntil(now + kPlaceWait);
          continue;
        }
        ++asked;
      }
      ++(probe.Send(os::HToNl(address)) ? sent : refused)[i];
      pacer.Sent();
      if (sent[i] < 2 && refused[i] <= kMostRefusals) pacer.Again(i, now);
    }
    pacer.Pause(kSettle);
    table.Read(*range);
  }
  for (const std::uint64_t end = pacer.Now() + kRecheckWait;
       !table.rechecking.empty() && pacer.Now() < end;) {
    pacer.Pause(kSettle);
    table.Read(*range);
  }
  progress.Erase();
  const Found& found = table.found;

  const std::string comment = FillIn(
      msg::kLearnComment, {LearnRangeText(*range),
                           IntToText(static_cast<std::int32_t>(found.size())), LocalDateTime()});
  if (found.empty()) throw EBootFaultException(comment);
  WriteCheckedLine(Writer(), comment);
  const std::string bits = IntToText(range->bits);
  for (const auto& [address, mac] : found) {
    WriteCheckedLine(Writer(), MacText(mac) + " " + DottedQuad(os::HToNl(address)) + " " + bits);
  }
}

}  // namespace trolvane
