#include "wake/progress_line.h"

#include "text/int_convert.h"
#include "text/messages.h"
#include "text/string_list.h"

namespace trolvane {

std::string ProgressLine::Text(std::uint64_t elapsed, std::int64_t budget, int confirmed,
                               int total) {
  std::string text = msg::kProgressChecking;
  if (total >= 0) {
    text += ' ';
    text += FillIn(msg::kProgressHosts, {IntToText(confirmed), IntToText(total)});
  }
  text += ' ';
  if (budget < 0) {
    text += FillIn(msg::kProgressElapsed, {IntToText(static_cast<std::int32_t>(elapsed / 1000))});
  } else {
    // Rounded up: "0 seconds left" only once nothing is.
    const auto left = static_cast<std::uint64_t>(budget) > elapsed
                          ? static_cast<std::uint64_t>(budget) - elapsed
                          : 0;
    text += FillIn(msg::kProgressRemaining,
                   {IntToText(static_cast<std::int32_t>((left + 999) / 1000))});
  }
  return text;
}

void ProgressLine::Show(std::uint64_t elapsed, std::int64_t budget, int confirmed, int total) {
  if (!writer_) return;
  writer_(Text(elapsed, budget, confirmed, total));
  shown_ = true;
}

void ProgressLine::ShowLearning(int asked, int total) {
  if (!writer_) return;
  writer_(std::string(msg::kProgressLearning) + ' ' +
          FillIn(msg::kProgressHosts, {IntToText(asked), IntToText(total)}));
  shown_ = true;
}

void ProgressLine::Erase() {
  if (!shown_) return;
  writer_({});
  shown_ = false;
}

}  // namespace trolvane
