#include "support/threading/SMutex.h"

#include <gtest/gtest.h>

#include <atomic>
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
