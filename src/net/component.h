// The socket layer's component family. Every live TNetComponent keeps the process-wide
// stack (StackInstance) alive: the first one creates it, the last one destroys it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace trolvane {

class TNetBaseComponent {
 public:
  TNetBaseComponent() = default;
  virtual ~TNetBaseComponent() = default;
  TNetBaseComponent(const TNetBaseComponent&) = delete;
  TNetBaseComponent& operator=(const TNetBaseComponent&) = delete;
};

enum class TNetStatus {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted,
};
// One text per status, in status order ("%s" where the caller supplies the text).
extern const std::array<const char*, 9> kStatusTexts;

enum class TWorkMode { WorkReading = 0, WorkWriting = 1 };

class TNetComponent : public TNetBaseComponent {
 public:
  // Creates the stack when this is the only component; a creation that raises leaves the
  // count and the stack as they were.
  TNetComponent();
  ~TNetComponent() override;

  std::function<void(TNetComponent& sender, TNetStatus status, const std::string& text)> OnStatus;
  std::function<void(TNetComponent& sender, TWorkMode mode, std::int32_t count)> OnWorkProgress;
  std::function<void(TNetComponent& sender, TWorkMode mode, std::int32_t size)> OnWorkStart;
  std::function<void(TNetComponent& sender, TWorkMode mode)> OnWorkFinish;

  // Nested work notifications: only the outermost start and finish reach the events.
  virtual void StartWork(TWorkMode mode, std::int32_t size);
  virtual void AdvanceWork(TWorkMode mode, std::int32_t delta);
  virtual void FinishWork(TWorkMode mode);

 private:
  struct WorkInfo {
    std::int32_t count = 0;
    std::int32_t size = 0;
    std::int32_t depth = 0;
  };
  WorkInfo& Work(TWorkMode mode) { return work_[static_cast<std::size_t>(mode)]; }
  std::array<WorkInfo, 2> work_{};
};

// Number of live TNetComponent objects.
std::int32_t StackUserCount();

class TNetStack;
// The current stack, kept alive by the components; null when none lives.
TNetStack* StackInstance();

}  // namespace trolvane
