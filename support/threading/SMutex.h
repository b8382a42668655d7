// vexo::threading locks.
//
// SMutexOS: the blocking lock (a POSIX mutex) for state shared with host
// threads: the plug-in's editor-open flag, the shared resources, dialogs.
// The mutex checks its owner: a second Lock by the holder fails with
// EDEADLK instead of hanging, and an Unlock by a thread that does not hold
// it fails with EPERM instead of letting a third thread in beside the
// holder. Failures are returned and written as one line to standard error.
//
// SMutexID: a yielding spin lock on an atomic counter, for holders that only
// do a short, fixed amount of work (the engine's timer lock, event
// dispatch). Lock yields with a zero-length sleep while another thread holds
// it, so a thread that must never wait (the audio thread) uses TryLock,
// which never enters the kernel.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

namespace vexo::threading {

class SMutexBase
{
public:
  virtual ~SMutexBase() = default;
  // True when the caller now holds the lock.
  virtual bool Lock() = 0;
  // True when the caller held the lock and has let it go.
  virtual bool Unlock() = 0;
};

class SMutexOS : public SMutexBase
{
public:
  SMutexOS();
  // Unlocks first when the destroying thread holds the mutex. When another
  // thread holds it, neither unlocks nor destroys it (that thread is inside
  // its critical section) and says so on standard error.
  ~SMutexOS() override;
  SMutexOS(const SMutexOS&) = delete;
  SMutexOS& operator=(const SMutexOS&) = delete;

  // False (the mutex not taken) when the mutex is not valid or the lock
  // fails, for example when the caller already holds it.
  bool Lock() override;
  // False (nothing changed) when the caller does not hold the mutex.
  bool Unlock() override;

  // Some thread holds the mutex through this object.
  bool Locked() const { return locked; }
  // The calling thread holds it.
  bool HeldByCaller() const;
  bool Valid() const { return valid; }

private:
  pthread_mutex_t mutex;
  // Written by the holder only: `owner` before `locked` is set, so that a
  // thread that sees `locked` also sees who holds it.
  std::atomic<bool> locked{false};
  std::atomic<pthread_t> owner{};
  bool valid = false;
};

class SMutexID : public SMutexBase
{
public:
  SMutexID() = default;
  ~SMutexID() override;
  SMutexID(const SMutexID&) = delete;
  SMutexID& operator=(const SMutexID&) = delete;

  // Always takes the lock (true), yielding while another thread holds it.
  bool Lock() noexcept override;
  // Takes the lock only when nobody holds or is taking it; never waits.
  bool TryLock() noexcept;
  bool Unlock() noexcept override;

  int32_t Counter() const { return counter.load(); }
  bool Held() const { return held.load(); }

private:
  std::atomic<int32_t> counter{0};
  std::atomic<bool> held{false};
};

// Holds a lock for a scope; lets it go only when it got it.
class SLockGuard
{
public:
  explicit SLockGuard(SMutexBase& lock_) : lock(lock_), owns(lock_.Lock()) {}
  ~SLockGuard()
  {
    if (owns)
      lock.Unlock();
  }
  SLockGuard(const SLockGuard&) = delete;
  SLockGuard& operator=(const SLockGuard&) = delete;

  bool OwnsLock() const { return owns; }

private:
  SMutexBase& lock;
  const bool owns;
};

} // namespace vexo::threading
