#include "support/threading/STimerIdle.h"
#include "support/threading/SThread.h"

#include <gtest/gtest.h>

#include "tests/testsupport/WaitFor.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace vexo::threading;
using Clock = std::chrono::steady_clock;

using testsupport::WaitFor;

namespace {

struct Counter
{
  std::atomic<int> calls{0};
  std::atomic<bool> onIdleThread{true};
  int sleepMs = 0;
};

void Count(void* raw)
{
  auto* counter = static_cast<Counter*>(raw);
  if (!OnIdleThread())
    counter->onIdleThread = false;
  if (counter->sleepMs)
    SThread::Sleep(counter->sleepMs);
  ++counter->calls;
}

} // namespace

class IdleTimer : public ::testing::Test
{
protected:
  void SetUp() override { ASSERT_EQ(IdleEntryCount(), 0u) << "a previous test left entries"; }
};

TEST_F(IdleTimer, CallsRegisteredFunctionsOnTheIdleThreadAtItsInterval)
{
  Counter counter;
  SIdleFunction function = Count;
  {
    STimerIdle timer(nullptr, 1, 10, false);
    EXPECT_TRUE(IdleThreadRunning());
    timer.SetFunction(&function, &counter);
    EXPECT_TRUE(WaitFor([&] { return counter.calls >= 5; }));
  }
  EXPECT_TRUE(counter.onIdleThread);
  EXPECT_FALSE(IdleThreadRunning()) << "the last removal stops the thread";
  const int after = counter.calls;
  SThread::Sleep(50);
  EXPECT_EQ(counter.calls, after) << "no call after the timer is gone";
}

TEST_F(IdleTimer, SamePairIsRegisteredOnce)
{
  Counter counter;
  SIdleFunction function = Count;
  STimerIdle timer(nullptr, 1, 10, false);
  timer.SetFunction(&function, &counter);
  timer.SetFunction(&function, &counter);
  EXPECT_EQ(IdleEntryCount(), 1u);
}

TEST_F(IdleTimer, NextTimerStartsANewThreadAfterTheLastWasRemoved)
{
  Counter first;
  Counter second;
  SIdleFunction function = Count;
  {
    STimerIdle timer(nullptr, 1, 10, false);
    timer.SetFunction(&function, &first);
    ASSERT_TRUE(WaitFor([&] { return first.calls > 0; }));
  }
  EXPECT_FALSE(IdleThreadRunning());
  STimerIdle again(nullptr, 2, 10, false);
  EXPECT_TRUE(IdleThreadRunning());
  again.SetFunction(&function, &second);
  EXPECT_TRUE(WaitFor([&] { return second.calls > 0; }));
}

TEST_F(IdleTimer, RemovalWaitsForACallInProgress)
{
  auto counter = std::make_unique<Counter>();
  counter->sleepMs = 150;
  SIdleFunction function = Count;
  auto timer = std::make_unique<STimerIdle>(nullptr, 1, 5, false);
  timer->SetFunction(&function, counter.get());
  SThread::Sleep(30); // the idle thread is now inside the slow call
  timer.reset();
  // The data may be freed now: the call that was running has returned.
  const int calls = counter->calls;
  EXPECT_GE(calls, 1);
  counter.reset();
  SThread::Sleep(30);
}

TEST_F(IdleTimer, ConcurrentRegistrationAndRemovalStayConsistent)
{
  SIdleFunction function = Count;
  std::vector<std::thread> threads;
  std::vector<Counter> counters(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        STimerIdle timer(nullptr, t, 1, false);
        timer.SetFunction(&function, &counters[t]);
        std::this_thread::yield();
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(IdleEntryCount(), 0u);
  EXPECT_FALSE(IdleThreadRunning());
}
