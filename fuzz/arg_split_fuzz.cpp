// The command-line splitting rule, stepped byte by byte and as code page 932. No argument
// is empty or holds a byte the rule drops; quoting every argument again and splitting
// the result gives the same arguments back.
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "text/arg_split.h"

namespace {

using trolvane::SplitCommandLine;
using trolvane::fuzz::AsText;

void CheckArguments(std::string_view line, const std::vector<std::string>& arguments) {
  std::size_t bytes = 0;
  for (const std::string& argument : arguments) {
    FUZZ_CHECK(!argument.empty());
    FUZZ_CHECK(argument.find('\0') == std::string::npos);
    bytes += argument.size();
  }
  FUZZ_CHECK(bytes <= line.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line = AsText(data, size);

  std::vector<std::string> by_byte = SplitCommandLine(line, trolvane::fuzz::ByteStep);
  CheckArguments(line, by_byte);
  std::string requoted;
  for (const std::string& argument : by_byte) {
    FUZZ_CHECK(argument.find('"') == std::string::npos);
    requoted += " \"" + argument + "\"";
  }
  FUZZ_CHECK(SplitCommandLine(requoted, trolvane::fuzz::ByteStep) == by_byte);

  CheckArguments(line, SplitCommandLine(line, trolvane::fuzz::Cp932Step));
  // A stepper that claims nothing or more than is left must not stall or overrun the walk.
  CheckArguments(
      line, SplitCommandLine(line, [](std::string_view, std::size_t) { return std::size_t{0}; }));
  CheckArguments(
      line, SplitCommandLine(line, [](std::string_view, std::size_t) { return std::size_t{5}; }));
  return 0;
}
