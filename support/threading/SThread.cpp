#include "support/threading/SThread.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace vexo::threading {

// What the thread and its handle share. `finished` is set under `mutex` as
// the thread's last act (also when it is cancelled), and Cancel only calls
// pthread_cancel under the same mutex while `finished` is clear, so it never
// touches a thread id that may already have been reused.
struct SThread::Control
{
  std::mutex mutex;
  bool finished = false;
  SThreadRoutine routine = nullptr;
  void* argument = nullptr;
};

namespace {

struct FinishGuard
{
  std::shared_ptr<SThread::Control> control;
  ~FinishGuard()
  {
    std::lock_guard<std::mutex> hold(control->mutex);
    control->finished = true;
  }
};

void* Trampoline(void* raw)
{
  auto* shared = static_cast<std::shared_ptr<SThread::Control>*>(raw);
  FinishGuard guard{*shared};
  delete shared;
  // The guard's destructor also runs when cancellation unwinds the stack.
  return guard.control->routine(guard.control->argument);
}

} // namespace

SThread::SThread(int level_) : level(level_) {}

SThread::~SThread()
{
  Cancel();
}

int SThread::PriorityForLevel(int lvl, int minimum, int maximum)
{
  const int middle = minimum == maximum ? minimum : minimum + ((maximum - minimum) >> 1);
  switch (lvl) {
  case 2:
    return middle;
  case 3:
  case 4:
    return maximum;
  default:
    return minimum;
  }
}

int SThread::Start(SThreadRoutine r, void* arg)
{
  if (running)
    Cancel();
  routine = r;
  argument = arg;
  if (!routine || !argument)
    return EINVAL;

  pthread_attr_t attributes;
  int result = pthread_attr_init(&attributes);
  if (result != 0)
    return result;
  auto fail = [&](int error) {
    pthread_attr_destroy(&attributes);
    running = false;
    return error == 0 ? EINVAL : error;
  };

  int policy = 0;
  result = pthread_attr_getschedpolicy(&attributes, &policy);
  if (result != 0)
    return fail(result);
  const int minimum = sched_get_priority_min(policy);
  const int maximum = sched_get_priority_max(policy);
  if (minimum < 0 || maximum < 0)
    return fail(EINVAL);
  priority = PriorityForLevel(level, minimum, maximum);

  sched_param parameters{};
  parameters.sched_priority = priority;
  pthread_attr_setschedpolicy(&attributes, SCHED_OTHER);
  result = pthread_attr_setschedparam(&attributes, &parameters);
  if (result != 0)
    return fail(result);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);

  auto next = std::make_shared<Control>();
  next->routine = routine;
  next->argument = argument;
  auto* handOver = new std::shared_ptr<Control>(next);
  result = pthread_create(&thread, &attributes, Trampoline, handOver);
  if (result != 0) {
    delete handOver;
    return fail(result);
  }
  pthread_attr_destroy(&attributes);
  control = std::move(next);
  running = true;
  paused = false;
  return 0;
}

void SThread::Cancel()
{
  if (running && control) {
    std::lock_guard<std::mutex> hold(control->mutex);
    if (!control->finished)
      pthread_cancel(thread);
  }
  running = false;
  control.reset();
}

void SThread::Wait(int ms)
{
  paused = true;
  while (paused)
    Sleep(ms);
}

void SThread::Resume()
{
  paused = false;
}

void SThread::Sleep(int ms)
{
  usleep(static_cast<useconds_t>(ms) * 1000u);
}

int PreciseSleep(double seconds)
{
  timespec wanted{};
  wanted.tv_sec = static_cast<time_t>(seconds);
  wanted.tv_nsec = static_cast<long>((seconds - static_cast<double>(wanted.tv_sec)) * 1e9);
  timespec left{};
  int result;
  while ((result = nanosleep(&wanted, &left)) == -1 && errno == EINTR)
    wanted = left;
  return result;
}

} // namespace vexo::threading
