// Runs the native program on a pseudo-terminal, as a user at a terminal would, and gives
// back all it wrote there (standard output and standard error alike) and its status.
#pragma once

#include <string>
#include <vector>

#include "support/program_runner.h"

namespace trolvane::testing {

// prefix, e.g. {"ip", "netns", "exec", "ns"}, runs it inside a lab's namespace.
RunResult RunOnTerminal(const std::vector<std::string>& arguments, int time_limit_seconds = 20,
                        const std::vector<std::string>& prefix = {});

}  // namespace trolvane::testing
