// Handing the queued X events of the toolkit's windows to its event
// procedure on a connection the host also reads (the host's display) but on
// which the host does not call "_XEventProc": every other event stays where
// it is. (The toolkit's own connection, which no host reads, has a pump of
// its own: SConnectionPump.)
//
// Threads: the host's thread; runs under the connection's display lock, so
// drawing done by the handlers is serialised with every other X call on it.
#pragma once

struct _XDisplay;

namespace vexo::gui {

// Returns the number of events handed to the event procedure.
int PumpToolkitEvents(_XDisplay* display);

} // namespace vexo::gui
