// vexo::threading::SWorkerThread: a joinable thread that is stopped
// cooperatively. The routine sleeps through SleepFor, which returns false as
// soon as a stop has been requested; Stop requests it and waits for the
// thread to end. An owner that frees what its thread uses (the plug-in object
// under a countdown, the library under the idle thread) stops the worker first
// and so knows that no code of the thread runs afterwards.
//
// Threads: Start, Stop and Join are called by the owner; RequestStop and Wake
// from any thread; SleepFor only from the worker itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vexo::threading {

class SWorkerThread
{
public:
  SWorkerThread() = default;
  ~SWorkerThread() { Stop(); }
  SWorkerThread(const SWorkerThread&) = delete;
  SWorkerThread& operator=(const SWorkerThread&) = delete;

  // Stops a previous run, then runs job on a new thread.
  void Start(std::function<void()> job);
  // Asks the running job to end; it sees the request at its next SleepFor.
  void RequestStop();
  // Requests a stop and waits until the thread has ended. Called from the
  // worker itself it only requests the stop (a thread cannot join itself).
  void Stop();
  // Waits for a job that ends by itself.
  void Join();
  // Lets the thread finish on its own. For an owner that goes away on the
  // worker itself (after RequestStop): a thread cannot join itself.
  void Detach();

  // Sleeps up to ms milliseconds; false when a stop was requested.
  bool SleepFor(int ms);
  // Ends the current SleepFor early without stopping (SleepFor returns true).
  void Wake();

  bool StopRequested() const { return stopRequested.load(); }
  bool Joinable() const { return thread.joinable(); }
  bool IsCurrentThread() const { return workerId.load() == std::this_thread::get_id(); }

private:
  std::thread thread;
  std::mutex mutex;
  std::mutex startMutex;
  std::condition_variable wakeUp;
  std::atomic<bool> stopRequested{false};
  // Set by the worker itself for the length of its job, so that any thread
  // may ask without reading `thread`, which the owner writes.
  std::atomic<std::thread::id> workerId{};
  bool woken = false;
};

} // namespace vexo::threading
