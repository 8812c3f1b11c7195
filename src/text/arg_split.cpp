#include "text/arg_split.h"

namespace trolvane {
namespace {

// Skips blanks and control characters, and every lone pair of double quotes among them.
std::size_t SkipSeparators(std::string_view line, std::size_t pos) {
  for (;;) {
    while (pos < line.size() && static_cast<unsigned char>(line[pos]) >= 1 &&
           static_cast<unsigned char>(line[pos]) <= 32) {
      ++pos;
    }
    if (pos + 1 < line.size() && line[pos] == '"' && line[pos + 1] == '"') {
      pos += 2;
      continue;
    }
    return pos;
  }
}

// One character, never less than a byte nor past the end.
std::size_t Step(std::string_view line, std::size_t pos, CharStepper step) {
  std::size_t n = step(line, pos);
  return n == 0 ? 1 : n > line.size() - pos ? line.size() - pos : n;
}

std::string NextArgument(std::string_view line, std::size_t& pos, CharStepper step) {
  std::string argument;
  pos = SkipSeparators(line, pos);
  while (pos < line.size() && static_cast<unsigned char>(line[pos]) > 32) {
    if (line[pos] != '"') {
      std::size_t n = Step(line, pos, step);
      argument.append(line.substr(pos, n));
      pos += n;
      continue;
    }
    ++pos;  // opening quote
    while (pos < line.size() && line[pos] != '"' && line[pos] != '\0') {
      std::size_t n = Step(line, pos, step);
      argument.append(line.substr(pos, n));
      pos += n;
    }
    if (pos < line.size() && line[pos] == '"') ++pos;  // closing quote
  }
  return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line, CharStepper step) {
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> arguments;
  std::size_t pos = 0;
  for (;;) {
    std::string argument = NextArgument(line, pos, step);
    if (argument.empty()) return arguments;
    arguments.push_back(std::move(argument));
  }
}

}  // namespace trolvane
