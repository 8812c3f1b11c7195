// Where a run tells what happened to each machine: the program's own lines for people, or
// JSON lines for scripts ("/o:json"); and, for a dry run ("/n"), what it would do. Every
// result of a run goes through a report; nothing else formats one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/neighbours.h"
#include "wake/line_output.h"
#include "wake/roster.h"

namespace trolvane {

// How each line would be confirmed: an echo request, and a connection attempt per port.
struct ConfirmPlan {
  std::vector<std::uint16_t> ports;
};

// A room learned ("/l"): its machines in address order and what the sweep did.
struct LearnedMachine {
  std::uint32_t address = 0;  // network order
  os::HardwareAddress mac{};
  int bits = 0;
};
struct LearnedRoom {
  std::string range;  // "192.168.12.0/24"
  std::string when;   // local date and time, "2026-12-07 09:30"
  std::vector<LearnedMachine> machines{};
  int asked = 0;    // addresses asked
  int unasked = 0;  // addresses of the link that could not be asked
};

class Report {
 public:
  virtual ~Report() = default;

  // A line's outcome is known: a confirmation as it comes, the others when the wait ended.
  virtual void Line(const Roster& roster, std::size_t line) = 0;
  // The run's last word, every line told; status 0 or 5.
  virtual void Summary(const Roster& roster, int status) = 0;
  // A dry run: where each line's packets would go and how it would be confirmed.
  virtual void Plan(const Roster& roster, const ConfirmPlan& confirm) = 0;
  // A dry run of "/l": the addresses it would ask and how.
  virtual void PlanSweep(std::string_view range, int addresses, bool by_reply) = 0;
  // A room learned.
  virtual void Learned(const LearnedRoom& room) = 0;
  // The error that ends the run, with its status and line; nothing when the run has told
  // its end already (a summary says the status).
  void Failed(int status, std::string_view line) {
    if (!told_) Fail(status, line);
  }

  // When the run began, on the clock of os::MicroTicks: the origin of every time told.
  const std::uint64_t begun_us;

 protected:
  Report();
  virtual void Fail(int status, std::string_view line) = 0;
  std::uint64_t SinceBegun() const;
  bool told_ = false;
};

// The program's own lines on write; "/l"'s error lines on errors when it is set.
std::unique_ptr<Report> MakeTextReport(LineWriter write, LineWriter errors = {});
// JSON lines on write, UTF-8 on every platform.
std::unique_ptr<Report> MakeJsonReport(LineWriter write);

// A line's outcome as a person reads it: "ホスト(HOST)の起動を確認しました。", or why not.
std::string LineText(const Roster& roster, std::size_t line);
// "N台中M台の起動を確認しました。"
std::string SummaryText(const Roster& roster);
// Where a line's packets would go and how it would be confirmed, in one ASCII line:
// "HOST ADDRESS PATH -> TO (AS)[, TO (AS)] confirm: echo[, tcp 3389]".
std::string PlanText(const Roster& roster, std::size_t line, const ConfirmPlan& confirm);

// The names scripts read, in the plan's lines and the JSON lines alike.
std::string_view PathName(PathKind kind);          // "link", "plain_link", "routed", "unknown"
std::string_view AsName(WakeSent::As as);          // "unicast", "link_broadcast", ...
std::string_view CauseName(Failure::Cause cause);  // "name_not_resolved", ...
std::string_view SweepName(bool by_reply);         // how "/l" asks: "arp" or "probe"
// Where a line's packets go, in order: the unicast, then the broadcast.
std::vector<WakeSent> PlannedSends(const Roster& roster, std::size_t line);

}  // namespace trolvane
