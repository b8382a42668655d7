// The toolkit's two X display connections.
//
// `dps` is the toolkit's own connection, opened when the library is loaded
// (null when no X server could be reached). `dp` is the host's connection,
// taken once from the first editor-open request. Every X call of the toolkit
// goes to `dp` when it is set and to `dps` otherwise (ActiveDisplay). `dp` is
// written once on the host's thread and read by all others, hence atomic.
// The library closes only `dps`; `dp` belongs to the host.
#pragma once

#include <X11/Xlib.h>

#include <atomic>

extern Display* dps;
extern std::atomic<Display*> dp;

// The connection the toolkit uses now: `dp` if set, else `dps` (may be null).
inline Display* ActiveDisplay()
{
  Display* host = dp.load(std::memory_order_acquire);
  return host ? host : dps;
}

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
