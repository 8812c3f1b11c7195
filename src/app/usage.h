#pragma once

#include "wake/line_output.h"

namespace trolvane {

// The 19-line usage screen; raises an error of the general kind when a write fails.
void WriteUsageScreen(const LineWriter& write);

}  // namespace trolvane
