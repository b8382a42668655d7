// Handing queued X events to the toolkit's event procedure, for connections
// on which no host calls "_XEventProc".
//
// PumpConnection drains a connection that only the toolkit reads (its own
// `dps` when the host handed no display). PumpToolkitEvents takes from a
// connection the host also reads (the host's display) only the events of the
// toolkit's own windows and leaves every other event where it is.
//
// Threads: any; both run under the connection's display lock, so drawing
// done by the handlers is serialised with every other X call on it.
#pragma once

struct _XDisplay;

namespace vexo::gui {

// Returns the number of events handed to the event procedure.
int PumpConnection(_XDisplay* display);
int PumpToolkitEvents(_XDisplay* display);

} // namespace vexo::gui
