#include "gui/STimer.h"

#include "gui/SControl.h"
#include "support/threading/SWorkerThread.h"

#include <atomic>
#include <ctime>

namespace vexo::threading {

// What the timer thread uses. Shared between the timer and its thread, so a
// timer deleted by a listener on its own thread leaves the thread a valid
// state to find the loop ended in.
struct STimerObject::Job
{
  SWorkerThread thread;
  std::atomic<bool> active{false};
  vexo::gui::SControl* control = nullptr;
  vexo::gui::SEvent event;
  unsigned interval = 0;

  void Tick()
  {
    if (!control)
      return;
    event.time = static_cast<int>(std::clock());
    if (!control->destroying)
      control->SendEvent(&event);
  }

  void Run()
  {
    while (active) {
      Tick();
      if (!active || !thread.SleepFor(static_cast<int>(interval)))
        break;
    }
  }

  // Ends the loop; waits for the thread unless called from it.
  void End()
  {
    active = false;
    if (thread.IsCurrentThread()) {
      thread.RequestStop();
      thread.Detach();
    } else {
      thread.Stop();
    }
  }
};

STimerObject::STimerObject() = default;

STimerObject::~STimerObject()
{
  if (job)
    job->End();
}

void STimerObject::Start(vexo::gui::SControl* control_, int id_, unsigned interval_)
{
  interval = interval_;
  id = id_;
  control = control_;
  if (job)
    job->End();
  job = std::make_shared<Job>();
  job->active = true;
  job->control = control;
  job->interval = interval;
  job->event.code = vexo::gui::kEventTimer;
  job->event.kind = vexo::gui::kPayloadValue;
  job->event.value = id;
  job->event.sender = control;
  // Last: from here on a listener on the new thread may delete this object.
  std::shared_ptr<Job> running = job;
  running->thread.Start([running] { running->Run(); });
}

void STimerObject::Stop()
{
  if (job)
    job->End();
  id = 0;
}

bool STimerObject::Active() const
{
  return job && job->active;
}

STimer::STimer(vexo::gui::SControl* control_, unsigned id_, unsigned spare_)
    : control(control_), spare(spare_), id(id_), object(new STimerObject())
{
}

STimer::~STimer()
{
  if (running)
    Stop();
  delete object;
}

void STimer::Start(unsigned interval_)
{
  interval = interval_;
  // Set first: a listener may stop or delete the timer from its first tick.
  running = true;
  object->Start(control, static_cast<int>(id), interval);
}

void STimer::Stop()
{
  object->Stop();
  running = false;
}

} // namespace vexo::threading
