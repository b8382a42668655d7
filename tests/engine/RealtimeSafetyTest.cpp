// The audio path never allocates, waits, sleeps, yields or enters the kernel
// (posting a semaphore aside). This program replaces the allocator, the
// sleeps, the locks, the condition variables, the semaphore waits and a few
// plain system calls of the C library with counting versions (the plug-in,
// loaded through the host layer, binds to them too) and counts what the
// audio thread calls while it is inside the plug-in, under every kind of
// traffic another thread can cause at the same time.
#include "engine/VSTPlugin.h"
#include "files/FileBytes.h"
#include "model/Parameters.h"
#include "model/SysEx.h"
#include "model/VSTPluginProgram.h"
#include "tests/lv2/EditionPair.h"
#include "tests/testsupport/PluginFixture.h"
#include "tests/testsupport/WaitFor.h"

#include <lv2/atom/atom.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

// The interposers must be seen by the plug-in's library; the build hides
// what it does not mark.
#define QUILLET_INTERPOSER __attribute__((visibility("default")))

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {

// What is counted, by the name of the function (or operator) called.
enum Call
{
  kMalloc,
  kCalloc,
  kRealloc,
  kFree,
  kPosixMemalign,
  kAlignedAlloc,
  kNew,
  kDelete,
  kNanosleep,
  kClockNanosleep,
  kUsleep,
  kSleep,
  kSchedYield,
  kMutexLock,
  kMutexTrylock,
  kMutexTimedlock,
  kMutexUnlock,
  kSpinLock,
  kSpinTrylock,
  kRwlockRdlock,
  kRwlockWrlock,
  kCondWait,
  kCondTimedwait,
  kCondClockwait,
  kCondSignal,
  kCondBroadcast,
  kSemWait,
  kSemTimedwait,
  kSemClockwait,
  kSemTrywait,
  kWrite,
  kRead,
  kPoll,
  kSyscall,
  kCalls
};

const char* const kNames[kCalls] = {"malloc",
                                    "calloc",
                                    "realloc",
                                    "free",
                                    "posix_memalign",
                                    "aligned_alloc",
                                    "operator new",
                                    "operator delete",
                                    "nanosleep",
                                    "clock_nanosleep",
                                    "usleep",
                                    "sleep",
                                    "sched_yield",
                                    "pthread_mutex_lock",
                                    "pthread_mutex_trylock",
                                    "pthread_mutex_timedlock",
                                    "pthread_mutex_unlock",
                                    "pthread_spin_lock",
                                    "pthread_spin_trylock",
                                    "pthread_rwlock_rdlock",
                                    "pthread_rwlock_wrlock",
                                    "pthread_cond_wait",
                                    "pthread_cond_timedwait",
                                    "pthread_cond_clockwait",
                                    "pthread_cond_signal",
                                    "pthread_cond_broadcast",
                                    "sem_wait",
                                    "sem_timedwait",
                                    "sem_clockwait",
                                    "sem_trywait",
                                    "write",
                                    "read",
                                    "poll",
                                    "syscall"};

// Set on the audio thread while it runs the plug-in's audio path.
thread_local bool measuring = false;
std::atomic<int> counts[kCalls];

void Count(Call call)
{
  if (measuring && !qhost::InHostCallback())
    counts[call].fetch_add(1, std::memory_order_relaxed);
}

void ResetCounts()
{
  for (auto& count : counts)
    count = 0;
}

// "name xN " for every function that was called, or "nothing".
std::string Counted()
{
  std::string text;
  for (int call = 0; call < kCalls; ++call) {
    if (counts[call] > 0)
      text += std::string(kNames[call]) + " x" + std::to_string(counts[call].load()) + " ";
  }
  return text.empty() ? "nothing" : text;
}

// The C library's own version of an interposed function, looked up once.
// Every one is looked up before main (dlsym may allocate), see below.
template <typename Function> class Next
{
public:
  // Constant-initialised, so that it works before any constructor has run.
  constexpr explicit Next(const char* name_) : name(name_) {}
  Function operator*()
  {
    void* function = pointer.load(std::memory_order_acquire);
    if (!function) {
      function = dlsym(RTLD_NEXT, name);
      pointer.store(function, std::memory_order_release);
    }
    return reinterpret_cast<Function>(function);
  }

private:
  const char* name;
  std::atomic<void*> pointer{nullptr};
};

Next<int (*)(void**, size_t, size_t)> nextPosixMemalign("posix_memalign");
Next<void* (*)(size_t, size_t)> nextAlignedAlloc("aligned_alloc");
Next<int (*)(const timespec*, timespec*)> nextNanosleep("nanosleep");
Next<int (*)(clockid_t, int, const timespec*, timespec*)> nextClockNanosleep("clock_nanosleep");
Next<int (*)(useconds_t)> nextUsleep("usleep");
Next<unsigned (*)(unsigned)> nextSleep("sleep");
Next<int (*)()> nextSchedYield("sched_yield");
Next<int (*)(pthread_mutex_t*)> nextMutexLock("pthread_mutex_lock");
Next<int (*)(pthread_mutex_t*)> nextMutexTrylock("pthread_mutex_trylock");
Next<int (*)(pthread_mutex_t*, const timespec*)> nextMutexTimedlock("pthread_mutex_timedlock");
Next<int (*)(pthread_mutex_t*)> nextMutexUnlock("pthread_mutex_unlock");
Next<int (*)(pthread_spinlock_t*)> nextSpinLock("pthread_spin_lock");
Next<int (*)(pthread_spinlock_t*)> nextSpinTrylock("pthread_spin_trylock");
Next<int (*)(pthread_rwlock_t*)> nextRwlockRdlock("pthread_rwlock_rdlock");
Next<int (*)(pthread_rwlock_t*)> nextRwlockWrlock("pthread_rwlock_wrlock");
Next<int (*)(pthread_cond_t*, pthread_mutex_t*)> nextCondWait("pthread_cond_wait");
Next<int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*)>
    nextCondTimedwait("pthread_cond_timedwait");
Next<int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*)>
    nextCondClockwait("pthread_cond_clockwait");
Next<int (*)(pthread_cond_t*)> nextCondSignal("pthread_cond_signal");
Next<int (*)(pthread_cond_t*)> nextCondBroadcast("pthread_cond_broadcast");
Next<int (*)(sem_t*)> nextSemWait("sem_wait");
Next<int (*)(sem_t*, const timespec*)> nextSemTimedwait("sem_timedwait");
Next<int (*)(sem_t*, clockid_t, const timespec*)> nextSemClockwait("sem_clockwait");
Next<int (*)(sem_t*)> nextSemTrywait("sem_trywait");
Next<ssize_t (*)(int, const void*, size_t)> nextWrite("write");
Next<ssize_t (*)(int, void*, size_t)> nextRead("read");
Next<int (*)(pollfd*, nfds_t, int)> nextPoll("poll");
Next<long (*)(long, ...)> nextSyscall("syscall");

// Looks every function up before the tests run.
const bool resolvedEarly = [] {
  static_cast<void>(*nextPosixMemalign);
  static_cast<void>(*nextAlignedAlloc);
  static_cast<void>(*nextNanosleep);
  static_cast<void>(*nextClockNanosleep);
  static_cast<void>(*nextUsleep);
  static_cast<void>(*nextSleep);
  static_cast<void>(*nextSchedYield);
  static_cast<void>(*nextMutexLock);
  static_cast<void>(*nextMutexTrylock);
  static_cast<void>(*nextMutexTimedlock);
  static_cast<void>(*nextMutexUnlock);
  static_cast<void>(*nextSpinLock);
  static_cast<void>(*nextSpinTrylock);
  static_cast<void>(*nextRwlockRdlock);
  static_cast<void>(*nextRwlockWrlock);
  static_cast<void>(*nextCondWait);
  static_cast<void>(*nextCondTimedwait);
  static_cast<void>(*nextCondClockwait);
  static_cast<void>(*nextCondSignal);
  static_cast<void>(*nextCondBroadcast);
  static_cast<void>(*nextSemWait);
  static_cast<void>(*nextSemTimedwait);
  static_cast<void>(*nextSemClockwait);
  static_cast<void>(*nextSemTrywait);
  static_cast<void>(*nextWrite);
  static_cast<void>(*nextRead);
  static_cast<void>(*nextPoll);
  static_cast<void>(*nextSyscall);
  return true;
}();

void* AlignedNew(size_t size, std::align_val_t alignment)
{
  void* pointer = nullptr;
  const size_t align = std::max(static_cast<size_t>(alignment), sizeof(void*));
  if ((*nextPosixMemalign)(&pointer, align, size ? size : 1) != 0)
    throw std::bad_alloc();
  return pointer;
}

} // namespace

// ------------------------------------------------------------ allocation

extern "C" {

QUILLET_INTERPOSER void* malloc(size_t size)
{
  Count(kMalloc);
  return __libc_malloc(size);
}

QUILLET_INTERPOSER void* calloc(size_t count, size_t size)
{
  Count(kCalloc);
  return __libc_calloc(count, size);
}

QUILLET_INTERPOSER void* realloc(void* pointer, size_t size)
{
  Count(kRealloc);
  return __libc_realloc(pointer, size);
}

QUILLET_INTERPOSER void free(void* pointer)
{
  if (pointer)
    Count(kFree);
  __libc_free(pointer);
}

QUILLET_INTERPOSER int posix_memalign(void** pointer, size_t alignment, size_t size)
{
  Count(kPosixMemalign);
  return (*nextPosixMemalign)(pointer, alignment, size);
}

QUILLET_INTERPOSER void* aligned_alloc(size_t alignment, size_t size)
{
  Count(kAlignedAlloc);
  return (*nextAlignedAlloc)(alignment, size);
}

} // extern "C"

QUILLET_INTERPOSER void* operator new(size_t size)
{
  Count(kNew);
  if (void* pointer = __libc_malloc(size ? size : 1))
    return pointer;
  throw std::bad_alloc();
}
QUILLET_INTERPOSER void* operator new[](size_t size)
{
  Count(kNew);
  if (void* pointer = __libc_malloc(size ? size : 1))
    return pointer;
  throw std::bad_alloc();
}
QUILLET_INTERPOSER void* operator new(size_t size, const std::nothrow_t&) noexcept
{
  Count(kNew);
  return __libc_malloc(size ? size : 1);
}
QUILLET_INTERPOSER void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
  Count(kNew);
  return __libc_malloc(size ? size : 1);
}
QUILLET_INTERPOSER void* operator new(size_t size, std::align_val_t alignment)
{
  Count(kNew);
  return AlignedNew(size, alignment);
}
QUILLET_INTERPOSER void* operator new[](size_t size, std::align_val_t alignment)
{
  Count(kNew);
  return AlignedNew(size, alignment);
}
QUILLET_INTERPOSER void operator delete(void* pointer) noexcept
{
  if (pointer)
    Count(kDelete);
  __libc_free(pointer);
}
QUILLET_INTERPOSER void operator delete[](void* pointer) noexcept
{
  if (pointer)
    Count(kDelete);
  __libc_free(pointer);
}
QUILLET_INTERPOSER void operator delete(void* pointer, size_t) noexcept
{
  operator delete(pointer);
}
QUILLET_INTERPOSER void operator delete[](void* pointer, size_t) noexcept
{
  operator delete[](pointer);
}
QUILLET_INTERPOSER void operator delete(void* pointer, std::align_val_t) noexcept
{
  operator delete(pointer);
}
QUILLET_INTERPOSER void operator delete[](void* pointer, std::align_val_t) noexcept
{
  operator delete[](pointer);
}
QUILLET_INTERPOSER void operator delete(void* pointer, size_t, std::align_val_t) noexcept
{
  operator delete(pointer);
}
QUILLET_INTERPOSER void operator delete[](void* pointer, size_t, std::align_val_t) noexcept
{
  operator delete[](pointer);
}

// --------------------------------------------------- waits and the kernel

extern "C" {

QUILLET_INTERPOSER int nanosleep(const timespec* request, timespec* remaining)
{
  Count(kNanosleep);
  return (*nextNanosleep)(request, remaining);
}

QUILLET_INTERPOSER int clock_nanosleep(clockid_t clock, int flags, const timespec* request,
                                       timespec* remaining)
{
  Count(kClockNanosleep);
  return (*nextClockNanosleep)(clock, flags, request, remaining);
}

QUILLET_INTERPOSER int usleep(useconds_t microseconds)
{
  Count(kUsleep);
  return (*nextUsleep)(microseconds);
}

QUILLET_INTERPOSER unsigned sleep(unsigned seconds)
{
  Count(kSleep);
  return (*nextSleep)(seconds);
}

QUILLET_INTERPOSER int sched_yield()
{
  Count(kSchedYield);
  return (*nextSchedYield)();
}

QUILLET_INTERPOSER int pthread_mutex_lock(pthread_mutex_t* mutex)
{
  Count(kMutexLock);
  return (*nextMutexLock)(mutex);
}

QUILLET_INTERPOSER int pthread_mutex_trylock(pthread_mutex_t* mutex)
{
  Count(kMutexTrylock);
  return (*nextMutexTrylock)(mutex);
}

QUILLET_INTERPOSER int pthread_mutex_timedlock(pthread_mutex_t* mutex, const timespec* deadline)
{
  Count(kMutexTimedlock);
  return (*nextMutexTimedlock)(mutex, deadline);
}

QUILLET_INTERPOSER int pthread_mutex_unlock(pthread_mutex_t* mutex)
{
  Count(kMutexUnlock);
  return (*nextMutexUnlock)(mutex);
}

QUILLET_INTERPOSER int pthread_spin_lock(pthread_spinlock_t* lock)
{
  Count(kSpinLock);
  return (*nextSpinLock)(lock);
}

QUILLET_INTERPOSER int pthread_spin_trylock(pthread_spinlock_t* lock)
{
  Count(kSpinTrylock);
  return (*nextSpinTrylock)(lock);
}

QUILLET_INTERPOSER int pthread_rwlock_rdlock(pthread_rwlock_t* lock)
{
  Count(kRwlockRdlock);
  return (*nextRwlockRdlock)(lock);
}

QUILLET_INTERPOSER int pthread_rwlock_wrlock(pthread_rwlock_t* lock)
{
  Count(kRwlockWrlock);
  return (*nextRwlockWrlock)(lock);
}

QUILLET_INTERPOSER int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex)
{
  Count(kCondWait);
  return (*nextCondWait)(condition, mutex);
}

QUILLET_INTERPOSER int pthread_cond_timedwait(pthread_cond_t* condition, pthread_mutex_t* mutex,
                                              const timespec* deadline)
{
  Count(kCondTimedwait);
  return (*nextCondTimedwait)(condition, mutex, deadline);
}

QUILLET_INTERPOSER int pthread_cond_clockwait(pthread_cond_t* condition, pthread_mutex_t* mutex,
                                              clockid_t clock, const timespec* deadline)
{
  Count(kCondClockwait);
  return (*nextCondClockwait)(condition, mutex, clock, deadline);
}

QUILLET_INTERPOSER int pthread_cond_signal(pthread_cond_t* condition)
{
  Count(kCondSignal);
  return (*nextCondSignal)(condition);
}

QUILLET_INTERPOSER int pthread_cond_broadcast(pthread_cond_t* condition)
{
  Count(kCondBroadcast);
  return (*nextCondBroadcast)(condition);
}

QUILLET_INTERPOSER int sem_wait(sem_t* semaphore)
{
  Count(kSemWait);
  return (*nextSemWait)(semaphore);
}

QUILLET_INTERPOSER int sem_timedwait(sem_t* semaphore, const timespec* deadline)
{
  Count(kSemTimedwait);
  return (*nextSemTimedwait)(semaphore, deadline);
}

QUILLET_INTERPOSER int sem_clockwait(sem_t* semaphore, clockid_t clock, const timespec* deadline)
{
  Count(kSemClockwait);
  return (*nextSemClockwait)(semaphore, clock, deadline);
}

QUILLET_INTERPOSER int sem_trywait(sem_t* semaphore)
{
  Count(kSemTrywait);
  return (*nextSemTrywait)(semaphore);
}

QUILLET_INTERPOSER ssize_t write(int file, const void* data, size_t size)
{
  Count(kWrite);
  return (*nextWrite)(file, data, size);
}

QUILLET_INTERPOSER ssize_t read(int file, void* data, size_t size)
{
  Count(kRead);
  return (*nextRead)(file, data, size);
}

QUILLET_INTERPOSER int poll(pollfd* files, nfds_t count, int timeout)
{
  Count(kPoll);
  return (*nextPoll)(files, count, timeout);
}

QUILLET_INTERPOSER long syscall(long number, ...)
{
  Count(kSyscall);
  va_list arguments;
  va_start(arguments, number);
  long a[6];
  for (long& argument : a)
    argument = va_arg(arguments, long);
  va_end(arguments);
  return (*nextSyscall)(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

} // extern "C"

// ------------------------------------------------------------------ tests

namespace {

// Runs `call` as the audio thread would (counted) and returns what it
// counted.
std::vector<int> CountedDuring(const std::function<void()>& call)
{
  ResetCounts();
  measuring = true;
  call();
  measuring = false;
  std::vector<int> result;
  for (auto& count : counts)
    result.push_back(count.load());
  return result;
}

// The global lookup, which is what the plug-in's calls bind to.
template <typename Function> Function Global(const char* name)
{
  return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

} // namespace

TEST(RealtimeCounters, EveryCounterSeesADeliberateCall)
{
  ASSERT_TRUE(resolvedEarly);
  const timespec zero{0, 0};
  timespec past{};
  clock_gettime(CLOCK_REALTIME, &past);
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t condition = PTHREAD_COND_INITIALIZER;
  pthread_spinlock_t spin;
  pthread_spin_init(&spin, PTHREAD_PROCESS_PRIVATE);
  pthread_rwlock_t rwlock = PTHREAD_RWLOCK_INITIALIZER;
  sem_t semaphore;
  sem_init(&semaphore, 0, 8);
  const int null = open("/dev/null", O_RDWR);
  ASSERT_GE(null, 0);
  const char* newName = sizeof(size_t) == 8 ? "_Znwm" : "_Znwj";

  struct Probe
  {
    Call call;
    const char* symbol;
    std::function<void()> run;
  };
  const std::vector<Probe> probes = {
      {kMalloc, "malloc", [] { __libc_free(Global<void* (*)(size_t)>("malloc")(16)); }},
      {kCalloc, "calloc", [] { __libc_free(Global<void* (*)(size_t, size_t)>("calloc")(1, 16)); }},
      {kRealloc, "realloc",
       [] { __libc_free(Global<void* (*)(void*, size_t)>("realloc")(nullptr, 16)); }},
      {kFree, "free", [] { Global<void (*)(void*)>("free")(__libc_malloc(16)); }},
      {kPosixMemalign, "posix_memalign",
       [] {
         void* pointer = nullptr;
         Global<int (*)(void**, size_t, size_t)>("posix_memalign")(&pointer, 64, 64);
         __libc_free(pointer);
       }},
      {kAlignedAlloc, "aligned_alloc",
       [] { __libc_free(Global<void* (*)(size_t, size_t)>("aligned_alloc")(64, 64)); }},
      {kNew, newName, [&] { __libc_free(Global<void* (*)(size_t)>(newName)(16)); }},
      {kDelete, "_ZdlPv", [] { Global<void (*)(void*)>("_ZdlPv")(__libc_malloc(16)); }},
      {kNanosleep, "nanosleep",
       [&] { Global<int (*)(const timespec*, timespec*)>("nanosleep")(&zero, nullptr); }},
      {kClockNanosleep, "clock_nanosleep",
       [&] {
         Global<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep")(
             CLOCK_MONOTONIC, 0, &zero, nullptr);
       }},
      {kUsleep, "usleep", [] { Global<int (*)(useconds_t)>("usleep")(0); }},
      {kSleep, "sleep", [] { Global<unsigned (*)(unsigned)>("sleep")(0); }},
      {kSchedYield, "sched_yield", [] { Global<int (*)()>("sched_yield")(); }},
      {kMutexLock, "pthread_mutex_lock",
       [&] {
         Global<int (*)(pthread_mutex_t*)>("pthread_mutex_lock")(&mutex);
         (*nextMutexUnlock)(&mutex);
       }},
      {kMutexTrylock, "pthread_mutex_trylock",
       [&] {
         Global<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock")(&mutex);
         (*nextMutexUnlock)(&mutex);
       }},
      {kMutexTimedlock, "pthread_mutex_timedlock",
       [&] {
         Global<int (*)(pthread_mutex_t*, const timespec*)>("pthread_mutex_timedlock")(&mutex,
                                                                                       &past);
         (*nextMutexUnlock)(&mutex);
       }},
      {kMutexUnlock, "pthread_mutex_unlock",
       [&] {
         (*nextMutexLock)(&mutex);
         Global<int (*)(pthread_mutex_t*)>("pthread_mutex_unlock")(&mutex);
       }},
      {kSpinLock, "pthread_spin_lock",
       [&] {
         Global<int (*)(pthread_spinlock_t*)>("pthread_spin_lock")(&spin);
         pthread_spin_unlock(&spin);
       }},
      {kSpinTrylock, "pthread_spin_trylock",
       [&] {
         Global<int (*)(pthread_spinlock_t*)>("pthread_spin_trylock")(&spin);
         pthread_spin_unlock(&spin);
       }},
      {kRwlockRdlock, "pthread_rwlock_rdlock",
       [&] {
         Global<int (*)(pthread_rwlock_t*)>("pthread_rwlock_rdlock")(&rwlock);
         pthread_rwlock_unlock(&rwlock);
       }},
      {kRwlockWrlock, "pthread_rwlock_wrlock",
       [&] {
         Global<int (*)(pthread_rwlock_t*)>("pthread_rwlock_wrlock")(&rwlock);
         pthread_rwlock_unlock(&rwlock);
       }},
      {kCondWait, "pthread_cond_wait",
       [&] {
         // Another thread signals once this one waits (it needs the mutex).
         bool signalled = false;
         (*nextMutexLock)(&mutex);
         std::thread signaller([&] {
           (*nextMutexLock)(&mutex);
           signalled = true;
           (*nextCondSignal)(&condition);
           (*nextMutexUnlock)(&mutex);
         });
         auto wait = Global<int (*)(pthread_cond_t*, pthread_mutex_t*)>("pthread_cond_wait");
         while (!signalled)
           wait(&condition, &mutex);
         (*nextMutexUnlock)(&mutex);
         signaller.join();
       }},
      {kCondTimedwait, "pthread_cond_timedwait",
       [&] {
         (*nextMutexLock)(&mutex);
         Global<int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*)>(
             "pthread_cond_timedwait")(&condition, &mutex, &past);
         (*nextMutexUnlock)(&mutex);
       }},
      {kCondClockwait, "pthread_cond_clockwait",
       [&] {
         timespec now{};
         clock_gettime(CLOCK_MONOTONIC, &now);
         (*nextMutexLock)(&mutex);
         Global<int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*)>(
             "pthread_cond_clockwait")(&condition, &mutex, CLOCK_MONOTONIC, &now);
         (*nextMutexUnlock)(&mutex);
       }},
      {kCondSignal, "pthread_cond_signal",
       [&] { Global<int (*)(pthread_cond_t*)>("pthread_cond_signal")(&condition); }},
      {kCondBroadcast, "pthread_cond_broadcast",
       [&] { Global<int (*)(pthread_cond_t*)>("pthread_cond_broadcast")(&condition); }},
      {kSemWait, "sem_wait", [&] { Global<int (*)(sem_t*)>("sem_wait")(&semaphore); }},
      {kSemTimedwait, "sem_timedwait",
       [&] { Global<int (*)(sem_t*, const timespec*)>("sem_timedwait")(&semaphore, &past); }},
      {kSemClockwait, "sem_clockwait",
       [&] {
         timespec now{};
         clock_gettime(CLOCK_MONOTONIC, &now);
         Global<int (*)(sem_t*, clockid_t, const timespec*)>("sem_clockwait")(
             &semaphore, CLOCK_MONOTONIC, &now);
       }},
      {kSemTrywait, "sem_trywait", [&] { Global<int (*)(sem_t*)>("sem_trywait")(&semaphore); }},
      {kWrite, "write",
       [&] { Global<ssize_t (*)(int, const void*, size_t)>("write")(null, "x", 1); }},
      {kRead, "read",
       [&] {
         char byte = 0;
         Global<ssize_t (*)(int, void*, size_t)>("read")(null, &byte, 1);
       }},
      {kPoll, "poll", [] { Global<int (*)(pollfd*, nfds_t, int)>("poll")(nullptr, 0, 0); }},
      {kSyscall, "syscall", [] { Global<long (*)(long, ...)>("syscall")(SYS_getpid); }},
  };

  std::vector<bool> probed(kCalls, false);
  for (const Probe& probe : probes) {
    SCOPED_TRACE(kNames[probe.call]);
    probed[probe.call] = true;
    ASSERT_NE(dlsym(RTLD_DEFAULT, probe.symbol), nullptr);
    const std::vector<int> seen = CountedDuring(probe.run);
    EXPECT_GE(seen[probe.call], 1) << "the counter missed a deliberate call";
  }
  for (int call = 0; call < kCalls; ++call)
    EXPECT_TRUE(probed[call]) << kNames[call] << " has no probe";

  // Outside the measured stretch nothing counts.
  ResetCounts();
  __libc_free(malloc(16));
  usleep(0);
  EXPECT_EQ(Counted(), "nothing");

  close(null);
  sem_destroy(&semaphore);
  pthread_spin_destroy(&spin);
}

namespace {

class AudioPath : public testsupport::PluginTest
{
protected:
  // The plug-in's part of one block, called as the host's audio thread would,
  // with buffers made beforehand.
  void Block(VstEvents* events)
  {
    AEffect* effect = Effect();
    measuring = true;
    if (events)
      effect->dispatcher(effect, effProcessEvents, 0, 0, events, 0.0f);
    effect->processReplacing(effect, inputs, outputs, kFrames);
    measuring = false;
  }

  // Every program sends CC 7 = its number once selected; thru is on in all
  // but program 3 (selecting it releases the held notes); preset switching
  // and send on change are on, with this delay; send on init is off.
  void LoadBank(int32_t changeDelay)
  {
    std::vector<uint8_t> bank = Plugin().GetChunk(false);
    ASSERT_EQ(bank.size(), 128 * sizeof(VSTPluginProgram));
    for (int program = 0; program < 128; ++program) {
      VSTPluginProgram record;
      std::memcpy(&record, &bank[program * sizeof record], sizeof record);
      record.strips[0].inUse = 1;
      record.strips[0].formatA = 0;
      record.strips[0].channelA = 1;
      record.strips[0].numberA = 8;
      record.strips[0].valueA = static_cast<uint8_t>(program + 1);
      record.midiThru = program == 3 ? 0 : 1;
      record.presetSwitching = 1;
      record.sendOnChange = 1;
      record.sendOnInit = 0;
      record.changeDelay = changeDelay;
      std::memcpy(&bank[program * sizeof record], &record, sizeof record);
    }
    ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
    Plugin().SelectProgram(0); // the selection after the load
  }

  // `count` events of thru traffic (notes on and off, controllers, pitch
  // bend), then the Program Changes given.
  VstEvents* Traffic(int count, std::initializer_list<uint8_t> programChanges)
  {
    block.numEvents = 0;
    auto add = [&](uint8_t status, uint8_t data1, uint8_t data2) {
      VstMidiEvent& event = store[block.numEvents];
      event = VstMidiEvent{};
      event.type = kVstMidiType;
      event.byteSize = 24;
      event.deltaFrames = block.numEvents % kFrames;
      event.midiData[0] = status;
      event.midiData[1] = data1;
      event.midiData[2] = data2;
      block.events[block.numEvents] = reinterpret_cast<VstEvent*>(&event);
      ++block.numEvents;
    };
    for (int i = 0; i < count; ++i) {
      const uint8_t note = static_cast<uint8_t>(36 + (i / 2 + traffic) % 48);
      switch (i % 4) {
      case 0:
        add(0x90, note, 0x40);
        break;
      case 1:
        add(0x80, note, 0x40);
        break;
      case 2:
        add(0xB1, 1, static_cast<uint8_t>(i & 0x7F));
        break;
      default:
        add(0xE0, 0, 0x40);
        break;
      }
    }
    ++traffic;
    for (uint8_t program : programChanges)
      add(0xC0, program, 0);
    return block.AsEvents();
  }

  // Adds the 20 KB dump a synth answers a dump request with to the block
  // Traffic made last.
  VstEvents* WithDump(VstEvents* events)
  {
    heardDump.assign(20 * 1024, 0x22);
    heardDump[0] = 0xF0;
    heardDump[1] = 0x7E;
    heardDump.back() = 0xF7;
    dumpEvent = VstMidiSysexEvent{};
    dumpEvent.type = kVstSysExType;
    dumpEvent.byteSize = static_cast<int32_t>(sizeof dumpEvent) - 8;
    dumpEvent.deltaFrames = kFrames - 1;
    dumpEvent.dumpBytes = static_cast<int32_t>(heardDump.size());
    dumpEvent.sysexDump = reinterpret_cast<char*>(heardDump.data());
    block.events[block.numEvents++] = reinterpret_cast<VstEvent*>(&dumpEvent);
    return events;
  }

  static constexpr int32_t kFrames = 512;
  std::vector<uint8_t> heardDump;
  VstMidiSysexEvent dumpEvent{};
  float buffers[4][kFrames] = {};
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
  VstMidiEvent store[256] = {};
  VstEventBlock<256> block{};
  int traffic = 0;
};

} // namespace

TEST_F(AudioPath, NeverAllocatesWaitsOrEntersTheKernelUnderAnyTraffic)
{
  Start();
  LoadBank(0);
  AEffect* effect = Effect();
  for (int i = 0; i < 20; ++i) // warm-up
    Block(Traffic(40, {static_cast<uint8_t>(i % 8)}));
  ResetCounts();

  // Phase 1: thru traffic and Program Changes on the audio thread while
  // other threads resend, automate every index, select programs (holding
  // the timer lock, so that the audio thread finds it busy) and run
  // countdowns of random length that the next selection cancels.
  std::atomic<bool> done{false};
  std::vector<std::thread> others;
  others.emplace_back([&] {
    while (!done) {
      effect->setParameter(effect, param::kResend, 1.0f);
      effect->setParameter(effect, param::kResend, 0.0f);
      std::this_thread::yield();
    }
  });
  others.emplace_back([&] {
    uint32_t random = 12345;
    for (int round = 0; !done; ++round) {
      for (int32_t index = 0; index <= param::kCountdownEnd && !done; ++index) {
        random = random * 1103515245u + 12345u;
        float value = static_cast<float>(random >> 8) / static_cast<float>(1u << 24);
        if (index == param::kInitDelay || index == param::kChangeDelay)
          value = static_cast<float>(random % 3) / 999.0f; // 0 to 2 seconds
        effect->setParameter(effect, index, value);
        effect->getParameter(effect, index);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  others.emplace_back([&] {
    for (int i = 0; !done; ++i) {
      effect->dispatcher(effect, effSetProgram, 0, i % 8, nullptr, 0.0f);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  // How much passes depends on how often the automation left thru on, which
  // depends on how the threads were scheduled: on a loaded machine go on
  // (up to five times as long) until the blocks have carried enough MIDI.
  bool enough = false;
  for (int i = 0; i < 600 || (!enough && i < 3000); ++i) {
    Block(Traffic(40, {static_cast<uint8_t>(i % 8)}));
    if (i >= 599 && i % 100 == 99)
      enough = Plugin().Received().size() > 600u * 20u;
    if (i % 4 == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  done = true;
  for (auto& other : others)
    other.join();
  const std::string phase1 = Counted();
  const size_t phase1Events = Plugin().Received().size();

  // Phase 2: a countdown started by a Program Change on the audio thread
  // runs out and sends while thru traffic goes on.
  // The automation changed the stored messages: load them again.
  LoadBank(1);
  ResetCounts();
  for (int i = 0; i < 4; ++i)
    Block(Traffic(4, {}));
  Plugin().ClearReceived();
  Block(Traffic(4, {5}));
  const auto started = std::chrono::steady_clock::now();
  bool sent = false;
  double seconds = 0;
  while (!sent && std::chrono::steady_clock::now() - started < std::chrono::seconds(4)) {
    Block(Traffic(4, {}));
    for (const qhost::ReceivedEvent& event : Plugin().Received())
      sent = sent || (event.bytes[0] == 0xB0 && event.bytes[1] == 7 && event.bytes[2] == 5);
    Plugin().ClearReceived();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (int i = 0; i < 10; ++i)
    Block(nullptr);

  EXPECT_EQ(phase1, "nothing") << "called on the audio thread with other threads busy";
  EXPECT_EQ(Counted(), "nothing") << "called on the audio thread during the countdown";
  EXPECT_GT(phase1Events, 600u * 20u) << "the blocks really carried MIDI";
  EXPECT_TRUE(sent) << "the countdown's send arrived";
  EXPECT_GT(seconds, 0.8) << "after its second";
  EXPECT_EQ(Plugin().CurrentProgram(), 5);
}

TEST_F(AudioPath, PacingLearningAndSendOnPlayNeverWaitEither)
{
  qhost::HostConfig config;
  config.answersTime = true;
  // The 20 KB dumps the host received, whole (counted on the audio thread).
  static std::atomic<int> dumps{0};
  dumps = 0;
  config.onEvents = [](const VstEvents& events) {
    VstEvent* const* pointers = events.events;
    for (int32_t i = 0; i < events.numEvents; ++i) {
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(pointers[i]);
      if (sysex->type == kVstSysExType && sysex->dumpBytes == 20 * 1024 &&
          static_cast<uint8_t>(sysex->sysexDump[0]) == 0xF0 &&
          static_cast<uint8_t>(sysex->sysexDump[20 * 1024 - 1]) == 0xF7)
        dumps.fetch_add(1);
    }
  };
  Load(config);
  Start();
  LoadBank(0);
  AEffect* effect = Effect();
  // Paced sends, learning of the traffic's controllers and the transport
  // asked for in every block.
  effect->setParameter(effect, param::kSpacing, 5 / 250.0f);
  effect->setParameter(effect, param::kSettle, 20 / 2000.0f);
  effect->setParameter(effect, param::kLearn, 1.0f);
  effect->setParameter(effect, param::kSendOnPlay, 1.0f);
  effect->setParameter(effect, param::kKindB, 1.0f);
  // Programs 0 to 2 send a 20 KB dump and a short message after their
  // Program Change; another thread replaces their sets meanwhile, so that
  // the audio thread pins sets that are being retired.
  auto* plugin = static_cast<VSTPlugin*>(AudioEffect::FromEffect(effect));
  // Their sets carry a dump request, which the other thread asks for.
  auto publish = [plugin](int32_t program, uint8_t tag) {
    std::vector<uint8_t> dump(20 * 1024, tag);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    const uint8_t small[] = {0xF0, 0x7D, tag, 0xF7};
    const uint8_t request[] = {0xF0, 0x7E, 0x00, tag, 0xF7};
    SysExSet::Builder builder;
    builder.Append({dump.data(), static_cast<int32_t>(dump.size())});
    builder.Append({small, sizeof small});
    builder.SetRequest({request, sizeof request});
    plugin->PublishSysEx(program, builder.Build());
  };
  plugin->SetSysExGap(2);
  for (int32_t program = 0; program < 3; ++program)
    publish(program, 1);
  for (int i = 0; i < 20; ++i)
    Block(Traffic(40, {}));
  ResetCounts();

  // The audio thread learns and paces while other threads start and stop
  // the transport, resend, select programs (each a new send that cancels
  // the one in progress) and automate the internal parameters.
  std::atomic<bool> done{false};
  std::vector<std::thread> others;
  others.emplace_back([&] {
    for (int i = 0; !done; ++i) {
      Plugin().SetPlaying(i % 2 == 0);
      std::this_thread::sleep_for(std::chrono::microseconds(700));
    }
  });
  others.emplace_back([&] {
    for (int i = 0; !done; ++i) {
      effect->setParameter(effect, param::kResend, 1.0f);
      effect->setParameter(effect, param::kResend, 0.0f);
      if (i % 8 == 0)
        effect->dispatcher(effect, effSetProgram, 0, i % 3, nullptr, 0.0f);
      if (i % 5 == 0)
        publish(i % 3, static_cast<uint8_t>(i % 100));
      if (i % 3 == 0)
        plugin->SendDumpRequest();
      std::this_thread::sleep_for(std::chrono::microseconds(400));
    }
  });
  others.emplace_back([&] {
    uint32_t random = 777;
    while (!done) {
      for (int32_t index = param::kExtendedFirst; index < param::kExtendedEnd && !done; ++index) {
        random = random * 1103515245u + 12345u;
        float value = static_cast<float>(random >> 8) / static_cast<float>(1u << 24);
        // Pacing and learning stay on; the rest anywhere.
        if (index == param::kSpacing || index == param::kSettle || index == param::kSysExGap)
          value = value * 0.1f + 0.01f;
        if (index == param::kLearn || index == param::kSendOnPlay)
          value = 1.0f;
        effect->setParameter(effect, index, value);
        effect->getParameter(effect, index);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  // Every eighth block brings a 20 KB dump, which learning copies.
  for (int i = 0; i < 600; ++i) {
    Block(i % 8 == 0 ? WithDump(Traffic(40, {})) : Traffic(40, {}));
    if (i % 4 == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  done = true;
  for (auto& other : others)
    other.join();
  for (int i = 0; i < 10; ++i)
    Block(nullptr);
  // Learned into the program current now, once nothing else publishes.
  Block(WithDump(Traffic(4, {})));
  const bool learned = testsupport::WaitFor([&] {
    SysExStore::Reader reader(plugin->SysEx());
    const SysExSet* set = reader.Current(plugin->getProgram());
    for (int32_t m = 0; set && m < set->Count(); ++m) {
      if (set->Message(m).size == 20 * 1024 && set->Message(m).data[1] == 0x7E)
        return true;
    }
    return false;
  });

  EXPECT_EQ(Counted(), "nothing") << "called on the audio thread while pacing and learning";
  EXPECT_GE(Plugin().CountCallbacks(audioMasterGetTime), 600) << "the transport was asked";
  EXPECT_EQ(effect->getParameter(effect, param::kLearn), 1.0f);
  EXPECT_GT(Plugin().Received().size(), 600u * 20u) << "the blocks really carried MIDI";
  EXPECT_GT(dumps.load(), 0) << "and the dumps went out";
  EXPECT_TRUE(learned) << "the dump heard was learned";
}

// A verify waits for the synth's reply over many blocks and compares a
// 20 KB dump with it: the wait, the copy of the reply, the comparison and
// the retry all run on the audio thread without a call.
TEST_F(AudioPath, VerifyWaitsForAndComparesA20KbReplyWithoutACall)
{
  Load();
  Start();
  AEffect* effect = Effect();
  auto* plugin = static_cast<VSTPlugin*>(AudioEffect::FromEffect(effect));
  std::vector<uint8_t> dump(20 * 1024, 0x22);
  dump[0] = 0xF0;
  dump[1] = 0x7D;
  dump[2] = 0x10;
  dump.back() = 0xF7;
  const uint8_t request[] = {0xF0, 0x7D, 0x10, 0x11, 0xF7};
  SysExSet::Builder builder;
  builder.Append({dump.data(), static_cast<int32_t>(dump.size())});
  builder.SetRequest({request, sizeof request});
  plugin->PublishSysEx(0, builder.Build());
  effect->setParameter(effect, param::kVerifyTime, 60 / 5000.0f);
  effect->setParameter(effect, param::kRetries, 1 / 3.0f);
  std::vector<uint8_t> altered = dump;
  altered[5000] = 0x23;
  VstMidiSysexEvent reply{};
  reply.type = kVstSysExType;
  reply.byteSize = static_cast<int32_t>(sizeof reply) - 8;
  reply.dumpBytes = static_cast<int32_t>(dump.size());
  VstEventBlock<1> replyBlock{};
  replyBlock.numEvents = 1;
  replyBlock.events[0] = reinterpret_cast<VstEvent*>(&reply);
  for (int i = 0; i < 10; ++i)
    Block(nullptr);
  ResetCounts();

  // A resend every 16 blocks; the synth answers 3 blocks after it, right
  // or with a byte changed (which the retry's answer then puts right), or
  // not at all.
  for (int i = 0; i < 400; ++i) {
    const int phase = i % 16;
    if (phase == 0) {
      effect->setParameter(effect, param::kResend, 1.0f);
      effect->setParameter(effect, param::kResend, 0.0f);
    }
    const int round = i / 16;
    if ((phase == 3 && round % 3 != 2) || (phase == 9 && round % 3 == 1)) {
      reply.sysexDump =
          reinterpret_cast<char*>(phase == 3 && round % 3 == 1 ? altered.data() : dump.data());
      Block(replyBlock.AsEvents());
    } else {
      Block(nullptr);
    }
  }
  EXPECT_EQ(Counted(), "nothing") << "called on the audio thread while verifying";
  EXPECT_GE(plugin->VerifyCount(), 25u) << "the sends were verified";
}

// ------------------------------------------------------------ the LV2 path

namespace {

void MeasureRun(bool inside)
{
  measuring = inside;
}

} // namespace

TEST(Lv2AudioPath, RunNeverAllocatesWaitsOrEntersTheKernelUnderAnyTraffic)
{
  lv2test::Lv2TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.Error();
  host.Activate();
  // Eight programs, each sending its Program Change and CC 7, paced; thru,
  // preset switching, send on change and send on play on.
  std::vector<lv2test::StripSpec> specs;
  for (int program = 0; program < 8; ++program)
    specs.push_back({program, 0, lv2test::Cc(1, 7, program), lv2test::Pc(1, program)});
  std::map<uint32_t, lv2test::Property> state;
  state[host.Map("urn:quillet:quillet:bank")] = {
      host.Map(LV2_ATOM__Chunk), lv2test::MakeBank(specs, {{param::kThru, 1.0f},
                                                           {param::kPresetSwitching, 1.0f},
                                                           {param::kSendOnChange, 1.0f},
                                                           {param::kChangeDelay, 0.0f},
                                                           {param::kSpacing, 5.0f / 250.0f},
                                                           {param::kSendOnPlay, 1.0f}})};
  ASSERT_EQ(host.Restore(state), LV2_STATE_SUCCESS);
  host.SetControl(3, 1.0f);

  // Every block: notes, controllers and pitch bend at their frames, a SysEx
  // message, an unknown atom; now and then a Program Change, the transport
  // starting or stopping mid-block, the resend, thru and program ports
  // moving, and a run longer than the host's block length.
  const uint32_t unknown = host.Map("urn:quillet:test#unknown");
  // Now and then the host sets the SysEx file (the worker takes it) and asks
  // for the file parameters: run() reports their paths.
  const std::string syx = "/tmp/quillet-realtime-" + std::to_string(getpid()) + ".syx";
  std::string error;
  ASSERT_TRUE(files::WriteFileBytes(syx, {0xF0, 0x7D, 0x01, 0xF7}, error)) << error;
  auto block = [&](int i) {
    for (int e = 0; e < 40; ++e) {
      const auto note = static_cast<uint8_t>(36 + (e / 2 + i) % 48);
      const int64_t frame = e * 12;
      switch (e % 4) {
      case 0:
        host.QueueMidi({0x90, note, 0x40}, frame);
        break;
      case 1:
        host.QueueMidi({0x80, note, 0x40}, frame);
        break;
      case 2:
        host.QueueMidi({0xB1, 1, static_cast<uint8_t>(e)}, frame);
        break;
      default:
        host.QueueMidi({0xE0, 0, 0x40}, frame);
        break;
      }
    }
    host.QueueMidi({0xF0, 0x43, 0x10, 0x01, 0x02, 0xF7}, 77);
    host.QueueAtom(unknown, {1, 2, 3, 4}, 90);
    if (i % 5 == 0)
      host.QueueMidi({0xC0, static_cast<uint8_t>(i % 8)}, 300);
    if (i % 7 == 0)
      host.QueuePosition((i / 7) % 2 ? 1.0f : 0.0f, 200);
    if (i % 3 == 0)
      host.SetControl(2, host.Control(2) > 0.5f ? 0.0f : 1.0f);
    if (i % 11 == 0)
      host.SetControl(3, host.Control(3) > 0.5f ? 0.0f : 1.0f);
    if (i % 13 == 0)
      host.SetControl(4, static_cast<float>(i % 8));
    if (i % 19 == 0)
      host.QueuePatchSet("urn:quillet:quillet:sysex-file", syx);
    if (i % 23 == 0)
      host.QueuePatchGet();
    host.Run(i % 17 == 0 ? 1500 : 512);
  };
  host.aroundRun = MeasureRun;
  for (int i = 0; i < 20; ++i) // warm-up
    block(i);
  ResetCounts();
  host.ClearReceived();

  // A host's other thread saves the state meanwhile.
  std::atomic<bool> done{false};
  std::thread saver([&] {
    while (!done) {
      std::map<uint32_t, lv2test::Property> saved;
      host.Save(saved);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });
  for (int i = 20; i < 620; ++i) {
    block(i);
    if (i % 4 == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  done = true;
  saver.join();
  host.aroundRun = nullptr;

  EXPECT_EQ(Counted(), "nothing") << "called on the audio thread inside run()";
  EXPECT_GT(host.Received().size(), 600u * 10u) << "the blocks really carried MIDI";
  EXPECT_GT(host.WorkerJobs(), 20) << "the program port moved";
  EXPECT_GT(host.TakeReports().size(), 40u) << "the file parameters were set and asked for";
  std::remove(syx.c_str());
}
