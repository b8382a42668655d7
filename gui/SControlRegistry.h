// The registry of live controls. "_VEXOWND" is a window property that any X
// client can write, so the event procedure never trusts the value it reads:
// it only dispatches to a control that this registry knows to be alive and
// whose window is the event's window. On x86_64 the property holds a 32-bit
// handle issued here (hosts read one 32-bit item); on i386 it holds the
// control's address, still looked up here before use.
//
// The registry also owns the address published in "_XEventProc": on x86_64
// a small trampoline mapped below 2 GiB that jumps to SControl::eventProc,
// so that a host reading one 32-bit item still calls the right code.
//
// Threads: any. A dispatch pins its control; unregistering a control (at the
// start of its clean-up) waits until dispatches on other threads have let go
// of it, so a control is never freed under a running handler of another
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexo::gui {

class SControl;

namespace registry {

// Registers a control (with the X window it has now) and returns the value
// to store in "_VEXOWND".
long Register(SControl* control);
// Forgets the control; new events for it are ignored from now on. Waits for
// dispatches to it in progress on other threads.
void Unregister(SControl* control);
bool IsLive(const SControl* control);
// The "_VEXOWND" value of a registered control; 0 when it is not registered.
long ValueOf(const SControl* control);
size_t LiveCount();
// True when the X window belongs to a live control of this library (in
// constant time, without asking the server).
bool OwnsWindow(unsigned long window);

// The value for "_XEventProc"; 0 when no trampoline could be made (the
// property is then left out and only the toolkit's own loops deliver events).
long EventProcValue();

// Holds a live control for the length of one dispatch.
class Pin
{
public:
  // Finds the control named by a "_VEXOWND" value whose window is `window`.
  Pin(long value, unsigned long window);
  ~Pin();
  Pin(const Pin&) = delete;
  Pin& operator=(const Pin&) = delete;

  SControl* Get() const { return control; }

private:
  SControl* control = nullptr;
};

} // namespace registry
} // namespace vexo::gui
