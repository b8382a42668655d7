#include "support/threading/SMutex.h"

#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vexo::threading {

namespace {

void Report(const char* what, int error)
{
  std::fprintf(stderr, "SMutexOS: %s failed: %s\n", what, std::strerror(error));
}

} // namespace

SMutexOS::SMutexOS()
{
  pthread_mutexattr_t attributes;
  int result = pthread_mutexattr_init(&attributes);
  if (result == 0) {
    result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
    if (result == 0)
      result = pthread_mutex_init(&mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
  }
  valid = result == 0;
  if (!valid)
    Report("pthread_mutex_init", result);
}

SMutexOS::~SMutexOS()
{
  if (!valid)
    return;
  if (locked && !HeldByCaller()) {
    // Another thread is inside the lock. Unlocking would let a third thread
    // in beside it and destroying a held mutex is undefined: leave it.
    std::fputs("SMutexOS: destroyed while another thread holds it; left locked\n", stderr);
    return;
  }
  if (locked)
    Unlock();
  const int result = pthread_mutex_destroy(&mutex);
  if (result != 0)
    Report("pthread_mutex_destroy", result);
}

bool SMutexOS::Lock()
{
  if (!valid) {
    Report("pthread_mutex_lock", EINVAL);
    return false;
  }
  const int result = pthread_mutex_lock(&mutex);
  if (result != 0) {
    Report("pthread_mutex_lock", result);
    return false;
  }
  owner = pthread_self();
  locked = true;
  return true;
}

bool SMutexOS::Unlock()
{
  if (!valid)
    return false;
  if (!HeldByCaller()) {
    Report("pthread_mutex_unlock", EPERM);
    return false;
  }
  // Cleared before the unlock: once it is released another thread may lock
  // it and set the flag again.
  locked = false;
  const int result = pthread_mutex_unlock(&mutex);
  if (result != 0) {
    locked = true;
    Report("pthread_mutex_unlock", result);
    return false;
  }
  return true;
}

bool SMutexOS::HeldByCaller() const
{
  return locked && pthread_equal(owner.load(), pthread_self());
}

SMutexID::~SMutexID()
{
  if (held)
    Unlock();
}

bool SMutexID::Lock() noexcept
{
  // Taken when this caller's increment is the only one; otherwise step back,
  // yield and try again.
  while (counter.fetch_add(1, std::memory_order_acquire) + 1 != 1) {
    counter.fetch_sub(1, std::memory_order_relaxed);
    timespec zero{0, 0};
    nanosleep(&zero, nullptr);
  }
  held = true;
  return true;
}

bool SMutexID::TryLock() noexcept
{
  // Sequentially consistent, like Unlock: a thread that leaves a request
  // before a failed TryLock is then sure the holder sees it after Unlock.
  int32_t expected = 0;
  if (!counter.compare_exchange_strong(expected, 1))
    return false;
  held = true;
  return true;
}

bool SMutexID::Unlock() noexcept
{
  held = false;
  counter.fetch_sub(1);
  return true;
}

} // namespace vexo::threading
