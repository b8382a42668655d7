#include "gui/XErrorTrap.h"

#include <X11/Xlib.h>

#include <atomic>

namespace vexo::gui {

namespace {

std::atomic<unsigned long> trappedErrors{0};

int CountError(Display*, XErrorEvent*)
{
  ++trappedErrors;
  return 0;
}

} // namespace

XErrorTrap::XErrorTrap(Display* display_) : display(display_), previous(nullptr), errorsBefore(0)
{
  if (!display)
    return;
  // The handler is process-wide: the toolkit's threads swap it only under
  // the display lock (so does the event procedure), or one could put back
  // the handler another had just put in place, for good.
  XLockDisplay(display);
  XSync(display, False);
  errorsBefore = trappedErrors.load();
  previous = reinterpret_cast<void*>(XSetErrorHandler(CountError));
}

XErrorTrap::~XErrorTrap()
{
  if (!display)
    return;
  XSync(display, False);
  XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous));
  XUnlockDisplay(display);
}

bool XErrorTrap::Failed()
{
  if (!display)
    return false;
  XSync(display, False);
  return trappedErrors.load() != errorsBefore;
}

} // namespace vexo::gui
