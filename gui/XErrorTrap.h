// XErrorTrap: keeps X errors of a few calls on windows that belong to other
// clients (the host's window, a saved focus window) from reaching Xlib's
// default handler, which would end the host's process. Errors inside the
// scope are counted silently; the destructor syncs so that every request of
// the scope has been answered before the previous handler comes back.
//
// Threads: the handler is process-wide; use it on the thread that makes the
// calls and keep the scope short. The scope holds the connection's display
// lock (nestable), which serialises the toolkit's own swaps of the handler.
#pragma once

struct _XDisplay;
union _XEvent;

namespace vexo::gui {

class XErrorTrap
{
public:
  explicit XErrorTrap(_XDisplay* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // Syncs and tells whether an error arrived since the scope began.
  bool Failed();

private:
  _XDisplay* display;
  void* previous; // XErrorHandler
  unsigned long errorsBefore;
};

} // namespace vexo::gui
