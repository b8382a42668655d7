// The connection pump: a thread that reads the toolkit's own connection and
// hands each event to the event procedure while somebody holds it.
#include <gtest/gtest.h>

#include "tests/testsupport/WaitFor.h"

#include "gui/SConnectionPump.h"
#include "gui/XDisplay.h"
#include "gui/context/SInput.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/WidgetTestSupport.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

using namespace vexo::gui;
using guitest::Probe;

using testsupport::WaitFor;

namespace {

// Waits (without reading events) until the predicate holds or ms pass.
// Reads what the pump's handlers write, inside the display lock they hold.
template <typename F> auto Locked(F read)
{
  XLockDisplay(dps);
  auto value = read();
  XUnlockDisplay(dps);
  return value;
}

bool Saw(const Probe& probe, int code)
{
  return Locked([&] {
    return std::find(probe.mouseCodes.begin(), probe.mouseCodes.end(), code) !=
           probe.mouseCodes.end();
  });
}

// Lets go of its pump from inside its own press handler, on the pump's
// thread.
class ReleasingProbe : public Probe
{
public:
  ReleasingProbe(SGlobals* globals, SConnectionPump& pump_)
      : Probe(globals, nullptr, 0, 0, 200, 200, 60, 60), pump(pump_)
  {
  }
  void MouseStateChanged(bool* flags, int code) override
  {
    Probe::MouseStateChanged(flags, code);
    if (code == context::kMouseLeftDown)
      pump.Release();
  }
  SConnectionPump& pump;
};

class Pump : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_NE(dps, nullptr) << "GUI tests run under scripts/xvfb-run-private";
    ASSERT_FALSE(connectionPump.Running()) << "the toolkit's pump is idle between tests";
    // Events of windows that earlier tests destroyed are not for the pump.
    guitest::DeliverPending();
  }

  void TearDown() override
  {
    pump.Stop();
    guitest::DeliverPending();
  }

  void ShowProbe(Probe& probe)
  {
    probe.Show();
    ASSERT_TRUE(guitest::DeliverUntil([&] { return probe.draws > 0; }));
  }

  SGlobals globals;
  SConnectionPump pump;
};

} // namespace

TEST_F(Pump, HeldPumpDispatchesAndTheLastReleaseEndsIt)
{
  Probe probe(&globals, nullptr, 0, 0, 200, 200, 60, 60);
  ShowProbe(probe);
  EXPECT_FALSE(pump.Running());
  ASSERT_TRUE(pump.Hold(dps));
  ASSERT_TRUE(pump.Hold(dps));
  EXPECT_TRUE(pump.Running());
  EXPECT_EQ(pump.Holds(), 2);

  widgettest::Click(probe, 10, 10);
  ASSERT_TRUE(WaitFor([&] { return Saw(probe, context::kMouseLeftDown); }))
      << "the pump delivered the press";
  EXPECT_GT(pump.Dispatched(), 0u);

  pump.Release();
  EXPECT_TRUE(pump.Running()) << "one holder is left";
  pump.Release();
  ASSERT_TRUE(WaitFor([&] { return !pump.Running(); }));
  pump.Release();
  EXPECT_EQ(pump.Holds(), 0) << "a release without a hold is ignored";

  // Without the pump the next press waits in the queue for a reader.
  Locked([&] {
    probe.mouseCodes.clear();
    return 0;
  });
  widgettest::Click(probe, 10, 10, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(3 * SConnectionPump::kWaitMs));
  EXPECT_FALSE(Saw(probe, context::kMouseRightDown));
  ASSERT_TRUE(guitest::DeliverUntil([&] { return Saw(probe, context::kMouseRightDown); }));
}

TEST_F(Pump, ReleaseFromAHandlerOnThePumpsThreadLetsItEnd)
{
  ReleasingProbe probe(&globals, pump);
  ShowProbe(probe);
  ASSERT_TRUE(pump.Hold(dps));
  widgettest::Click(probe, 10, 10);
  ASSERT_TRUE(WaitFor([&] { return !pump.Running(); }));
  EXPECT_TRUE(Saw(probe, context::kMouseLeftDown));

  // A new hold starts a new thread.
  ASSERT_TRUE(pump.Hold(dps));
  EXPECT_TRUE(pump.Running());
  widgettest::Click(probe, 20, 20, 2);
  ASSERT_TRUE(WaitFor([&] { return Saw(probe, context::kMouseMiddleDown); }));
  pump.Release();
  ASSERT_TRUE(WaitFor([&] { return !pump.Running(); }));
}

TEST_F(Pump, ServesOneConnectionAtATime)
{
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_FALSE(pump.Hold(nullptr));
  ASSERT_TRUE(pump.Hold(dps));
  EXPECT_FALSE(pump.Hold(other));
  EXPECT_EQ(pump.Holds(), 1);
  pump.Release();
  ASSERT_TRUE(WaitFor([&] { return !pump.Running(); }));
  EXPECT_TRUE(pump.Hold(other)) << "free again once nobody holds it";
  pump.Stop();
  XCloseDisplay(other);
}

TEST_F(Pump, StopWaitsForTheThreadAndForgetsTheHolds)
{
  ASSERT_TRUE(pump.Hold(dps));
  ASSERT_TRUE(pump.Hold(dps));
  pump.Stop();
  EXPECT_FALSE(pump.Running()) << "the thread has ended when Stop returns";
  EXPECT_EQ(pump.Holds(), 0);
  ASSERT_TRUE(pump.Hold(dps));
  EXPECT_TRUE(pump.Running());
}

TEST_F(Pump, QuickHoldsAndReleasesNeverLoseTheThread)
{
  Probe probe(&globals, nullptr, 0, 0, 200, 200, 60, 60);
  ShowProbe(probe);
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(pump.Hold(dps));
    if (i % 3 == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pump.Release();
  }
  ASSERT_TRUE(WaitFor([&] { return !pump.Running(); }));
  ASSERT_TRUE(pump.Hold(dps));
  widgettest::Click(probe, 30, 30);
  ASSERT_TRUE(WaitFor([&] { return Saw(probe, context::kMouseLeftDown); }));
  pump.Stop();
}
