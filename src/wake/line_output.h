// Where the program's result lines and its status line go: standard output and a terminal
// in the program, a capture in tests.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <utility>

namespace trolvane {

class Report;

// Writes one line; false when the write failed.
using LineWriter = std::function<bool(std::string_view)>;

// Rewrites the status line shown while the program waits; the empty text erases it. Left
// unset where there is no terminal to show it on.
using StatusWriter = std::function<void(std::string_view)>;

// Writes one line and raises an error of the general kind when the write failed.
void WriteCheckedLine(const LineWriter& write, std::string_view line);

// A run of the program: one object per run, telling its results through a report (the
// program's own lines on its writer unless another is given) and showing its status line.
// A dry run reads everything and tells what it would do, sending nothing.
class LineJob {
 public:
  explicit LineJob(LineWriter write, StatusWriter status = {});
  virtual ~LineJob();
  LineJob(const LineJob&) = delete;
  LineJob& operator=(const LineJob&) = delete;

  void SetReport(std::shared_ptr<Report> report) { report_ = std::move(report); }
  bool DryRun() const { return dry_run_; }
  void SetDryRun(bool value) { dry_run_ = value; }

 protected:
  Report& Results() const { return *report_; }
  const StatusWriter& Status() const { return status_; }

 private:
  StatusWriter status_;
  std::shared_ptr<Report> report_;
  bool dry_run_ = false;
};

}  // namespace trolvane
