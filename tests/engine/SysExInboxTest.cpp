// The SysEx inbox: whole messages across the buffer's end, a full inbox
// drops the message being pushed and nothing else, and dumps of 20 KB from
// a producer thread arrive whole and in order.
#include "engine/SysExInbox.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A SysEx-shaped message of `size` bytes whose data bytes carry `seed`.
std::vector<uint8_t> Dump(uint32_t size, uint32_t seed)
{
  std::vector<uint8_t> bytes(size);
  for (uint32_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>((seed * 31 + i) & 0x7F);
  bytes.front() = 0xF0;
  bytes.back() = 0xF7;
  return bytes;
}

std::vector<uint8_t> PopOne(SysExInbox& inbox)
{
  std::vector<uint8_t> out(SysExInbox::kLargestMessage);
  out.resize(inbox.Pop(out.data()));
  return out;
}

TEST(SysExInbox, MessagesComeOutWholeAndInOrderAcrossTheEnd)
{
  auto inbox = std::make_unique<SysExInbox>();
  // 40 KB messages: the fifth crosses the end of the 256 KiB buffer.
  for (uint32_t round = 0; round < 12; ++round) {
    const auto a = Dump(40000 + round, round);
    const auto b = Dump(163, round + 100);
    ASSERT_TRUE(inbox->Push(a.data(), static_cast<uint32_t>(a.size())));
    ASSERT_TRUE(inbox->Push(b.data(), static_cast<uint32_t>(b.size())));
    EXPECT_EQ(PopOne(*inbox), a) << "round " << round;
    EXPECT_EQ(PopOne(*inbox), b) << "round " << round;
  }
  EXPECT_TRUE(inbox->Empty());
  EXPECT_TRUE(PopOne(*inbox).empty());
}

TEST(SysExInbox, RefusesWhatDoesNotFitAndKeepsWhatItHolds)
{
  auto inbox = std::make_unique<SysExInbox>();
  const auto largest = Dump(SysExInbox::kLargestMessage, 1);
  int32_t held = 0;
  while (inbox->Push(largest.data(), SysExInbox::kLargestMessage))
    ++held;
  EXPECT_EQ(held, 3); // four would need four lengths more than the buffer has
  const auto small = Dump(6, 2);
  EXPECT_TRUE(inbox->Push(small.data(), 6)) << "the room left takes a short message";

  const struct
  {
    const uint8_t* bytes;
    uint32_t size;
  } refused[] = {{nullptr, 6},
                 {small.data(), 0},
                 {largest.data(), SysExInbox::kLargestMessage},
                 {largest.data(), SysExInbox::kLargestMessage + 1}};
  for (const auto& r : refused)
    EXPECT_FALSE(inbox->Push(r.bytes, r.size)) << r.size;

  for (int32_t i = 0; i < held; ++i)
    EXPECT_EQ(PopOne(*inbox), largest);
  EXPECT_EQ(PopOne(*inbox), small);
  EXPECT_TRUE(inbox->Empty());
}

TEST(SysExInbox, DumpsFromTheAudioThreadArriveWhole)
{
  auto inbox = std::make_unique<SysExInbox>();
  constexpr uint32_t kDumps = 400;
  std::thread producer([&] {
    for (uint32_t i = 0; i < kDumps; ++i) {
      const auto dump = Dump(20000 + i % 7, i);
      while (!inbox->Push(dump.data(), static_cast<uint32_t>(dump.size())))
        std::this_thread::yield();
    }
  });
  for (uint32_t i = 0; i < kDumps;) {
    const auto got = PopOne(*inbox);
    if (got.empty()) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(got, Dump(20000 + i % 7, i)) << "dump " << i;
    ++i;
  }
  producer.join();
}

} // namespace
