#include "gui/XDisplay.h"

#include "gui/SDisplay.h"
#include "gui/SStaticData.h"
#include "support/system/SSystemData.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

std::atomic<Display*> dps{nullptr};

namespace vexo::gui {

namespace {

// Serialises opening a connection at an editor open (two plug-in instances
// may open their editors on two host threads).
std::mutex& OpeningLock()
{
  static std::mutex lock;
  return lock;
}

// The handler that was in place when the toolkit's connection opened: errors
// of every other connection (the host's) go on to it.
std::atomic<XErrorHandler> chainedHandler{nullptr};

// Errors of the toolkit's own connection end nobody's process. A host may
// destroy its window, and the panel inside it, before it closes the editor;
// requests already on their way for the panel (a redraw, a map, a resize)
// then fail with BadWindow or BadDrawable, which Xlib's default handler
// would answer by exiting the host. Errors of other connections are the
// host's and go to the handler it had.
int OwnConnectionError(Display* display, XErrorEvent* error)
{
  if (display && display == dps.load(std::memory_order_acquire))
    return 0;
  const XErrorHandler next = chainedHandler.load();
  return next ? next(display, error) : 0;
}

// Once the connection exists (its lock serialises the toolkit's swaps of
// the handler with XErrorTrap's).
void InstallErrorHandler(Display* display)
{
  XLockDisplay(display);
  const XErrorHandler previous = XSetErrorHandler(OwnConnectionError);
  if (previous != OwnConnectionError)
    chainedHandler.store(previous);
  XUnlockDisplay(display);
}

// Before the library can go away: the host's handler comes back unless
// somebody replaced ours meanwhile (then theirs stays).
void RemoveErrorHandler(Display* display)
{
  XLockDisplay(display);
  const XErrorHandler current = XSetErrorHandler(chainedHandler.load());
  if (current != OwnConnectionError)
    XSetErrorHandler(current);
  XUnlockDisplay(display);
}

} // namespace

// The default of every library but the LV2 edition's, which links its own.
__attribute__((weak)) bool ConnectsAtLoad()
{
  return true;
}

void OpenToolkitConnection()
{
  // Before any other Xlib call, so that all threads may share connections.
  XInitThreads();
  if (!ConnectsAtLoad())
    return;
  const char* name = std::getenv("DISPLAY");
  Display* display = XOpenDisplay(name ? name : ":0.0");
  if (display)
    XFlush(display);
  else
    std::fputs("Error: XOpenDisplay failed.\n", stderr);
  dps.store(display, std::memory_order_release);
  if (display)
    InstallErrorHandler(display);
}

void CloseToolkitConnection()
{
  if (Display* display = dps.load()) {
    RemoveErrorHandler(display);
    dps.store(nullptr);
    XCloseDisplay(display);
  }
}

Display* ConnectionForHost(Display* host)
{
  if (Display* own = ActiveDisplay())
    return own;
  std::lock_guard<std::mutex> opening(OpeningLock());
  if (Display* own = ActiveDisplay())
    return own;
  if (!host) {
    std::fputs("Error: no X display for the editor.\n", stderr);
    return nullptr;
  }
  // The host's server, by the name the host opened it with.
  const char* name = XDisplayString(host);
  Display* display = name ? XOpenDisplay(name) : nullptr;
  if (!display) {
    std::fputs("Error: XOpenDisplay failed.\n", stderr);
    return nullptr;
  }
  XFlush(display);
  dps.store(display, std::memory_order_release);
  InstallErrorHandler(display);
  // No window existed without a connection, so nothing draws with the
  // colours or reads the layout while they are made again.
  statdata.RemakeColours();
  if (sd.display)
    AllMonitorRects(*sd.display, display);
  return display;
}

} // namespace vexo::gui
