// The status line while the program waits for hosts to answer, e.g. "起動確認中 12/40台
// 残り45秒", or learns a room; erased before a result line and when the wait ends.
#pragma once

#include <cstdint>
#include <string>

#include "wake/line_output.h"

namespace trolvane {

class ProgressLine {
 public:
  explicit ProgressLine(StatusWriter writer) : writer_(std::move(writer)) {}
  ~ProgressLine() { Erase(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // The seconds left of a time-out of budget ms after elapsed ms, or (budget below 0, no
  // limit) the seconds so far; "confirmed/total台" in front when total is 0 or more.
  void Show(std::uint64_t elapsed, std::int64_t budget, int confirmed = 0, int total = -1);
  // "学習中 asked/total台" while a room is learned.
  void ShowLearning(int asked, int total);
  void Erase();

  static std::string Text(std::uint64_t elapsed, std::int64_t budget, int confirmed, int total);

 private:
  StatusWriter writer_;
  bool shown_ = false;
};

}  // namespace trolvane
