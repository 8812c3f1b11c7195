#include "fleet/learn_room.h"

#include <algorithm>
#include <map>
#include <vector>

#include "fleet/learn_range.h"
#include "net/pacer.h"
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
#include "wake/progress_line.h"

namespace trolvane {
namespace {

// A request to an address still being resolved holds its neighbour entry until the
// address resolves or fails: three seconds on Linux (three probes a second apart). Linux
// keeps at most 1,024 entries by default (gc_thresh3), for the whole machine, all its
// namespaces and everything else that runs on it. A block lasts about 1.5 s, so two or
// three blocks' entries are there at once: 320 a block leaves room for the others. (Blocks
// of 512 were refused entries when other programs held a few hundred.)
constexpr std::uint32_t kBlock = 320;
// A send the system refused goes again a second later, at most this many times.
constexpr int kMostRefusals = 5;
constexpr std::uint64_t kSendGap = 100;          // microseconds between any two sends
constexpr std::uint64_t kSecondRound = 1000000;  // the unresolved are asked again after this
// After a block's last request, the time its answers have to come before the table is
// read: address resolution on a link takes milliseconds.
constexpr std::uint64_t kSettle = 500000;
constexpr std::uint64_t kStatusEvery = 250000;

using Found = std::map<std::uint32_t, os::HardwareAddress>;  // host-order address

// Adds what the neighbour table holds for the range's addresses.
void ReadTable(const LearnRange& range, Found* found) {
  std::vector<os::Neighbour> entries;
  os::ReadNeighbours(&entries);  // a refused read finds nothing
  for (const os::Neighbour& e : entries) {
    const std::uint32_t address = os::NToHl(e.address);
    if (address >= range.First() && address <= range.Last()) (*found)[address] = e.hardware;
  }
}

std::string Padded(int value, int width) {
  std::string text = IntToText(value);
  return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))),
                     '0') +
         text;
}

// "2026-12-07 09:30".
std::string LocalDateTime() {
  const os::LocalTime t = os::LocalNow();
  return Padded(t.year, 4) + "-" + Padded(t.month, 2) + "-" + Padded(t.day, 2) + " " +
         Padded(t.hour, 2) + ":" + Padded(t.minute, 2);
}

}  // namespace

TLearnRoom::TLearnRoom(LineWriter write, StatusWriter status)
    : write_(std::move(write)), status_(std::move(status)) {}

void TLearnRoom::Run() {
  const std::optional<LearnRange> range = ParseLearnRange(RangeText());
  if (!range) throw EArgsException(msg::kBadLearnRange);
  const int total = static_cast<int>(range->Last() - range->First() + 1);
  Found found;
  ProgressLine progress(status_);  // gone, and so erased, before any error line
  TResolveProbe probe;
  SendGap gap(kSendGap);
  int asked = 0;
  std::uint64_t next_status = 0;
  for (std::uint32_t start = range->First(); start <= range->Last(); start += kBlock) {
    const std::uint32_t count = std::min(kBlock, range->Last() - start + 1);
    HostTurns turns(kSecondRound);
    for (std::uint32_t i = 0; i < count; ++i) turns.Add(i);
    std::vector<int> sent(count, 0);
    std::vector<int> refused(count, 0);
    bool read_for_second_round = false;
    while (!turns.Empty()) {
      const std::uint64_t now = os::MicroTicks();
      if (now >= next_status) {
        progress.ShowLearning(asked, total);
        next_status = now + kStatusEvery;
      }
      const std::uint64_t due = std::max({turns.NextTurn(), gap.NextSlot(), now});
      if (now < due) {
        probe.WaitUntil(std::min(due, next_status));
        continue;
      }
      const std::size_t i = *turns.Take(now);
      const std::uint32_t address = start + static_cast<std::uint32_t>(i);
      if (sent[i] > 0) {
        if (!read_for_second_round) ReadTable(*range, &found);
        read_for_second_round = true;
        if (found.count(address) != 0) continue;
      }
      if (sent[i] == 0 && refused[i] == 0) ++asked;
      if (probe.Send(os::HToNl(address))) {
        ++sent[i];
      } else {
        ++refused[i];
      }
      gap.Used(now);
      if (sent[i] < 2 && refused[i] <= kMostRefusals) turns.Again(i, now);
    }
    probe.WaitUntil(os::MicroTicks() + kSettle);
    ReadTable(*range, &found);
  }
  progress.Erase();

  const std::string comment = FillIn(
      msg::kLearnComment, {LearnRangeText(*range),
                           IntToText(static_cast<std::int32_t>(found.size())), LocalDateTime()});
  if (found.empty()) throw EBootFaultException(comment);
  WriteCheckedLine(write_, comment);
  const std::string bits = IntToText(range->bits);
  for (const auto& [address, mac] : found) {
    WriteCheckedLine(write_, MacText(mac) + " " + DottedQuad(os::HToNl(address)) + " " + bits);
  }
}

}  // namespace trolvane
