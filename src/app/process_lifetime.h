#pragma once

namespace trolvane {

// Starts the program's layers in order on construction and stops them in reverse order
// on destruction; main builds exactly one.
class ProcessLifetime {
 public:
  ProcessLifetime();
  ~ProcessLifetime();
  ProcessLifetime(const ProcessLifetime&) = delete;
  ProcessLifetime& operator=(const ProcessLifetime&) = delete;
};

}  // namespace trolvane
