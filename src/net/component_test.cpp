#include "net/component.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "net/anti_freeze.h"
#include "net/net_exceptions.h"
#include "net/stack.h"
#include "net/winsock2_binding.h"

namespace trolvane {
namespace {

TEST(NetComponent, ComponentsShareOneStackAndTheLastOneEndsIt) {
  ASSERT_EQ(StackUserCount(), 0);
  auto first = std::make_unique<TNetComponent>();
  TNetStack* stack = StackInstance();
  ASSERT_NE(stack, nullptr);
  auto second = std::make_unique<TNetComponent>();
  EXPECT_EQ(StackInstance(), stack);
  EXPECT_EQ(StackUserCount(), 2);
  int startups = ws2::Stats().startups;

  first.reset();
  EXPECT_EQ(StackInstance(), stack);
  second.reset();
  EXPECT_EQ(StackInstance(), nullptr);
  EXPECT_EQ(StackUserCount(), 0);

  TNetComponent third;
  EXPECT_NE(StackInstance(), nullptr);
  EXPECT_EQ(ws2::Stats().startups, startups);
}

std::unique_ptr<TNetStack> FailingStack() { throw ENetStackInitializationFailed(); }

TEST(NetComponent, FailedStackCreationLeavesCountAndInstanceAlone) {
  StackFactory saved = StackClass();
  SetStackClass(&FailingStack);
  EXPECT_THROW(TNetComponent(), ENetStackInitializationFailed);
  EXPECT_EQ(StackUserCount(), 0);
  EXPECT_EQ(StackInstance(), nullptr);
  SetStackClass(saved);
  TNetComponent retried;
  EXPECT_EQ(StackUserCount(), 1);
  EXPECT_NE(StackInstance(), nullptr);
}

TEST(NetComponent, WorkNotificationsReachTheEventsOnlyAtTheOuterLevel) {
  TNetComponent component;
  std::vector<std::string> events;
  component.OnWorkStart = [&](TNetComponent&, TWorkMode, std::int32_t size) {
    events.push_back("start " + std::to_string(size));
  };
  component.OnWorkProgress = [&](TNetComponent&, TWorkMode, std::int32_t count) {
    events.push_back("progress " + std::to_string(count));
  };
  component.OnWorkFinish = [&](TNetComponent&, TWorkMode) { events.push_back("finish"); };

  component.AdvanceWork(TWorkMode::WorkReading, 5);  // outside any work: ignored
  component.StartWork(TWorkMode::WorkReading, 100);
  component.StartWork(TWorkMode::WorkReading, 7);
  component.AdvanceWork(TWorkMode::WorkReading, 10);
  component.AdvanceWork(TWorkMode::WorkReading, 20);
  component.FinishWork(TWorkMode::WorkReading);
  component.FinishWork(TWorkMode::WorkReading);
  component.StartWork(TWorkMode::WorkWriting, 3);
  EXPECT_EQ(events, (std::vector<std::string>{"start 100", "progress 10", "progress 30", "finish",
                                              "start 3"}));
}

class CountingAntiFreeze : public TNetAntiFreezeBase {
 public:
  using TNetAntiFreezeBase::TNetAntiFreezeBase;
  void YieldToApplication() override { ++yields; }
  int yields = 0;
};

TEST(AntiFreeze, WithoutOneNothingHappens) {
  InitMainThread();
  EXPECT_FALSE(TNetAntiFreezeBase::InUse());
  EXPECT_NO_THROW(TNetAntiFreezeBase::ProcessIfDue(true));
}

TEST(AntiFreeze, YieldsOnTheMainThreadWhenDue) {
  InitMainThread();
  CountingAntiFreeze anti_freeze;
  EXPECT_EQ(anti_freeze.IdleTimeOut, 250);
  EXPECT_TRUE(TNetAntiFreezeBase::InUse());
  TNetAntiFreezeBase::ProcessIfDue(true);
  TNetAntiFreezeBase::ProcessIfDue(false);  // only when idle
  TNetAntiFreezeBase::ProcessIfDue(false, true);
  EXPECT_EQ(anti_freeze.yields, 2);

  bool in_use_elsewhere = true;
  std::thread([&] { in_use_elsewhere = TNetAntiFreezeBase::InUse(); }).join();
  EXPECT_FALSE(in_use_elsewhere);

  anti_freeze.Active = false;
  EXPECT_FALSE(TNetAntiFreezeBase::InUse());
}

TEST(AntiFreeze, DesignStateRefusesASecond) {
  CountingAntiFreeze first;
  try {
    CountingAntiFreeze second(true);
    FAIL() << "no error raised";
  } catch (const ENetException& e) {
    EXPECT_STREQ(e.what(), "Only one TNetAntiFreeze can exist per application.");
  }
}

}  // namespace
}  // namespace trolvane
