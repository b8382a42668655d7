#include "support/threading/SMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using namespace vexo::threading;

TEST(MutexID, SecondLockerWaitsForTheFirst)
{
  SMutexID lock;
  lock.Lock();
  EXPECT_TRUE(lock.Held());
  std::atomic<bool> gotIt{false};
  std::thread other([&] {
    lock.Lock();
    gotIt = true;
    lock.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(gotIt);
  lock.Unlock();
  other.join();
  EXPECT_TRUE(gotIt);
  EXPECT_EQ(lock.Counter(), 0);
  EXPECT_FALSE(lock.Held());
}

TEST(MutexID, KeepsCountsExactUnderContention)
{
  SMutexID lock;
  int64_t total = 0; // guarded by lock
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        lock.Lock();
        ++total;
        lock.Unlock();
      }
    });
  }
  for (auto& worker : workers)
    worker.join();
  EXPECT_EQ(total, 80000);
  EXPECT_EQ(lock.Counter(), 0);
}

TEST(MutexID, TryLockNeverWaitsAndTakesOnlyAFreeLock)
{
  SMutexID lock;
  ASSERT_TRUE(lock.TryLock());
  EXPECT_TRUE(lock.Held());
  std::atomic<bool> second{true};
  std::thread([&] { second = lock.TryLock(); }).join();
  EXPECT_FALSE(second) << "taken while held";
  EXPECT_EQ(lock.Counter(), 1) << "a failed attempt leaves the counter alone";
  lock.Unlock();
  std::thread([&] {
    second = lock.TryLock();
    if (second)
      lock.Unlock();
  }).join();
  EXPECT_TRUE(second);
  EXPECT_EQ(lock.Counter(), 0);
}

TEST(MutexOS, TracksWhetherItIsHeldAndUnlocksOnDestruction)
{
  auto* lock = new SMutexOS();
  EXPECT_TRUE(lock->Valid());
  EXPECT_FALSE(lock->Locked());
  lock->Lock();
  EXPECT_TRUE(lock->Locked());
  lock->Unlock();
  EXPECT_FALSE(lock->Locked());
  lock->Lock();
  delete lock; // unlocks before destroying; no error, no hang
}

TEST(MutexOS, GuardsAgainstConcurrentWriters)
{
  SMutexOS lock;
  int64_t total = 0;
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        SLockGuard hold(lock);
        ++total;
      }
    });
  }
  for (auto& worker : workers)
    worker.join();
  EXPECT_EQ(total, 40000);
}

TEST(MutexOS, SecondLockByTheHolderFailsAndSaysSoInsteadOfHanging)
{
  SMutexOS lock;
  ASSERT_TRUE(lock.Lock());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(lock.Lock());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("pthread_mutex_lock failed"), std::string::npos) << said;
  EXPECT_TRUE(lock.Locked());
  EXPECT_TRUE(lock.Unlock());
  EXPECT_FALSE(lock.Locked());
  EXPECT_TRUE(lock.Lock()) << "one unlock frees it";
  lock.Unlock();
}

TEST(MutexOS, GuardThatDidNotGetTheLockLeavesItAlone)
{
  SMutexOS lock;
  ASSERT_TRUE(lock.Lock());
  testing::internal::CaptureStderr();
  {
    SLockGuard hold(lock);
    EXPECT_FALSE(hold.OwnsLock());
  }
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(lock.HeldByCaller()) << "the guard unlocked a lock it never got";
  lock.Unlock();
}

TEST(MutexOS, UnlockByAThreadThatDoesNotHoldItChangesNothing)
{
  SMutexOS lock;
  std::promise<void> locked;
  std::promise<void> release;
  std::thread holder([&] {
    lock.Lock();
    locked.set_value();
    release.get_future().wait();
    lock.Unlock();
  });
  locked.get_future().wait();

  testing::internal::CaptureStderr();
  EXPECT_FALSE(lock.Unlock());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("pthread_mutex_unlock failed"), std::string::npos) << said;
  EXPECT_TRUE(lock.Locked());
  EXPECT_FALSE(lock.HeldByCaller());

  // A third thread still has to wait for the holder.
  std::atomic<bool> gotIt{false};
  std::thread third([&] {
    SLockGuard hold(lock);
    gotIt = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(gotIt) << "the foreign unlock let a third thread in";
  release.set_value();
  holder.join();
  third.join();
  EXPECT_TRUE(gotIt);
  EXPECT_FALSE(lock.Locked());
}

TEST(MutexOS, DestroyingWhileAnotherThreadHoldsItLeavesThatThreadsLock)
{
  auto* lock = new SMutexOS();
  std::promise<void> locked;
  std::promise<void> destroyed;
  std::thread holder([&] {
    lock->Lock();
    locked.set_value();
    // The object goes while this thread holds its mutex; nothing of it is
    // touched afterwards.
    destroyed.get_future().wait();
  });
  locked.get_future().wait();
  EXPECT_FALSE(lock->HeldByCaller());
  testing::internal::CaptureStderr();
  delete lock;
  const std::string said = testing::internal::GetCapturedStderr();
  destroyed.set_value();
  holder.join();
  EXPECT_NE(said.find("another thread holds it"), std::string::npos) << said;
}
