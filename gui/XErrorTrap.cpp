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
}

bool XErrorTrap::Failed()
{
  if (!display)
    return false;
  XSync(display, False);
  return trappedErrors.load() != errorsBefore;
}

} // namespace vexo::gui
