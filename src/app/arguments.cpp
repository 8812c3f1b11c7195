#include "app/arguments.h"

#include "platform/text.h"
#include "text/arg_split.h"

namespace trolvane {

std::vector<std::string> ProgramArguments(const os::CommandLine& line) {
  std::vector<std::string> arguments;
  if (line.is_text) {
    arguments = SplitCommandLine(line.text, os::CharLength);
    if (!arguments.empty()) arguments.erase(arguments.begin());  // the program name
    return arguments;
  }
  for (const std::string& word : line.words) {
    if (!word.empty()) arguments.push_back(word);
  }
  return arguments;
}

}  // namespace trolvane
