#include "support/threading/SWorkerThread.h"

#include <time.h>

#include <cerrno>

namespace vexo::threading {

SWorkerThread::SWorkerThread() { sem_init(&wakeups, 0, 0); }

SWorkerThread::~SWorkerThread()
{
  Stop();
  if (thread.joinable())
    thread.detach(); // destroyed by its own job: it ends right after
  sem_destroy(&wakeups);
}

void SWorkerThread::Start(std::function<void()> job)
{
  Stop();
  if (thread.joinable()) // Stop was called from the worker itself
    thread.detach();
  // Wake-ups meant for the previous run do not carry over.
  while (sem_trywait(&wakeups) == 0) {
  }
  stopRequested = false;
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

void SWorkerThread::RequestStop() noexcept
{
  stopRequested = true;
  sem_post(&wakeups);
}

void SWorkerThread::Stop()
{
  RequestStop();
  Join();
}

void SWorkerThread::Join()
{
  if (thread.joinable() && !IsCurrentThread()) {
    thread.join();
    workerId = std::thread::id();
  }
}

void SWorkerThread::Detach()
{
  if (thread.joinable())
    thread.detach();
}

bool SWorkerThread::SleepFor(int ms)
{
  if (stopRequested)
    return false;
  if (ms < 0) {
    while (sem_wait(&wakeups) == -1 && errno == EINTR) {
    }
  } else {
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    while (sem_timedwait(&wakeups, &deadline) == -1 && errno == EINTR) {
    }
  }
  return !stopRequested;
}

void SWorkerThread::Wake() noexcept { sem_post(&wakeups); }

} // namespace vexo::threading
