#include "support/threading/SMutex.h"

#include <time.h>

#include <cerrno>

namespace vexo::threading {

SMutexOS::SMutexOS() { valid = pthread_mutex_init(&mutex, nullptr) == 0; }

SMutexOS::~SMutexOS()
{
  if (locked)
    Unlock();
  if (valid)
    pthread_mutex_destroy(&mutex);
}

void SMutexOS::Lock()
{
  const int result = pthread_mutex_lock(&mutex);
  if (result != EINVAL && result != EDEADLK)
    locked = true;
}

void SMutexOS::Unlock()
{
  const int result = pthread_mutex_unlock(&mutex);
  if (result != EPERM && result != EINVAL)
    locked = false;
}

SMutexID::~SMutexID()
{
  if (held)
    Unlock();
}

void SMutexID::Lock() noexcept
{
  // Taken when this caller's increment is the only one; otherwise step back,
  // yield and try again.
  while (counter.fetch_add(1, std::memory_order_acquire) + 1 != 1) {
    counter.fetch_sub(1, std::memory_order_relaxed);
    timespec zero{0, 0};
    nanosleep(&zero, nullptr);
  }
  held = true;
}

void SMutexID::Unlock() noexcept
{
  held = false;
  counter.fetch_sub(1, std::memory_order_release);
}

} // namespace vexo::threading
