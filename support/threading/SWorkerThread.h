// vexo::threading::SWorkerThread: a joinable thread that is stopped
// cooperatively. The job sleeps through SleepFor, which returns false as soon
// as a stop has been requested and returns early when another thread calls
// Wake. Stop requests the end and waits for the thread, so an owner that
// frees what its thread uses (the plug-in under a countdown, the library
// under the idle thread) knows that no code of the thread runs afterwards.
//
// Wake and RequestStop post a semaphore: they never block, never allocate
// and take no lock, so the audio thread may call them.
//
// Threads: Start, Stop and Join are called by the owner; RequestStop and
// Wake from any thread; SleepFor only from the worker itself.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace vexo::threading {

class SWorkerThread
{
public:
  SWorkerThread();
  ~SWorkerThread();
  SWorkerThread(const SWorkerThread&) = delete;
  SWorkerThread& operator=(const SWorkerThread&) = delete;

  // Stops a previous run, then runs job on a new thread.
  void Start(std::function<void()> job);
  // Asks the running job to end; it sees the request at its next SleepFor.
  void RequestStop() noexcept;
  // Requests a stop and waits until the thread has ended. Called from the
  // worker itself it only requests the stop (a thread cannot join itself).
  void Stop();
  // Waits for a job that ends by itself.
  void Join();
  // Lets the thread finish on its own. For an owner that goes away on the
  // worker itself (after RequestStop): a thread cannot join itself.
  void Detach();

  // Sleeps up to ms milliseconds (for ever when ms is negative) or until a
  // Wake; false when a stop was requested.
  bool SleepFor(int ms);
  // Ends the current (or the next) SleepFor early.
  void Wake() noexcept;

  bool StopRequested() const { return stopRequested.load(); }
  bool IsCurrentThread() const { return workerId.load() == std::this_thread::get_id(); }

private:
  std::thread thread;
  // Held while `thread` is assigned; the job waits for it before it runs.
  std::mutex startMutex;
  // Set by the worker itself for the length of its job, so that any thread
  // may ask whether it is the worker without reading `thread`, which the
  // owner writes while the worker may already run.
  std::atomic<std::thread::id> workerId{};
  sem_t wakeups;
  std::atomic<bool> stopRequested{false};
};

} // namespace vexo::threading
