// vexo::threading::STimer and STimerObject: a control's periodic timer. Each
// running timer owns one thread that, every interval, stamps its timer event
// (code 9, value = the timer id) and hands it to the control's SendEvent, so
// the control's listeners (the control itself for AddTimer) run on that
// thread.
//
// Threads: Start, Stop and destruction come from the control's owner thread
// (or from a listener on the timer thread itself). Stop and the destructors
// wait until a tick inside SendEvent has returned; called from the timer's
// own thread they only end the loop, and the thread finishes on its own
// without touching the timer again. Do not stop a timer while holding a lock
// that its listeners take (the display lock included).
#pragma once

#include "gui/SEvent.h"

#include <memory>

namespace vexo::gui {
class SControl;
}

namespace vexo::threading {

class STimerObject
{
public:
  // The event is made with the timer code (9) and the rest of its payload 0.
  STimerObject();
  virtual ~STimerObject();
  STimerObject(const STimerObject&) = delete;
  STimerObject& operator=(const STimerObject&) = delete;

  // Stops a running thread, then starts a new one that ticks every interval.
  virtual void Start(vexo::gui::SControl* control, int id, unsigned interval);
  // Ends the loop and waits for a tick in progress; the id becomes 0.
  virtual void Stop();

  bool Active() const;
  int Id() const { return id; }
  vexo::gui::SControl* Control() const { return control; }

  struct Job;

private:
  std::shared_ptr<Job> job; // shared with the running thread
  vexo::gui::SControl* control = nullptr;
  int id = 0;
  unsigned interval = 0;
};

class STimer
{
public:
  STimer(vexo::gui::SControl* control, unsigned id, unsigned spare);
  virtual ~STimer();
  STimer(const STimer&) = delete;
  STimer& operator=(const STimer&) = delete;

  virtual void Start(unsigned interval);
  virtual void Stop();

  bool Running() const { return running; }
  unsigned Id() const { return id; }
  STimerObject* Object() const { return object; }

private:
  vexo::gui::SControl* control;
  unsigned interval = 0;
  unsigned spare;
  unsigned id;
  bool running = false;
  STimerObject* object;
};

} // namespace vexo::threading
