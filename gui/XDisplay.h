// The toolkit's X display connection.
//
// The toolkit keeps all its windows, drawing, resources and event selection
// on one connection of its own, `dps`. It is opened when the library is
// loaded, from the DISPLAY environment variable (":0.0" when unset), unless
// the library starts the toolkit with its first editor (ConnectsAtLoad);
// when there is none at load and a host later hands its display with an
// editor-open request, a connection of the toolkit's own to that display's
// server is opened then and kept until unload. No X call is ever made on a host's connection:
// window ids are server-wide, so the panel is still a child of the host's
// window, but no event of the toolkit's windows lands in a host's queue,
// there is one display lock to take, and a host may close its connection
// whenever it likes. The toolkit's connection pump (SConnectionPump) reads
// the events of `dps`.
//
// Threads: `dps` is written at load and unload and at most once by an editor
// open on a host thread while it is null; every thread reads it.
#pragma once

#include <X11/Xlib.h>

#include <atomic>

extern std::atomic<Display*> dps;

// The connection every toolkit X call goes to (null without any).
inline Display* ActiveDisplay()
{
  return dps.load(std::memory_order_acquire);
}

namespace vexo::gui {

// Whether the library opens `dps` when it is loaded: true, unless the
// library links a definition of its own. The LV2 edition's does
// (module/Lv2Toolkit.cpp): its hosts load it where there is no display at
// all (headless hosts, a host without its GUI), so it tries no connection
// and prints nothing at load, and its first editor opens the connection.
bool ConnectsAtLoad();

// Load time: XInitThreads, then, when the library connects at load, opens
// `dps` from DISPLAY; on failure writes "Error: XOpenDisplay failed.\n" to
// standard error and leaves it null.
void OpenToolkitConnection();
// Unload: closes `dps` after everything made on it has gone.
void CloseToolkitConnection();

// The connection for an editor that a host opens, handing `host` (which may
// be null): `dps` when it is open; otherwise a connection to the server of
// `host` is opened now as the toolkit's own (the colour table and the monitor
// layout are then made on it). Null when there is none, after a line on
// standard error. The host's connection itself is neither used nor kept.
Display* ConnectionForHost(Display* host);

// Holds the display lock of the toolkit's connection for a scope (nestable
// on one thread); nothing without a connection.
class SDisplayLock
{
public:
  SDisplayLock() : display(ActiveDisplay())
  {
    if (display)
      XLockDisplay(display);
  }
  ~SDisplayLock()
  {
    if (display)
      XUnlockDisplay(display);
  }
  SDisplayLock(const SDisplayLock&) = delete;
  SDisplayLock& operator=(const SDisplayLock&) = delete;

private:
  Display* display;
};

} // namespace vexo::gui

// Where the pointer is on the display's root window; false when the server
// cannot tell (or there is no connection).
inline bool PointerOnRoot(Display* display, int& x, int& y)
{
  if (!display)
    return false;
  Window root = 0;
  Window child = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned mask = 0;
  return XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &windowX,
                       &windowY, &mask) != 0;
}
