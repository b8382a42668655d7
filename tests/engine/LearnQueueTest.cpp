// The learn queue: a full ring drops the message being pushed, the cells
// taken come back in groups (or when the consumer has caught up), and the
// messages of a producer thread arrive all and in order.
#include "engine/LearnQueue.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

LearnedMessage Numbered(uint32_t n)
{
  LearnedMessage message;
  message.channel = 1;
  message.number = static_cast<uint16_t>(n & 0x3FFF);
  message.value = static_cast<uint16_t>(n >> 14 & 0x3FFF);
  return message;
}

uint32_t NumberOf(const LearnedMessage& message)
{
  return uint32_t{message.number} | uint32_t{message.value} << 14;
}

TEST(LearnQueue, AFullRingDropsAndTakesAgainOnceCellsComeBack)
{
  auto queue = std::make_unique<LearnQueue>();
  for (uint32_t i = 0; i < LearnQueue::kCapacity; ++i)
    ASSERT_TRUE(queue->Push(Numbered(i)));
  EXPECT_FALSE(queue->Push(Numbered(999))) << "the ring is full";

  // The first cells taken are not handed back one by one; a quarter of the
  // ring is.
  LearnedMessage out;
  ASSERT_TRUE(queue->Pop(out));
  EXPECT_EQ(NumberOf(out), 0u);
  EXPECT_FALSE(queue->Push(Numbered(999)));
  for (uint32_t i = 1; i < LearnQueue::kCapacity / 4; ++i) {
    ASSERT_TRUE(queue->Pop(out));
    EXPECT_EQ(NumberOf(out), i);
  }
  EXPECT_TRUE(queue->Push(Numbered(LearnQueue::kCapacity)));

  // Emptied, the ring has all its cells back (the consumer caught up).
  while (queue->Pop(out)) {
  }
  EXPECT_EQ(NumberOf(out), LearnQueue::kCapacity);
  EXPECT_TRUE(queue->Empty());
  for (uint32_t i = 0; i < LearnQueue::kCapacity; ++i)
    ASSERT_TRUE(queue->Push(Numbered(i))) << i;
}

TEST(LearnQueue, EveryMessageOfAProducerArrivesInOrder)
{
  auto queue = std::make_unique<LearnQueue>();
  constexpr uint32_t kMessages = 200000;
  std::thread producer([&] {
    for (uint32_t i = 0; i < kMessages; ++i) {
      while (!queue->Push(Numbered(i)))
        std::this_thread::yield();
    }
  });
  uint32_t expected = 0;
  uint32_t misplaced = 0;
  LearnedMessage out;
  while (expected < kMessages) {
    if (!queue->Pop(out)) {
      std::this_thread::yield();
      continue;
    }
    misplaced += NumberOf(out) != expected;
    ++expected;
  }
  producer.join();
  EXPECT_EQ(misplaced, 0u);
  EXPECT_TRUE(queue->Empty());
}

} // namespace
