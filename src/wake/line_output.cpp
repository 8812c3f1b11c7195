#include "wake/line_output.h"

#include "text/exception.h"
#include "text/messages.h"
#include "wake/report.h"

namespace trolvane {

void WriteCheckedLine(const LineWriter& write, std::string_view line) {
  if (!write(line)) throw Exception(msg::kWriteFailed);
}

LineJob::LineJob(LineWriter write, StatusWriter status)
    : status_(std::move(status)), report_(MakeTextReport(std::move(write))) {}

LineJob::~LineJob() = default;

}  // namespace trolvane
