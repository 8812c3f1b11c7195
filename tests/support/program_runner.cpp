#include "support/program_runner.h"

#include <iconv.h>

#include <cstdlib>
#include <stdexcept>

#include "support/background_process.h"

namespace trolvane::testing {
namespace {

std::string Env(const char* name, const char* fallback = "") {
  const char* v = std::getenv(name);
  return v != nullptr ? v : fallback;
}

std::string WineRun() { return Env("TROLVANE_WINE_RUN", TROLVANE_SOURCE_DIR "/scripts/wine-run"); }

}  // namespace

bool UnderWindowsBuild() { return Env("TROLVANE_UNDER_TEST") == "windows"; }
std::string WindowsBuildDir() { return Env("TROLVANE_WINDOWS_BUILD_DIR"); }

std::vector<bool> RawIcmpRefusals() {
  return UnderWindowsBuild() ? std::vector<bool>{false, true} : std::vector<bool>{false};
}

RunResult RunCommand(const std::vector<std::string>& command, const RunOptions& options) {
  BackgroundProcess process(command, options);
  return process.Finish(options.time_limit_seconds * 1000);
}

RunResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options) {
  std::vector<std::string> command;
  if (UnderWindowsBuild()) {
    command = {WineRun(),
               WindowsBuildDir() +
                   (options.raw_icmp_refused ? "/trolvane_without_raw.exe" : "/trolvane.exe")};
  } else {
    command = {TROLVANE_PROGRAM};
  }
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, options);
}

RunResult RunWithCommandLine(std::string_view arguments_text, const RunOptions& options) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : arguments_text) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  std::string dir = WindowsBuildDir();
  return RunCommand({WineRun(), dir + "/spawn_exact.exe", dir + "/trolvane.exe", hex}, options);
}

std::string ProgramText(std::string_view utf8) {
  if (!UnderWindowsBuild()) return std::string(utf8);
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP932");
  std::string in(utf8);
  std::string out(in.size() * 2 + 4, '\0');
  char* in_p = in.data();
  std::size_t in_left = in.size();
  char* out_p = out.data();
  std::size_t out_left = out.size();
  std::size_t r = iconv(cd, &in_p, &in_left, &out_p, &out_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("iconv to CP932");
  out.resize(out.size() - out_left);
  return out;
}

std::string ProgramLines(std::initializer_list<std::string_view> utf8_lines) {
  std::string result;
  for (std::string_view line : utf8_lines) {
    result += ProgramText(line);
    result += UnderWindowsBuild() ? "\r\n" : "\n";
  }
  return result;
}

std::vector<nlohmann::json> JsonLines(const std::string& out) {
  std::vector<nlohmann::json> objects;
  std::size_t at = 0;
  for (std::size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    objects.push_back(nlohmann::json::parse(out.substr(at, end - at)));  // a CR is a blank
  }
  return objects;
}

}  // namespace trolvane::testing
