// Two network namespaces joined by a veth pair: the program's ("client", 198.18.0.1/25,
// no default route) and a target host (198.18.0.2/25) that also routes to the other half
// of 198.18.0.0/24, where nothing lives, so that its answer there is "unreachable".
// Both namespaces are removed again however the test ends.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace trolvane::testing {

inline constexpr const char* kTargetAddress = "198.18.0.2";
inline constexpr const char* kSilentNeighbour = "198.18.0.3";
inline constexpr const char* kBeyondTarget = "198.18.0.200";

// A helper program running beside the test, ended by id when the test is done with it.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // True once the program has written this line, within the time limit.
  bool WaitForLine(const std::string& line, int seconds);
  // Waits for the end, at most seconds, and gives all the program wrote.
  std::string Finish(int seconds);

 private:
  void ReadFor(int milliseconds);
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

class PingLab {
 public:
  PingLab();
  ~PingLab();
  PingLab(const PingLab&) = delete;
  PingLab& operator=(const PingLab&) = delete;

  bool ok() const { return ok_; }
  const std::string& client() const { return client_; }
  const std::string& target() const { return target_; }

  // Runs a command inside a namespace.
  RunResult In(const std::string& ns, const std::vector<std::string>& argv,
               int time_limit_seconds = 20) const;
  bool SetSysctl(const std::string& ns, const std::string& path, const std::string& value) const;
  // An ICMP counter of /proc/net/snmp ("IcmpMsg" row, e.g. "InType8") in a namespace.
  long IcmpCounter(const std::string& ns, const std::string& name) const;
  // Starts a helper program of the build inside the target namespace.
  std::unique_ptr<BackgroundProcess> StartInTarget(const std::vector<std::string>& argv) const;
  // The program in the client namespace; as `nobody` when unprivileged. wrapper goes
  // between the namespace and the program (e.g. a tracer).
  RunResult RunProgram(const std::vector<std::string>& arguments, bool unprivileged = false,
                       const std::vector<std::string>& wrapper = {}) const;

 private:
  bool Run(const std::vector<std::string>& argv) const;
  std::string client_;
  std::string target_;
  bool ok_ = false;
};

}  // namespace trolvane::testing
