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

} // namespace

void OpenToolkitConnection()
{
  // Before any other Xlib call, so that all threads may share connections.
  XInitThreads();
  const char* name = std::getenv("DISPLAY");
  Display* display = XOpenDisplay(name ? name : ":0.0");
  if (display)
    XFlush(display);
  else
    std::fputs("Error: XOpenDisplay failed.\n", stderr);
  dps.store(display, std::memory_order_release);
}

void CloseToolkitConnection()
{
  if (Display* display = dps.exchange(nullptr))
    XCloseDisplay(display);
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
  // No window existed without a connection, so nothing draws with the
  // colours or reads the layout while they are made again.
  statdata.RemakeColours();
  if (sd.display)
    AllMonitorRects(*sd.display, display);
  return display;
}

} // namespace vexo::gui
