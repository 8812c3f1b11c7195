// A helper program that runs beside the test (a receiver, say) while the test acts, and
// whose output the test reads afterwards. Bounded in time; killed by its id if needed.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/program_runner.h"

namespace trolvane::testing {

class BackgroundProcess {
 public:
  // Starts argv (after options.prefix); its standard output is collected.
  BackgroundProcess(const std::vector<std::string>& argv, const RunOptions& options = {});
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Reads output until it holds text; false after wait_ms or at end of output.
  bool WaitForOutput(std::string_view text, int wait_ms);
  // Waits for the end (at most wait_ms, then kills it) and gives status and all output.
  RunResult Finish(int wait_ms);

 private:
  bool ReadSome(int wait_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string out_;
  bool slow_ = false;
};

}  // namespace trolvane::testing
