// vexo::threading locks.
//
// SMutexOS: the blocking lock (a POSIX mutex) for state shared with host
// threads: the plug-in's editor-open flag, the shared resources, dialogs.
//
// SMutexID: a yielding spin lock on an atomic counter, for holders that only
// do a short, fixed amount of work (the held-note table, event dispatch). It
// never enters the kernel except for a zero-length sleep that yields, so the
// audio thread may take it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

namespace vexo::threading {

class SMutexBase
{
public:
  virtual ~SMutexBase() = default;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

class SMutexOS : public SMutexBase
{
public:
  SMutexOS();
  ~SMutexOS() override;
  SMutexOS(const SMutexOS&) = delete;
  SMutexOS& operator=(const SMutexOS&) = delete;

  void Lock() override;
  void Unlock() override;

  bool Locked() const { return locked; }
  bool Valid() const { return valid; }

private:
  pthread_mutex_t mutex;
  std::atomic<bool> locked{false};
  bool valid = false;
};

class SMutexID : public SMutexBase
{
public:
  SMutexID() = default;
  ~SMutexID() override;
  SMutexID(const SMutexID&) = delete;
  SMutexID& operator=(const SMutexID&) = delete;

  void Lock() noexcept override;
  void Unlock() noexcept override;

  int32_t Counter() const { return counter.load(); }
  bool Held() const { return held.load(); }

private:
  std::atomic<int32_t> counter{0};
  std::atomic<bool> held{false};
};

// Holds a lock for a scope.
class SLockGuard
{
public:
  explicit SLockGuard(SMutexBase& lock_) : lock(lock_) { lock.Lock(); }
  ~SLockGuard() { lock.Unlock(); }
  SLockGuard(const SLockGuard&) = delete;
  SLockGuard& operator=(const SLockGuard&) = delete;

private:
  SMutexBase& lock;
};

} // namespace vexo::threading
