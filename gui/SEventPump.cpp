#include "gui/SEventPump.h"

#include "gui/SControl.h"
#include "gui/SControlRegistry.h"

#include <X11/Xlib.h>

namespace vexo::gui {

namespace {

Bool ToolkitWindow(Display*, XEvent* event, XPointer)
{
  return registry::OwnsWindow(event->xany.window) ? True : False;
}

} // namespace

int PumpToolkitEvents(Display* display)
{
  if (!display)
    return 0;
  int count = 0;
  XLockDisplay(display);
  XEvent event;
  while (XCheckIfEvent(display, &event, ToolkitWindow, nullptr)) {
    SControl::eventProc(&event);
    ++count;
  }
  XUnlockDisplay(display);
  return count;
}

} // namespace vexo::gui
