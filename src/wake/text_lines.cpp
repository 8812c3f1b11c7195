// The program's own lines: a confirmation as it comes, why a host was not confirmed, the
// list's summary, a learned room as a host list; and the report that writes them.
#include "platform/process.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/mac_text.h"
#include "text/messages.h"
#include "text/string_list.h"
#include "wake/report.h"

namespace trolvane {
namespace {

// A single host is a roster of one line that no list numbered.
bool SingleHost(const Roster& roster) {
  return roster.lines.size() == 1 && roster.lines[0].number == 0;
}

std::string NotConfirmedReason(const Outcome& outcome) {
  switch (outcome.kind) {
    case Outcome::Kind::kOtherMachine:
      return FillIn(msg::kAnotherMachineReason, {MacText(*outcome.mac)});
    case Outcome::Kind::kTimeout:
      return msg::kPingTimeoutReason;
    default:
      return msg::kPingErrorReason;
  }
}

class TextReport : public Report {
 public:
  TextReport(LineWriter write, LineWriter errors)
      : write_(std::move(write)), errors_(std::move(errors)) {}

  void Line(const Roster& roster, std::size_t line) override {
    // A single host's failure is the run's last word: its status stands if the line
    // cannot be written.
    if (SingleHost(roster) && !roster.lines[line].outcome.Confirmed()) {
      told_ = true;
      write_(LineText(roster, line));
      return;
    }
    WriteCheckedLine(write_, LineText(roster, line));
  }

  void Summary(const Roster& roster, int status) override {
    told_ = true;
    if (SingleHost(roster)) return;
    if (status == 0) {
      WriteCheckedLine(write_, SummaryText(roster));
    } else {
      write_(SummaryText(roster));
    }
  }

  void Plan(const Roster& roster, const ConfirmPlan& confirm) override {
    for (std::size_t line = 0; line < roster.lines.size(); ++line) {
      WriteCheckedLine(write_, PlanText(roster, line, confirm));
    }
    told_ = true;
  }

  void PlanSweep(std::string_view range, int addresses, bool by_reply) override {
    WriteCheckedLine(write_, std::string(range) + " link -> " + IntToText(addresses) +
                                 " addresses (" + std::string(SweepName(by_reply)) + ")");
    told_ = true;
  }

  // The list on standard output, and nothing else: a room where nobody answered says so,
  // and a sweep that could not ask every address how many, as the run's error line (whose
  // status stands even unwritten).
  void Learned(const LearnedRoom& room) override {
    const std::string comment =
        FillIn(msg::kLearnComment,
               {room.range, IntToText(static_cast<std::int32_t>(room.machines.size())), room.when});
    told_ = true;
    if (room.machines.empty() && room.unasked == 0) return Fail(5, comment);
    WriteCheckedLine(write_, comment);
    for (const LearnedMachine& m : room.machines) {
      WriteCheckedLine(write_,
                       MacText(m.mac) + " " + DottedQuad(m.address) + " " + IntToText(m.bits));
    }
    if (room.unasked > 0)
      Fail(5, FillIn(msg::kLearnUnasked, {room.range, IntToText(room.unasked)}));
  }

 protected:
  void Fail(int, std::string_view line) override { (errors_ ? errors_ : write_)(line); }

 private:
  LineWriter write_, errors_;
};

}  // namespace

Report::Report() : begun_us(os::MicroTicks()) {}

std::uint64_t Report::SinceBegun() const { return os::MicroTicks() - begun_us; }

std::unique_ptr<Report> MakeTextReport(LineWriter write, LineWriter errors) {
  return std::make_unique<TextReport>(std::move(write), std::move(errors));
}

std::string LineText(const Roster& roster, std::size_t index) {
  const RosterLine& line = roster.lines[index];
  if (line.outcome.Confirmed()) {
    return std::string(msg::kBootConfirmedBefore) + line.host + msg::kBootConfirmedAfter;
  }
  const std::string reason = NotConfirmedReason(line.outcome);
  if (SingleHost(roster)) return msg::kBootNotConfirmed + reason;
  return FillIn(msg::kHostNotConfirmed, {line.host}) + reason;
}

std::string SummaryText(const Roster& roster) {
  return FillIn(msg::kListSummary, {IntToText(static_cast<std::int32_t>(roster.lines.size())),
                                    IntToText(static_cast<std::int32_t>(roster.Confirmed()))});
}

}  // namespace trolvane
