// The program's arguments, from the command line the platform hands over.
#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

namespace trolvane {

// The arguments after the program name: a command-line text split by the program's rule
// (stepping over the platform's multibyte characters), or the words the shell split,
// where an empty one is skipped as a quoted empty argument is in a text.
std::vector<std::string> ProgramArguments(const os::CommandLine& line);

}  // namespace trolvane
