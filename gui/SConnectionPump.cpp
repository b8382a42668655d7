#include "gui/SConnectionPump.h"

#include "gui/SControl.h"
#include "gui/SControlRegistry.h"

#include <X11/Xlib.h>
#include <poll.h>

namespace vexo::gui {

SConnectionPump::~SConnectionPump()
{
  Stop();
}

bool SConnectionPump::Hold(Display* display_)
{
  if (!display_)
    return false;
  bool start = false;
  {
    std::lock_guard<std::mutex> hold(lock);
    if (holds > 0 && display != display_)
      return false;
    display = display_;
    ++holds;
    // A thread that has decided to end no longer looks at the holds: a new
    // one takes over.
    if (!running) {
      running = true;
      start = true;
    }
  }
  if (start) {
    std::lock_guard<std::mutex> owner(ownerLock);
    // Start waits for a previous thread, which is ending without any lock.
    worker.Start([this, display_] { Run(display_); });
  }
  return true;
}

void SConnectionPump::Release()
{
  std::lock_guard<std::mutex> hold(lock);
  if (holds > 0)
    --holds;
}

void SConnectionPump::Stop()
{
  {
    std::lock_guard<std::mutex> hold(lock);
    holds = 0;
  }
  std::lock_guard<std::mutex> owner(ownerLock);
  worker.Stop();
}

bool SConnectionPump::Running() const
{
  std::lock_guard<std::mutex> hold(lock);
  return running;
}

int SConnectionPump::Holds() const
{
  std::lock_guard<std::mutex> hold(lock);
  return holds;
}

bool SConnectionPump::DispatchOne(Display* connection)
{
  XLockDisplay(connection);
  if (!XPending(connection)) {
    XUnlockDisplay(connection);
    return false;
  }
  XEvent event;
  XNextEvent(connection, &event);
  SControl::eventProc(&event);
  XUnlockDisplay(connection);
  dispatched.fetch_add(1);
  return true;
}

void SConnectionPump::Run(Display* connection)
{
  pollfd socket{ConnectionNumber(connection), POLLIN, 0};
  for (;;) {
    {
      // The decision to end is taken under the lock, so that a Hold either
      // sees this thread still running or starts a new one.
      std::lock_guard<std::mutex> hold(lock);
      if (holds == 0 || worker.StopRequested()) {
        running = false;
        return;
      }
    }
    if (!DispatchOne(connection)) {
      socket.revents = 0;
      poll(&socket, 1, kWaitMs);
    }
  }
}

namespace {

Bool Stale(Display*, XEvent* event, XPointer)
{
  return registry::OwnsWindow(event->xany.window) ? False : True;
}

} // namespace

int DropStaleEvents(Display* display)
{
  if (!display)
    return 0;
  int dropped = 0;
  XLockDisplay(display);
  // Everything the server has sent so far is in the queue after this.
  XSync(display, False);
  XEvent event;
  while (XCheckIfEvent(display, &event, Stale, nullptr))
    ++dropped;
  XUnlockDisplay(display);
  return dropped;
}

} // namespace vexo::gui
