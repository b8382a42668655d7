// Control timers and the idle hooks of a control: ticks arrive as code 9 on
// the timer thread, Stop and destruction wait for a tick inside SendEvent,
// and a listener may stop or delete the timer from the tick itself.
#include <gtest/gtest.h>

#include "tests/testsupport/WaitFor.h"

#include "gui/SControl.h"
#include "gui/SGlobals.h"
#include "gui/STimer.h"
#include "support/threading/STimerIdle.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace vexo::gui;
using vexo::threading::STimer;
using Clock = std::chrono::steady_clock;

using testsupport::WaitFor;

namespace {

// A control without a window that counts the timer events it hears.
class Ticked : public SControl
{
public:
  explicit Ticked(SGlobals* globals) { this->globals = globals; }
  void ParseEvent(SEvent* event) override
  {
    if (event->code != 9)
      return;
    inside = true;
    lastValue = event->value;
    lastSender = event->sender;
    if (std::this_thread::get_id() == mainThread)
      onMain = true;
    if (work)
      work(this);
    ++ticks;
    inside = false;
  }

  std::atomic<int> ticks{0};
  std::atomic<bool> inside{false};
  std::atomic<bool> onMain{false};
  std::atomic<int> lastValue{0};
  std::atomic<SControl*> lastSender{nullptr};
  std::function<void(Ticked*)> work;
  const std::thread::id mainThread = std::this_thread::get_id();
};

} // namespace

TEST(ControlTimer, AddTimerTicksCodeNineWithItsIdOnTheTimerThread)
{
  SGlobals globals;
  Ticked control(&globals);
  STimer* timer = control.AddTimer(5, true);
  EXPECT_TRUE(control.EventHandled(9));
  ASSERT_TRUE(WaitFor([&] { return control.ticks >= 3; }));
  EXPECT_EQ(control.lastValue, static_cast<int>(timer->Id()));
  EXPECT_EQ(control.lastSender, &control);
  EXPECT_FALSE(control.onMain);
  delete timer;
  const int after = control.ticks;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(control.ticks, after) << "no tick after the timer is gone";
}

TEST(ControlTimer, StopWaitsForATickInsideSendEvent)
{
  SGlobals globals;
  Ticked control(&globals);
  control.work = [](Ticked*) { std::this_thread::sleep_for(std::chrono::milliseconds(40)); };
  control.AddEventListener(&control, 9);
  control.CreateTimer(1, true);
  ASSERT_TRUE(WaitFor([&] { return control.inside.load(); }));
  control.StopTimer(false);
  EXPECT_FALSE(control.inside) << "the tick in progress has returned";
  const int after = control.ticks;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(control.ticks, after);
  EXPECT_FALSE(control.timer->Running());
  control.StartTimer(1);
  EXPECT_TRUE(WaitFor([&] { return control.ticks > after; })) << "a stopped timer starts again";
  control.StopTimer(true);
  EXPECT_EQ(control.timer, nullptr);
}

TEST(ControlTimer, DestroyingTheControlWaitsForItsTimer)
{
  SGlobals globals;
  std::atomic<int> finished{0};
  {
    Ticked control(&globals);
    control.work = [&](Ticked*) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ++finished;
    };
    control.AddEventListener(&control, 9);
    control.CreateTimer(1, true);
    ASSERT_TRUE(WaitFor([&] { return control.inside.load(); }));
  }
  const int after = finished;
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_EQ(finished, after);
}

TEST(ControlTimer, AListenerMayDeleteTheTimerFromItsOwnTick)
{
  SGlobals globals;
  Ticked control(&globals);
  control.work = [](Ticked* self) { self->StopTimer(true); };
  control.AddEventListener(&control, 9);
  control.CreateTimer(1, true);
  ASSERT_TRUE(WaitFor([&] { return control.ticks >= 1; }));
  // The timer's thread, let go by its own tick, still returns through the
  // control's SendEvent: give it time before the control goes.
  ASSERT_TRUE(WaitFor([&] { return !control.inside; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(control.ticks, 1);
  EXPECT_EQ(control.timer, nullptr);
  EXPECT_EQ(control.timerId, 0);
}

TEST(ControlTimer, ATimerDoesNotSendToAControlBeingDestroyed)
{
  SGlobals globals;
  Ticked control(&globals);
  control.AddEventListener(&control, 9);
  control.destroying = true;
  STimer timer(&control, 4, 0);
  timer.Start(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  timer.Stop();
  EXPECT_EQ(control.ticks, 0);
  control.destroying = false;
}

namespace {

struct IdleCounter
{
  std::atomic<int> calls{0};
};

void CountIdle(void* data)
{
  ++static_cast<IdleCounter*>(data)->calls;
}

} // namespace

TEST(ControlIdle, IdleFunctionRunsUntilItIsRemoved)
{
  SGlobals globals;
  Ticked control(&globals);
  IdleCounter counter;
  void (*function)(void*) = CountIdle;
  control.CreateIdleFunction(&function, &counter); // no idle timer yet: nothing
  EXPECT_EQ(vexo::threading::IdleEntryCount(), 0u);
  control.CreateIdleTimer(5, false);
  ASSERT_NE(control.idleTimer, nullptr);
  vexo::threading::STimerIdle* first = control.idleTimer;
  control.CreateIdleTimer(5, false);
  EXPECT_EQ(control.idleTimer, first) << "one idle timer per control";
  control.CreateIdleFunction(&function, &counter);
  control.CreateIdleFunction(&function, &counter);
  EXPECT_EQ(vexo::threading::IdleEntryCount(), 1u) << "the same pair once";
  ASSERT_TRUE(WaitFor([&] { return counter.calls >= 3; }));
  control.DestroyIdleFunction();
  EXPECT_EQ(vexo::threading::IdleEntryCount(), 0u);
  const int after = counter.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(counter.calls, after);
  control.DestroyIdleTimer();
  EXPECT_EQ(control.idleTimer, nullptr);
  EXPECT_FALSE(vexo::threading::IdleThreadRunning());
}

TEST(ControlIdle, CleanUpRemovesTheIdleFunction)
{
  SGlobals globals;
  IdleCounter counter;
  void (*function)(void*) = CountIdle;
  {
    Ticked control(&globals);
    control.CreateIdleTimer(5, false);
    control.CreateIdleFunction(&function, &counter);
    ASSERT_TRUE(WaitFor([&] { return counter.calls >= 1; }));
  }
  EXPECT_EQ(vexo::threading::IdleEntryCount(), 0u);
  const int after = counter.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(counter.calls, after);
}
