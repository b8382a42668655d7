// The toolkit's own connection when editors come and go: the pump reads it
// only while an editor is open, and nothing of a destroyed editor is left in
// its queue for the next reader.
#include <gtest/gtest.h>

#include "editor/SPluginEditor.h"
#include "engine/VSTPlugin.h"
#include "gui/SConnectionPump.h"
#include "gui/SControlRegistry.h"
#include "gui/XDisplay.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/WaitFor.h"

#include <X11/Xlib.h>

#include <memory>

namespace {

Bool AnyEvent(Display*, XEvent*, XPointer)
{
  return True;
}

// Takes every queued event off the connection; counts those of windows
// that are not the toolkit's.
int TakeStaleEvents(Display* display)
{
  XLockDisplay(display);
  XSync(display, False);
  int stale = 0;
  XEvent event;
  while (XCheckIfEvent(display, &event, AnyEvent, nullptr))
    stale += vexo::gui::registry::OwnsWindow(event.xany.window) ? 0 : 1;
  XUnlockDisplay(display);
  return stale;
}

} // namespace

TEST(OwnConnection, DestroyedEditorsLeaveNoEventsInTheQueue)
{
  Display* display = ActiveDisplay();
  ASSERT_NE(display, nullptr);
  testsupport::DirectHost::Reset();
  const Window host =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 238, 0, 0, 0);
  XMapWindow(display, host);
  XSync(display, False);
  for (int round = 0; round < 3; ++round) {
    TakeStaleEvents(display);
    int status = 0;
    auto plugin = std::make_unique<VSTPlugin>(testsupport::DirectHost::Callback, status);
    SPluginEditor* editor = EditorOf(*plugin);
    ASSERT_EQ(editor->open(reinterpret_cast<void*>(host)), 1);
    EXPECT_TRUE(vexo::gui::connectionPump.Running());
    testsupport::WaitFor([&] { return vexo::gui::connectionPump.Dispatched() > 100; }, 2000);
    editor->close();
    // Once the pump has let go nobody reads the connection: what the
    // editor's destruction leaves there stays.
    ASSERT_TRUE(testsupport::WaitFor([] { return !vexo::gui::connectionPump.Running(); }, 2000));
    plugin.reset();
    EXPECT_EQ(TakeStaleEvents(display), 0) << "round " << round;
  }
  XDestroyWindow(display, host);
  XSync(display, False);
}
