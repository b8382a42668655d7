// The published SysEx sets: a pinned set outlives its replacement, readers
// see what was published, and a publisher replacing sets while the audio
// thread pins and reads them (run under the tsan preset as well).
#include "engine/SysExStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// `count` messages of `size` bytes whose data bytes are all `fill`.
std::unique_ptr<const SysExSet> Filled(uint8_t fill, int32_t count = 3, int32_t size = 500)
{
  SysExSet::Builder builder;
  std::vector<uint8_t> m(static_cast<size_t>(size), fill);
  m.front() = midi::kSysExStart;
  m.back() = midi::kSysExEnd;
  for (int32_t i = 0; i < count; ++i)
    builder.Append({m.data(), size});
  return builder.Build();
}

} // namespace

TEST(SysExStore, APinnedSetOutlivesItsReplacement)
{
  SysExStore store;
  store.Publish(5, Filled(1));
  const SysExSet* pinned = store.Pin(5);
  ASSERT_NE(pinned, nullptr);
  store.Publish(5, Filled(2));
  EXPECT_EQ(store.Retired(), 1u) << "kept while pinned";
  EXPECT_EQ(pinned->Message(2).data[1], 1);

  const SysExSet* next = store.Pin(5);
  EXPECT_NE(next, pinned);
  EXPECT_EQ(next->Message(0).data[1], 2);
  store.Collect();
  EXPECT_EQ(store.Retired(), 0u);
  store.Unpin();
  store.Publish(5, nullptr);
  EXPECT_EQ(store.Retired(), 0u) << "freed at once when not pinned";
}

TEST(SysExStore, ReadersSeeWhatWasPublished)
{
  SysExStore store;
  store.Publish(0, Filled(7, 2));
  store.Publish(127, SysExSet::Builder().Build()); // empty: no SysEx
  store.Publish(128, Filled(8));                   // out of range: dropped
  {
    SysExStore::Reader reader(store);
    ASSERT_NE(reader.Current(0), nullptr);
    EXPECT_EQ(reader.Current(0)->Count(), 2);
    EXPECT_EQ(reader.Current(127), nullptr);
    EXPECT_EQ(reader.Current(128), nullptr);
    EXPECT_EQ(reader.Current(-1), nullptr);
  }
  EXPECT_EQ(store.Pin(1), nullptr);
  EXPECT_EQ(store.Pin(-1), nullptr);
}

TEST(SysExStore, TheAudioThreadReadsWholeSetsWhileAPublisherReplacesThem)
{
  SysExStore store;
  std::atomic<bool> stop{false};
  std::atomic<int64_t> checked{0};
  std::atomic<int64_t> torn{0};

  // The audio thread: pins a program, reads every byte of its set, and
  // checks that the set is one publication (all its data bytes the same).
  std::thread audio([&] {
    int32_t program = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      program = (program + 1) % 4;
      const SysExSet* set = store.Pin(program);
      if (set) {
        const uint8_t fill = set->Message(0).data[1];
        for (int32_t i = 0; i < set->Count(); ++i) {
          const SysExView m = set->Message(i);
          for (int32_t b = 1; b < m.size - 1; ++b)
            torn.fetch_add(m.data[b] != fill, std::memory_order_relaxed);
        }
        checked.fetch_add(1, std::memory_order_relaxed);
      }
      store.Unpin();
    }
  });

  std::thread publisher([&] {
    uint8_t generation = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
      generation = static_cast<uint8_t>((generation + 1) & 0x7F);
      store.Publish(generation % 4,
                    generation % 9 ? Filled(generation, 1 + generation % 5) : nullptr);
    }
  });
  publisher.join();
  // Let the audio thread read a few more after the last publication.
  const int64_t seen = checked.load();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (checked.load() < seen + 10 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  stop = true;
  audio.join();

  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(checked.load(), 10);
  store.Collect();
  EXPECT_EQ(store.Retired(), 0u);
}
