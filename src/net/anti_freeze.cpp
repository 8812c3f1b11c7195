#include "net/anti_freeze.h"

#include <atomic>

#include "net/net_exceptions.h"
#include "platform/process.h"

namespace trolvane {
namespace {

std::atomic<TNetAntiFreezeBase*> active_anti_freeze{nullptr};
std::atomic<std::uint32_t> main_thread_id{0};

}  // namespace

void InitMainThread() { main_thread_id.store(os::CurrentThreadId()); }

bool IsMainThread() { return os::CurrentThreadId() == main_thread_id.load(); }

TNetAntiFreezeBase::TNetAntiFreezeBase(bool design_state) {
  if (!design_state) {
    active_anti_freeze.store(this);
  } else if (active_anti_freeze.load() != nullptr) {
    throw ENetException("Only one TNetAntiFreeze can exist per application.");
  }
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() { active_anti_freeze.store(nullptr); }

bool TNetAntiFreezeBase::InUse() {
  TNetAntiFreezeBase* active = active_anti_freeze.load();
  return active != nullptr && IsMainThread() && active->Active;
}

void TNetAntiFreezeBase::ProcessIfDue(bool idle, bool override_idle) {
  if (!InUse()) return;
  TNetAntiFreezeBase* active = active_anti_freeze.load();
  if ((idle || !active->OnlyWhenIdle || override_idle) && active->Active) {
    active->YieldToApplication();
  }
}

}  // namespace trolvane
