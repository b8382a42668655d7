// vexo::gui::SEvent, SEventHandler and SEventManager: the toolkit's own
// events (a button's new value, a dial's step, a timer tick) and, per sending
// control, the listeners of each of the 13 event codes.
//
// Threads: listeners are added and removed on the thread that builds the
// window tree; events are sent from the event-dispatching thread (mouse and
// key handlers), the idle thread (refreshes) and timer threads (code 9). The
// listener list of a code is guarded by its own lock, which is never held
// while a listener runs, so a listener may add or remove listeners.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vexo::threading {
class SMutexID;
}

namespace vexo::gui {

class SControl;

// Event codes in use.
enum SEventCode : int
{
  kEventValue = 3,    // button or label value (kind 1)
  kEventDial = 5,     // dial value (kind 1)
  kEventMenu = 7,     // menus (not used by the plug-in)
  kEventTimer = 9,    // a control's timer tick (kind 1, value = timer id)
  kEventList = 10,    // file listing, button matrix (not used by the plug-in)
  kEventShortcut = 11 // key shortcut (kind 4, data -> three ints)
};

constexpr int kEventCodes = 13;

// Payload kinds.
constexpr int kPayloadValue = 1;
constexpr int kPayloadRecord = 4;

struct SEvent
{
  SEvent();

  int time;  // clock() when made or sent
  int code;  // -1 in a fresh record
  int kind;  // kPayloadValue or kPayloadRecord
  int value; // e.g. the new value of a button or dial
  float realValue;
  SControl* sender;
  vexo::threading::SMutexID* lock; // held around each listener call when set
  void* data;
};

// One code's listeners, in registration order.
class SEventHandler
{
public:
  SEventHandler() = default;
  SEventHandler(const SEventHandler&) = delete;
  SEventHandler& operator=(const SEventHandler&) = delete;

  // Adds the listener unless it is already there.
  void Add(SControl* listener);
  // Removes its first occurrence.
  void Remove(SControl* listener);
  // The listener at index i, or null past the end (the list may change
  // between two reads).
  SControl* At(size_t i) const;
  size_t Count() const;

  int code = 0;
  std::atomic<bool> enabled{false};

private:
  mutable std::mutex lock;
  std::vector<SControl*> listeners;
};

class SEventManager
{
public:
  SEventManager();

  // Null for a code outside 0..12.
  SEventHandler* Handler(int code);
  const SEventHandler* Handler(int code) const;

private:
  SEventHandler handlers[kEventCodes];
};

} // namespace vexo::gui
