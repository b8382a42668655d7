#include "support/threading/STimerIdle.h"

#include "support/threading/SWorkerThread.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace vexo::threading {

namespace {

// The shared registry. `idledata` and `idletimerrunning` change only under
// `lock`; `calling` is the pair whose function the idle thread runs right now
// (set and cleared under `lock`, the call itself made without it), so that a
// removal can wait for that call to end.
struct IdleRegistry
{
  std::mutex lock;
  // Serialises starting the thread (which joins a thread told to stop).
  std::mutex startLock;
  std::condition_variable callEnded;
  std::vector<SIdleData> idledata;
  bool idletimerrunning = false;
  SIdleData calling;
  SWorkerThread idlethread;

  ~IdleRegistry() { idlethread.Stop(); }
};

IdleRegistry& Registry()
{
  // Destroyed at unload, which stops and joins the idle thread before the
  // library's code goes away.
  static IdleRegistry registry;
  return registry;
}

void RunIdleLoop(int interval)
{
  IdleRegistry& registry = Registry();
  do {
    for (size_t i = 0;; ++i) {
      SIdleData entry;
      {
        std::lock_guard<std::mutex> hold(registry.lock);
        if (i >= registry.idledata.size())
          break;
        entry = registry.idledata[i];
        registry.calling = entry;
      }
      if (entry.function && *entry.function)
        (*entry.function)(entry.data);
      std::lock_guard<std::mutex> hold(registry.lock);
      registry.calling = SIdleData{};
      registry.callEnded.notify_all();
    }
  } while (registry.idlethread.SleepFor(interval));
}

} // namespace

STimerIdle::STimerIdle(void* owner_, int id_, int interval_, bool flag_)
    : owner(owner_), id(id_), interval(interval_), flag(flag_)
{
  IdleRegistry& registry = Registry();
  std::lock_guard<std::mutex> starting(registry.startLock);
  {
    std::lock_guard<std::mutex> hold(registry.lock);
    if (registry.idletimerrunning)
      return;
    registry.idletimerrunning = true;
  }
  // A thread that was told to stop ends within one pass; Start waits for it.
  timercallback(this);
}

STimerIdle::~STimerIdle()
{
  RemoveFunction();
}

void STimerIdle::RemoveFunction()
{
  if (!function)
    return;
  IdleRegistry& registry = Registry();
  const SIdleData own{data, function};
  std::unique_lock<std::mutex> hold(registry.lock);
  auto found = std::find(registry.idledata.begin(), registry.idledata.end(), own);
  if (found != registry.idledata.end())
    registry.idledata.erase(found);
  if (!registry.idlethread.IsCurrentThread())
    registry.callEnded.wait(hold, [&] { return !(registry.calling == own); });
  if (registry.idletimerrunning && registry.idledata.empty()) {
    registry.idletimerrunning = false;
    registry.idlethread.RequestStop();
  }
  function = nullptr;
  data = nullptr;
}

void STimerIdle::SetFunction(SIdleFunction* function_, void* data_)
{
  function = function_;
  data = data_;
  IdleRegistry& registry = Registry();
  std::lock_guard<std::mutex> starting(registry.startLock);
  bool start = false;
  {
    std::lock_guard<std::mutex> hold(registry.lock);
    const SIdleData pair{data, function};
    if (std::find(registry.idledata.begin(), registry.idledata.end(), pair) ==
        registry.idledata.end())
      registry.idledata.push_back(pair);
    // Another timer's removal may have stopped the thread between this
    // timer's creation and its registration.
    if (!registry.idletimerrunning) {
      registry.idletimerrunning = true;
      start = true;
    }
  }
  if (start)
    timercallback(this);
}

void* STimerIdle::timercallback(void* timer)
{
  if (!timer)
    return nullptr;
  const int period = static_cast<STimerIdle*>(timer)->interval;
  Registry().idlethread.Start([period] { RunIdleLoop(period); });
  return nullptr;
}

size_t IdleEntryCount()
{
  IdleRegistry& registry = Registry();
  std::lock_guard<std::mutex> hold(registry.lock);
  return registry.idledata.size();
}

bool IdleThreadRunning()
{
  IdleRegistry& registry = Registry();
  std::lock_guard<std::mutex> hold(registry.lock);
  return registry.idletimerrunning;
}

bool OnIdleThread()
{
  return Registry().idlethread.IsCurrentThread();
}

} // namespace vexo::threading
