#include "support/threading/SWorkerThread.h"

#include <chrono>

namespace vexo::threading {

void SWorkerThread::Start(std::function<void()> job)
{
  Stop();
  if (thread.joinable()) // Stop was called from the worker itself
    thread.detach();
  {
    std::lock_guard<std::mutex> hold(mutex);
    stopRequested = false;
    woken = false;
  }
  // The job starts only once `thread` holds it, so a job that detaches its
  // own thread (its owner going away on it) finds the handle in place.
  std::lock_guard<std::mutex> starting(startMutex);
  thread = std::thread([this, job = std::move(job)] {
    {
      std::lock_guard<std::mutex> started(startMutex);
    }
    workerId = std::this_thread::get_id();
    job();
    workerId = std::thread::id();
  });
}

void SWorkerThread::RequestStop()
{
  std::lock_guard<std::mutex> hold(mutex);
  stopRequested = true;
  wakeUp.notify_all();
}

void SWorkerThread::Stop()
{
  RequestStop();
  if (thread.joinable() && !IsCurrentThread())
    thread.join();
}

void SWorkerThread::Join()
{
  if (thread.joinable() && !IsCurrentThread())
    thread.join();
}

void SWorkerThread::Detach()
{
  if (thread.joinable())
    thread.detach();
}

bool SWorkerThread::SleepFor(int ms)
{
  std::unique_lock<std::mutex> hold(mutex);
  wakeUp.wait_for(hold, std::chrono::milliseconds(ms), [this] { return stopRequested || woken; });
  woken = false;
  return !stopRequested;
}

void SWorkerThread::Wake()
{
  std::lock_guard<std::mutex> hold(mutex);
  woken = true;
  wakeUp.notify_all();
}

} // namespace vexo::threading
