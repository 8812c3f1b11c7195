#include "wake/line_output.h"

#include "text/exception.h"
#include "text/messages.h"

namespace trolvane {

void WriteCheckedLine(const LineWriter& write, std::string_view line) {
  if (!write(line)) throw Exception(msg::kWriteFailed);
}

}  // namespace trolvane
