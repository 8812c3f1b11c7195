// Where the program's result lines and its status line go: standard output and a terminal
// in the program, a capture in tests.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

namespace trolvane {

// Writes one line; false when the write failed.
using LineWriter = std::function<bool(std::string_view)>;

// Rewrites the status line shown while the program waits; the empty text erases it. Left
// unset where there is no terminal to show it on.
using StatusWriter = std::function<void(std::string_view)>;

// Writes one line and raises an error of the general kind when the write failed.
void WriteCheckedLine(const LineWriter& write, std::string_view line);

// A run of the program: one object per run, writing its result lines and its status line.
class LineJob {
 public:
  explicit LineJob(LineWriter write, StatusWriter status = {})
      : write_(std::move(write)), status_(std::move(status)) {}
  virtual ~LineJob() = default;
  LineJob(const LineJob&) = delete;
  LineJob& operator=(const LineJob&) = delete;

 protected:
  const LineWriter& Writer() const { return write_; }
  const StatusWriter& Status() const { return status_; }

 private:
  LineWriter write_;
  StatusWriter status_;
};

}  // namespace trolvane
