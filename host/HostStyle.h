// How hosts hand their X display to a plug-in's editor and deliver X events,
// one model per convention seen in real hosts. quillet-host's edit command and
// the editor tests drive the plug-in through these models, so that every
// convention is tried the same way by hand and in the tests.
//
//   ardour    hands its display; reads "_XEventProc" only from a window
//             reparented into the window it handed over (ReparentNotify), as
//             one 32-bit item, then passes every event of its connection to
//             that procedure; drains its queue every millisecond, sends the
//             idle opcode every 40 ms and hides its window instead of closing
//             the editor.
//   own-loop  hands its display and drains its queue with its own toolkit's
//             loop (XNextEvent), never reading "_XEventProc".
//   qtractor  hands no display and drains its own queue, never reading the
//             property.
//   eventproc hands its display and calls the procedure named in
//             "_XEventProc" for every event of a window that has one.
//   no-display-eventproc
//             hands no display but calls "_XEventProc" for every event.
//   selective hands its display, takes only its own windows' events off its
//             queue (leaving everything else queued) and never reads the
//             property.
//
// Threads: a HostEvents belongs to the host's GUI thread, which owns the
// connection.
#pragma once

#include "host/HostWindow.h"

#include <functional>
#include <string>
#include <vector>

namespace qhost {

enum class HostStyle
{
  Ardour,
  OwnLoop,
  Qtractor,
  EventProc,
  NoDisplayEventProc,
  Selective,
};

struct HostStyleTraits
{
  const char* name;
  // The host's display connection goes with the editor-open request.
  bool handsDisplay;
  // How often the host takes events off its queue and how often it sends
  // the editor's idle opcode, in milliseconds.
  int drainMs;
  int idleMs;
  // Closing the plug-in window hides it instead of closing the editor.
  bool hidesOnClose;
};

const HostStyleTraits& Traits(HostStyle style);
const std::vector<HostStyle>& AllHostStyles();
// The model named `name` (as listed above); false for an unknown name.
bool ParseHostStyle(const std::string& name, HostStyle& style);
// "ardour|own-loop|...", for usage texts.
std::string HostStyleNames();

// The event side of a host: takes events off its connection the way the
// style does and hands them to a plug-in's event procedure where the style
// would.
class HostEvents
{
public:
  HostEvents(Display* display, HostStyle style);

  // A window of the host's own (one it may hand to an editor): selects what
  // the style's toolkit selects on it. Its events go to the `own` handler of
  // Drain.
  void AddOwnWindow(unsigned long window);

  // Takes what the style takes off the queue. Events of the host's own
  // windows go to `own` (after the procedure, for a style that passes every
  // event). Returns the number of events handed to a plug-in's procedure.
  int Drain(const std::function<void(_XEvent&)>& own);

  // The procedure an ardour-style host learned from a reparented window,
  // else null.
  EventProc Learned() const { return learned; }

private:
  bool Own(unsigned long window) const;
  void Learn(const _XEvent& event);

  Display* display;
  HostStyle style;
  std::vector<unsigned long> ownWindows;
  EventProc learned = nullptr;
};

} // namespace qhost
