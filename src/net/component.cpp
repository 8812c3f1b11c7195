#include "net/component.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "net/stack.h"

namespace trolvane {
namespace {

// Guards the count and the creation and destruction of the stack; never destroyed, so
// that a component outliving the other globals can still leave.
std::mutex& StackLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

std::int32_t stack_user_count = 0;
// Read without the lock by the stack's users; written only under it.
std::atomic<TNetStack*> stack_instance{nullptr};

}  // namespace

const std::array<const char*, 9> kStatusTexts = {"Resolving hostname %s.",
                                                 "Connecting to %s.",
                                                 "Connected.",
                                                 "Disconnecting.",
                                                 "Disconnected.",
                                                 "%s",
                                                 "%s",
                                                 "%s",
                                                 "%s"};

TNetStack* StackInstance() { return stack_instance.load(); }

std::int32_t StackUserCount() {
  std::lock_guard<std::mutex> guard(StackLock());
  return stack_user_count;
}

TNetComponent::TNetComponent() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (++stack_user_count != 1) return;
  try {
    stack_instance.store(MakeStack().release());
  } catch (...) {
    --stack_user_count;
    throw;
  }
}

TNetComponent::~TNetComponent() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (--stack_user_count == 0) {
    std::unique_ptr<TNetStack> last(stack_instance.exchange(nullptr));
  }
}

void TNetComponent::StartWork(TWorkMode mode, std::int32_t size) {
  WorkInfo& work = Work(mode);
  if (++work.depth != 1) return;
  work.size = size;
  work.count = 0;
  if (OnWorkStart) OnWorkStart(*this, mode, size);
}

void TNetComponent::AdvanceWork(TWorkMode mode, std::int32_t delta) {
  WorkInfo& work = Work(mode);
  if (work.depth <= 0) return;
  work.count += delta;
  if (OnWorkProgress) OnWorkProgress(*this, mode, work.count);
}

void TNetComponent::FinishWork(TWorkMode mode) {
  WorkInfo& work = Work(mode);
  if (work.depth == 1 && OnWorkFinish) OnWorkFinish(*this, mode);
  --work.depth;
}

}  // namespace trolvane
