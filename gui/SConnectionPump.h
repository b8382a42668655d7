// vexo::gui::SConnectionPump: reads the X events of a display connection
// that no host reads and hands each one to the toolkit's event procedure.
// Every window of the toolkit (the editor's panel, message boxes, tooltips)
// lives on its own connection (`dps`, gui/XDisplay.h), which no host reads,
// whatever the host does with its own: the pump is its reader while an
// editor is open or a message box is shown. It serves every window of the
// connection, not one window: the event procedure ignores windows that are
// not the toolkit's.
//
// It runs while somebody holds it: the first Hold starts the thread, the
// last Release lets it end by itself (a window closed from inside its own
// event handler releases on the pump's thread, which cannot wait for
// itself). Stop ends it at once and waits for it; the library calls it at
// unload, before the connection is closed.
//
// Each event is read and dispatched inside the connection's display lock
// (XLockDisplay), so that code of other threads that holds the lock (a
// message box being filled, drawing) never runs at the same time as a
// handler. Between events the lock is free; with no event queued the
// thread waits on the connection's socket for at most kWaitMs.
//
// Threads: Hold and Release from any thread (also from handlers running on
// the pump's thread, under the display lock); Stop from any thread but the
// pump's own while it must wait, and never while holding the display lock
// of the pumped connection.
#pragma once

#include "support/threading/SWorkerThread.h"

#include <atomic>
#include <cstdint>
#include <mutex>

struct _XDisplay;

namespace vexo::gui {

class SConnectionPump
{
public:
  // Longest wait for the socket between two looks at the queue and at the
  // holds; events queued by another thread's reply reading wait this long.
  static constexpr int kWaitMs = 20;

  SConnectionPump() = default;
  // Stop().
  ~SConnectionPump();
  SConnectionPump(const SConnectionPump&) = delete;
  SConnectionPump& operator=(const SConnectionPump&) = delete;

  // Counts one more holder and makes sure a thread pumps the connection.
  // The pump serves one connection at a time: a hold for another
  // connection while the first is held is refused (false), as is a null
  // connection.
  bool Hold(_XDisplay* display);
  // Counts one holder less; at 0 the thread ends after the event it is
  // handling. A release without a hold is ignored.
  void Release();
  // Forgets every hold, ends the thread and waits for it (from the pump's
  // own thread it only asks it to end).
  void Stop();

  bool Running() const;
  int Holds() const;
  // Events handed to the event procedure so far.
  uint64_t Dispatched() const { return dispatched.load(); }

private:
  void Run(_XDisplay* display);
  // Reads and dispatches one queued event inside the display lock; false
  // when none was queued.
  bool DispatchOne(_XDisplay* display);

  mutable std::mutex lock; // holds, running, display
  int holds = 0;
  bool running = false;
  _XDisplay* display = nullptr;
  std::mutex ownerLock; // starting and stopping the worker
  vexo::threading::SWorkerThread worker;
  std::atomic<uint64_t> dispatched{0};
};

// The pump of the toolkit's own connection, built at library load after
// the drawing data and stopped before them at unload.
extern SConnectionPump connectionPump;

// Takes the events of windows that are no longer the toolkit's (destroyed
// controls) off the connection's queue, so that they do not pile up while no
// pump reads it; returns how many. Under the connection's display lock.
int DropStaleEvents(_XDisplay* display);

} // namespace vexo::gui
