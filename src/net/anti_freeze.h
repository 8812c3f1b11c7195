// Base of a component that lets the application breathe during blocking socket waits.
// The program has none; the waits still ask, so that one could be added.
#pragma once

#include <cstdint>

#include "net/component.h"

namespace trolvane {

class TNetAntiFreezeBase : public TNetBaseComponent {
 public:
  // Registers itself as the active one, replacing any earlier one. In design state it
  // refuses instead when one is already registered.
  explicit TNetAntiFreezeBase(bool design_state = false);
  ~TNetAntiFreezeBase() override;

  bool Active = true;
  bool ApplicationHasPriority = true;
  std::int32_t IdleTimeOut = 250;  // ms
  bool OnlyWhenIdle = true;

  virtual void YieldToApplication() = 0;

  // An active anti-freeze is registered and this is the main thread.
  static bool InUse();
  // Called after each wait; idle when the wait reported nothing ready.
  static void ProcessIfDue(bool idle, bool override_idle = false);
};

// Records the calling thread as the program's main thread (at process start-up).
void InitMainThread();
bool IsMainThread();

}  // namespace trolvane
