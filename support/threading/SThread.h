// vexo::threading::SThread: a handle on one detached POSIX thread with a
// priority level, cancelled with pthread_cancel at its next cancellation
// point. Used for fire-and-forget jobs.
//
// Owners whose thread uses memory the owner frees must not rely on a detached
// thread having finished: they use SWorkerThread (SWorkerThread.h), which is
// stopped cooperatively and joined.
//
// Threads: the handle itself is used by one owner thread at a time; Cancel is
// safe however far the thread has got (even after it has returned).
#pragma once

#include <pthread.h>

#include <atomic>
#include <memory>

namespace vexo::threading {

using SThreadRoutine = void* (*)(void*);

class SThread
{
public:
  explicit SThread(int level);
  ~SThread();
  SThread(const SThread&) = delete;
  SThread& operator=(const SThread&) = delete;

  // Starts routine(argument) on a new detached thread; a running thread is
  // cancelled first. A null routine or argument creates nothing. Returns 0
  // on success, else the failing call's error.
  int Start(SThreadRoutine routine, void* argument);
  // Requests cancellation of a running thread; running becomes false.
  void Cancel();
  // Sets paused and sleeps ms at a time until Resume clears it.
  void Wait(int ms);
  void Resume();
  void Detach() {}

  static void Sleep(int ms);

  bool Running() const { return running; }
  bool Paused() const { return paused; }
  SThreadRoutine Routine() const { return routine; }
  void* Argument() const { return argument; }
  // The priority the last Start chose (or would have chosen).
  int Priority() const { return priority; }

  // The priority for a level within a policy's range: level 2 the middle,
  // levels 3 and 4 the maximum, every other level the minimum.
  static int PriorityForLevel(int level, int minimum, int maximum);

  struct Control;

private:
  SThreadRoutine routine = nullptr;
  void* argument = nullptr;
  std::atomic<bool> paused{false};
  int level = 0;
  bool running = false;
  pthread_t thread{};
  int priority = 0;
  // Shared with the thread so that Cancel can tell whether it has finished.
  std::shared_ptr<Control> control;
};

// Sleeps the given seconds with nanosleep, resuming after signals with the
// time that is left. Returns the last nanosleep result.
int PreciseSleep(double seconds);

} // namespace vexo::threading
