// Runs the built program (natively, or the Windows build under Wine) and gives back its
// exact output bytes and exit status.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace trolvane::testing {

struct RunResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;  // standard output, byte for byte
};

struct RunOptions {
  int time_limit_seconds = 20;      // the program is killed after this
  std::vector<std::string> prefix;  // e.g. {"ip", "netns", "exec", "ns"}
  bool close_stdout = false;        // start with standard output closed
  bool stdout_broken_pipe = false;  // stdout is a pipe whose reader is gone
  // stdout is a non-blocking pipe read slowly, as some process launchers hand it.
  bool stdout_slow_nonblocking = false;
  // Windows build: the test build whose raw ICMP sockets are refused, as for a user
  // without administrator rights, so that it confirms through the ICMP helper API.
  bool raw_icmp_refused = false;
};

bool UnderWindowsBuild();
// Where the Windows build's programs are.
std::string WindowsBuildDir();

// The ways the build under test can reach the network with ICMP: natively only the raw
// socket; the Windows build also with raw ICMP refused (RunOptions::raw_icmp_refused).
std::vector<bool> RawIcmpRefusals();

// Runs the program with these arguments after its name.
RunResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options = {});

// Windows build only: runs the program with this exact command-line text after the
// program name (a Windows-side helper hands it to CreateProcessA unchanged).
RunResult RunWithCommandLine(std::string_view arguments_text, const RunOptions& options = {});

// Runs any command (argv[0] looked up in PATH) and captures stdout.
RunResult RunCommand(const std::vector<std::string>& argv, const RunOptions& options = {});

// A program text as the build under test writes it: UTF-8 natively, code page 932 on
// Windows.
std::string ProgramText(std::string_view utf8);

// The lines as the build under test writes them, each with its line end.
std::string ProgramLines(std::initializer_list<std::string_view> utf8_lines);

// Each line of a run's standard output read as one JSON object ("/o:json"); a line that
// is no JSON fails the test that reads it.
std::vector<nlohmann::json> JsonLines(const std::string& out);

}  // namespace trolvane::testing
