// The MIDI ring: capacity, order across the wrap, batches, and many
// producers against one consumer.
#include "engine/MidiEventQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

// An event that carries a number in its delta frames.
VstMidiEvent Numbered(int32_t number, int32_t type = kVstMidiType)
{
  VstMidiEvent event{};
  event.type = type;
  event.byteSize = 24;
  event.deltaFrames = number;
  event.midiData[0] = 0x90;
  return event;
}

std::vector<int32_t> Drain(MidiEventQueue& queue, int32_t room = MidiEventQueue::kCapacity)
{
  std::vector<VstMidiEvent> out(MidiEventQueue::kCapacity);
  const int32_t taken = queue.PopInto(out.data(), room);
  std::vector<int32_t> numbers;
  for (int32_t i = 0; i < taken; ++i)
    numbers.push_back(out[i].deltaFrames);
  return numbers;
}

std::vector<int32_t> Range(int32_t from, int32_t to)
{
  std::vector<int32_t> numbers;
  for (int32_t i = from; i < to; ++i)
    numbers.push_back(i);
  return numbers;
}

} // namespace

TEST(MidiEventQueue, Takes256AndDropsTheRest)
{
  auto queue = std::make_unique<MidiEventQueue>();
  int accepted = 0;
  for (int i = 0; i < 300; ++i)
    accepted += queue->Push(Numbered(i)) ? 1 : 0;
  EXPECT_EQ(accepted, 256);
  EXPECT_EQ(queue->Count(), 256);
  EXPECT_EQ(Drain(*queue), Range(0, 256)) << "the first 256, in order";
  EXPECT_EQ(queue->Count(), 0);
  EXPECT_TRUE(queue->Push(Numbered(7))) << "room again once consumed";
}

TEST(MidiEventQueue, BatchesKeepTheOrderAcrossTheWrap)
{
  auto queue = std::make_unique<MidiEventQueue>();
  for (int lap = 0; lap < 5; ++lap) {
    // 200 at a time: every lap but the first starts mid-ring and wraps.
    for (int i = 0; i < 200; ++i)
      ASSERT_TRUE(queue->Push(Numbered(lap * 1000 + i)));
    EXPECT_EQ(Drain(*queue), Range(lap * 1000, lap * 1000 + 200)) << "lap " << lap;
  }
}

TEST(MidiEventQueue, BatchTakesNoMoreThanTheRoomGiven)
{
  auto queue = std::make_unique<MidiEventQueue>();
  for (int i = 0; i < 10; ++i)
    queue->Push(Numbered(i));
  EXPECT_EQ(Drain(*queue, 4), Range(0, 4));
  EXPECT_EQ(Drain(*queue, 0), std::vector<int32_t>{});
  EXPECT_EQ(Drain(*queue), Range(4, 10));
  VstMidiEvent one{};
  EXPECT_FALSE(queue->Pop(one));
}

TEST(MidiEventQueue, HostBlocksSkipOtherTypesAndFillWhatIsLeft)
{
  auto queue = std::make_unique<MidiEventQueue>();
  for (int i = 0; i < 250; ++i)
    queue->Push(Numbered(i));
  // MIDI, a null entry and events of another type, mixed.
  std::vector<VstMidiEvent> store;
  for (int i = 0; i < 20; ++i)
    store.push_back(Numbered(1000 + i, i % 3 == 0 ? 6 : kVstMidiType));
  std::vector<VstEvent*> pointers;
  for (VstMidiEvent& event : store)
    pointers.push_back(reinterpret_cast<VstEvent*>(&event));
  pointers.insert(pointers.begin() + 2, nullptr);

  EXPECT_EQ(queue->PushMidi(pointers.data(), static_cast<int32_t>(pointers.size())), 6);
  std::vector<int32_t> expected = Range(0, 250);
  for (int32_t number : {1001, 1002, 1004, 1005, 1007, 1008})
    expected.push_back(number);
  EXPECT_EQ(Drain(*queue), expected);
  EXPECT_EQ(queue->PushMidi(pointers.data(), 0), 0);
}

TEST(MidiEventQueue, ManyProducersOneConsumerLoseNothingAndKeepEachProducersOrder)
{
  auto queue = std::make_unique<MidiEventQueue>();
  constexpr int kProducers = 3;
  constexpr int kPerProducer = 20000;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      // Singles and blocks of 5, retried while the ring is full.
      VstMidiEvent block[5];
      VstEvent* pointers[5];
      for (int i = 0; i < kPerProducer;) {
        if (i % 10 == 0 && i + 5 <= kPerProducer) {
          for (int k = 0; k < 5; ++k) {
            block[k] = Numbered(p * kPerProducer + i + k);
            pointers[k] = reinterpret_cast<VstEvent*>(&block[k]);
          }
          const int32_t taken = queue->PushMidi(pointers, 5);
          i += taken; // a partial block continues with the next number
          if (taken < 5)
            std::this_thread::yield();
        } else if (queue->Push(Numbered(p * kPerProducer + i))) {
          ++i;
        } else {
          std::this_thread::yield();
        }
      }
    });
  }
  std::vector<int32_t> next(kProducers);
  for (int p = 0; p < kProducers; ++p)
    next[p] = p * kPerProducer;
  int received = 0;
  bool ordered = true;
  std::vector<VstMidiEvent> out(MidiEventQueue::kCapacity);
  while (received < kProducers * kPerProducer) {
    const int32_t taken = queue->PopInto(out.data(), 97);
    for (int32_t i = 0; i < taken; ++i) {
      const int32_t number = out[i].deltaFrames;
      const int p = number / kPerProducer;
      ordered = ordered && p >= 0 && p < kProducers && number == next[p];
      if (p >= 0 && p < kProducers)
        next[p] = number + 1;
    }
    received += taken;
    if (taken == 0)
      std::this_thread::yield();
  }
  for (auto& producer : producers)
    producer.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(received, kProducers * kPerProducer);
  EXPECT_EQ(queue->Count(), 0);
}

TEST(MidiEventQueue, CellsClaimedForOtherEventTypesAreHandedBackOrLeftOut)
{
  // A producer claims cells for a whole host block before it knows how many
  // of its events are MIDI. Alone, it hands the rest back; with another
  // producer claiming meanwhile, it fills them with records the consumer
  // never returns. Either way every MIDI event arrives once, in order.
  auto queue = std::make_unique<MidiEventQueue>();
  constexpr int kRounds = 20000;
  std::atomic<bool> done{false};
  std::atomic<int32_t> singlesSent{0};
  std::thread singles([&] {
    for (int32_t i = 0; !done;) {
      if (queue->Push(Numbered(1000000 + i)))
        singlesSent = ++i;
    }
  });
  std::vector<int32_t> blockNumbers;
  std::vector<int32_t> singleNumbers;
  bool onlyMidi = true;
  std::vector<VstMidiEvent> out(MidiEventQueue::kCapacity);
  auto drain = [&] {
    const int32_t taken = queue->PopInto(out.data(), MidiEventQueue::kCapacity);
    for (int32_t i = 0; i < taken; ++i) {
      onlyMidi = onlyMidi && out[i].type == kVstMidiType;
      (out[i].deltaFrames >= 1000000 ? singleNumbers : blockNumbers).push_back(out[i].deltaFrames);
    }
  };
  // Blocks of 100 with MIDI at 0 and 3 only.
  constexpr int kBlock = 100;
  VstMidiEvent block[kBlock];
  VstEvent* pointers[kBlock];
  int32_t number = 0;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int round = 0; round < kRounds ||
                      (queue->FillersLeftOut() == 0 && std::chrono::steady_clock::now() < limit);
       ++round) {
    for (int k = 0; k < kBlock; ++k) {
      const bool midi = k == 0 || k == 3;
      block[k] = Numbered(midi ? number : -1, midi ? kVstMidiType : 6);
      pointers[k] = reinterpret_cast<VstEvent*>(&block[k]);
      number += midi ? 1 : 0;
    }
    const int32_t taken = queue->PushMidi(pointers, kBlock);
    if (taken < 2)
      number -= 2 - taken; // those not taken are sent again
    drain();
  }
  done = true;
  singles.join();
  drain();
  drain();

  EXPECT_TRUE(onlyMidi);
  EXPECT_EQ(blockNumbers, Range(0, number));
  EXPECT_EQ(singleNumbers, Range(1000000, 1000000 + singlesSent));
  EXPECT_EQ(queue->Count(), 0);
  EXPECT_GT(queue->FillersLeftOut(), 0u) << "the other producer never came between";
}
