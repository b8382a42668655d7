// The toolkit's side of the monitor layout (vexo::system::SMonitorLayout):
// asking the X server for the report the layout is computed from, and
// placing controls by the layout. The toolkit centres message boxes with it
// and keeps tooltips on screen.
//
// Threads: the layout is filled while the library loads (through `sd`) and
// only read afterwards; the placing functions run where the control's
// owner runs it.
#pragma once

#include "support/system/SMonitorLayout.h"

// The same declaration as Xlib's, so that this header needs no X headers.
typedef struct _XDisplay Display;

namespace vexo::gui {

class SControl;

using vexo::system::SMonitorLayout;
using vexo::system::SScreenArea;
using vexo::system::SServerReport;

// Asks the server behind display for the report. display must not be null.
SServerReport ReadServerReport(Display* display);

// Rebuilds layout from the toolkit's connection. Without one the layout is
// empty: no monitors, count 0.
void AllMonitorRects(SMonitorLayout& layout);
// Rebuilds layout from the given connection; null empties it.
void AllMonitorRects(SMonitorLayout& layout, Display* display);

// The monitor of the control's centre (in screen coordinates). A null
// control has an empty monitor.
SMonitorLayout::Rect MonitorRect(const SMonitorLayout& layout, const SControl* control);
// Moves the control so that it is centred on the monitor of its centre (or
// of point). A null control does nothing; without monitors it stays.
void CenterOnWindow(const SMonitorLayout& layout, SControl* control);
void CenterOnWindow(const SMonitorLayout& layout, SControl* control, SMonitorLayout::Pt point);

} // namespace vexo::gui
