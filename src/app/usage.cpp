#include "app/usage.h"

#include "text/messages.h"

namespace trolvane {

void WriteUsageScreen(const LineWriter& write) {
  for (const char* line : msg::kUsageScreen) WriteCheckedLine(write, line);
}

}  // namespace trolvane
