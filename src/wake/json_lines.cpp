// JSON lines for scripts ("/o:json"): one object a line of the run, in the order of the
// text lines, then a summary; a learned room's machines; a plan; or the error that ended
// the run. Escaping, UTF-8 and numbers are the library's.
#include <nlohmann/json.hpp>

#include "net/socket_error_texts.h"
#include "platform/text.h"
#include "text/dotted_quad.h"
#include "text/int_convert.h"
#include "text/mac_text.h"
#include "wake/report.h"

namespace trolvane {
namespace {

using Json = nlohmann::ordered_json;

Json Text(std::string_view native) { return os::NativeTextToUtf8(native); }

Json MacOrNull(const std::optional<os::HardwareAddress>& mac) {
  return mac ? Json(MacText(*mac)) : Json(nullptr);
}

std::string_view KindName(Outcome::Kind kind) {
  switch (kind) {
    case Outcome::Kind::kConfirmed:
      return "confirmed";
    case Outcome::Kind::kOtherMachine:
      return "other_machine";
    case Outcome::Kind::kTimeout:
      return "timeout";
    default:
      return "error";
  }
}

std::string ProofName(const Outcome& outcome) {
  switch (outcome.by) {
    case Outcome::Proof::kTcpAccept:
      return "tcp_accept:" + IntToText(outcome.port);
    case Outcome::Proof::kTcpRefuse:
      return "tcp_refuse:" + IntToText(outcome.port);
    default:
      return "echo";
  }
}

// The resolver's errors, as Windows tells them.
std::string NameErrorText(int code) {
  switch (code) {
    case 11002:
      return "Temporary failure in name resolution.";
    case 11003:
      return "Non-recoverable name server error.";
    case 11004:
      return "The name is valid, but has no address.";
    default:
      return "Host not found.";
  }
}

// The system's text and code, the ICMP message and who sent it, or why the host rules
// refused the line.
Json Detail(const RosterLine& line) {
  const Failure& failure = line.outcome.failure;
  switch (failure.cause) {
    case Failure::Cause::kIcmpError:
      return {{"type", failure.icmp.type},
              {"code", failure.icmp.code},
              {"from", DottedQuad(failure.icmp.from)}};
    case Failure::Cause::kRefusedHost:
      return Text(line.refusal);
    case Failure::Cause::kNameNotResolved:
      return NameErrorText(failure.code) + " (" + IntToText(failure.code) + ")";
    default: {
      const std::string_view text = SocketErrorText(failure.code);
      return std::string(text.empty() ? "Error" : text) + " (" + IntToText(failure.code) + ")";
    }
  }
}

// What a line is and where its packets went, or, in a plan, would go.
Json LineObject(const Roster& roster, std::size_t index, const std::vector<WakeSent>& sent,
                bool planned) {
  const RosterLine& line = roster.lines[index];
  const Machine* machine = line.machine == kNoMachine ? nullptr : &roster.machines[line.machine];
  Json sends = Json::array();
  for (const WakeSent& s : sent) {
    Json one = {{"to", DottedQuad(s.to)}, {"as", AsName(s.as)}};
    if (!planned) one["ms"] = s.at_us / 1000;
    sends.push_back(std::move(one));
  }
  return {{"host", Text(line.host)},
          {"line", line.number > 0 ? Json(line.number) : Json(nullptr)},
          {"address", line.to.host ? Json(DottedQuad(*line.to.host)) : Json(nullptr)},
          {"mac", MacOrNull(line.mac)},
          {"path", machine ? Json(PathName(machine->path.kind)) : Json(nullptr)},
          {"sent", std::move(sends)}};
}

void AddOutcome(const RosterLine& line, Json& o) {
  const Outcome& outcome = line.outcome;
  o["outcome"] = KindName(outcome.kind);
  if (outcome.Confirmed()) o["by"] = ProofName(outcome);
  if (outcome.mac) o["answer_mac"] = MacText(*outcome.mac);
  if (outcome.Confirmed()) {
    o["ms"] = line.sent.empty() || outcome.at_us < line.sent.front().at_us
                  ? Json(nullptr)
                  : Json((outcome.at_us - line.sent.front().at_us) / 1000);
  }
  if (outcome.kind == Outcome::Kind::kError) {
    o["cause"] = CauseName(outcome.failure.cause);
    o["detail"] = Detail(line);
  }
}

class JsonReport : public Report {
 public:
  explicit JsonReport(LineWriter write) : write_(std::move(write)) {}

  void Line(const Roster& roster, std::size_t index) override {
    const RosterLine& line = roster.lines[index];
    Json o = LineObject(roster, index, line.sent, false);
    o["asked"] = line.machine == kNoMachine ? 0 : roster.machines[line.machine].asked;
    AddOutcome(line, o);
    o["text"] = Text(LineText(roster, index));
    Write(o);
  }

  void Summary(const Roster& roster, int status) override {
    told_ = true;
    const Json o = {{"summary",
                     {{"hosts", roster.lines.size()},
                      {"confirmed", roster.Confirmed()},
                      {"status", status},
                      {"ms", SinceBegun() / 1000}}}};
    Write(o, status == 0);  // with status 5 the status stands even unwritten
  }

  void Plan(const Roster& roster, const ConfirmPlan& confirm) override {
    for (std::size_t index = 0; index < roster.lines.size(); ++index) {
      Json o = LineObject(roster, index, PlannedSends(roster, index), true);
      Json how = Json::array();
      if (roster.lines[index].machine != kNoMachine) {
        how.push_back("echo");
        for (std::uint16_t port : confirm.ports) how.push_back("tcp:" + IntToText(port));
      } else {
        o["cause"] = CauseName(roster.lines[index].outcome.failure.cause);
      }
      o["confirm"] = std::move(how);
      Write(o);
    }
    told_ = true;
    Write({{"summary",
            {{"hosts", roster.lines.size()},
             {"dry_run", true},
             {"status", 0},
             {"ms", SinceBegun() / 1000}}}});
  }

  void PlanSweep(std::string_view range, int addresses, bool by_reply) override {
    told_ = true;
    Write({{"summary",
            {{"range", range},
             {"addresses", addresses},
             {"by", SweepName(by_reply)},
             {"dry_run", true},
             {"ms", SinceBegun() / 1000}}}});
  }

  void Learned(const LearnedRoom& room) override {
    for (const LearnedMachine& m : room.machines) {
      Write({{"address", DottedQuad(m.address)}, {"mac", MacText(m.mac)}, {"bits", m.bits}});
    }
    told_ = true;
    Json summary = {{"range", room.range},
                    {"asked", room.asked},
                    {"found", room.machines.size()},
                    {"ms", SinceBegun() / 1000}};
    if (room.unasked > 0) summary["unasked"] = room.unasked;
    Write({{"summary", std::move(summary)}},
          room.machines.empty() || room.unasked > 0 ? false : true);
  }

 protected:
  void Fail(int status, std::string_view line) override {
    Write({{"error", {{"status", status}, {"text", Text(line)}}}}, false);
  }

 private:
  // A text no platform can read as UTF-8 (a list's stray bytes) gets replacement
  // characters, never a line a script cannot parse.
  void Write(const Json& o, bool checked = true) {
    const std::string line = o.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (checked) {
      WriteCheckedLine(write_, line);
    } else {
      write_(line);
    }
  }

  LineWriter write_;
};

}  // namespace

std::unique_ptr<Report> MakeJsonReport(LineWriter write) {
  return std::make_unique<JsonReport>(std::move(write));
}

}  // namespace trolvane
