// vexo::threading::STimerIdle and the idle registry: one shared idle thread
// per loaded library that calls every registered {data, function} pair, then
// sleeps for its interval (the interval of the STimerIdle that started it).
// The editor registers its refresh here (every 22 ms).
//
// Threads: timers are created and destroyed on host threads; the registered
// functions run on the idle thread. Registration, removal and the walk are
// serialised by the registry's lock, which is never held while a function
// runs. Removing a pair waits until a call of that pair in progress on the
// idle thread has returned, so its data may be freed right afterwards.
#pragma once

#include <cstddef>

namespace vexo::threading {

using SIdleFunction = void (*)(void*);

// One registered pair: the data handed to the function, and where the
// function pointer lives (the owner may change it in place).
struct SIdleData
{
  void* data = nullptr;
  SIdleFunction* function = nullptr;

  bool operator==(const SIdleData& other) const
  {
    return data == other.data && function == other.function;
  }
};

class STimerIdle
{
public:
  // Starts the shared idle thread if it is not running. owner is whoever
  // made the timer (the toolkit passes its control); it is only kept.
  STimerIdle(void* owner, int id, int interval, bool flag);
  // Removes this timer's pair; the last removal stops the idle thread.
  ~STimerIdle();
  STimerIdle(const STimerIdle&) = delete;
  STimerIdle& operator=(const STimerIdle&) = delete;

  // Records the pair and appends it to the registry unless it is there.
  void SetFunction(SIdleFunction* function, void* data);
  // Removes the recorded pair from the registry (as the destructor does,
  // waiting for a call of it in progress); the last removal stops the idle
  // thread. Nothing when no pair is recorded.
  void RemoveFunction();

  // Starts the idle thread's loop with the interval of the given timer
  // (the first timer fixes the period for all). A null timer does nothing.
  static void* timercallback(void* timer);

  void* Owner() const { return owner; }
  int Id() const { return id; }

private:
  void* owner;
  SIdleFunction* function = nullptr;
  void* data = nullptr;
  int id;
  int interval;
  bool flag;
};

// Read-only views of the registry, for diagnostics and tests.
size_t IdleEntryCount();
bool IdleThreadRunning();
bool OnIdleThread();

} // namespace vexo::threading
