// LearnQueue: the messages the audio thread learned from the host's input,
// on their way to the learning thread, which writes them into the program
// records under the strip lock.
//
// One producer (the audio thread, in midiInProcess) and one consumer (the
// learning thread). `writePosition` is advanced by the producer only, after
// it has filled the cell (release); `readPosition` by the consumer only,
// after it has copied the cell out (release), which hands the cell back. A
// full ring drops the message being pushed: the audio thread never waits.
// Nothing here allocates, blocks or enters the kernel.
#pragma once

#include "model/StripMessages.h"

#include <atomic>
#include <cstdint>

// A message as the model's learning rule takes it (strips::FromMidi).
using LearnedMessage = strips::Message;

class LearnQueue
{
public:
  static constexpr uint32_t kCapacity = 256;

  // Producer only. False (the message dropped) when the ring is full.
  bool Push(const LearnedMessage& message) noexcept
  {
    const uint32_t write = writePosition.load(std::memory_order_relaxed);
    if (write - readPosition.load(std::memory_order_acquire) >= kCapacity)
      return false;
    cells[write & kMask] = message;
    writePosition.store(write + 1, std::memory_order_release);
    return true;
  }

  // Consumer only. The oldest message; false when none is waiting.
  bool Pop(LearnedMessage& message) noexcept
  {
    const uint32_t read = readPosition.load(std::memory_order_relaxed);
    if (read == writePosition.load(std::memory_order_acquire))
      return false;
    message = cells[read & kMask];
    readPosition.store(read + 1, std::memory_order_release);
    return true;
  }

  bool Empty() const noexcept
  {
    return readPosition.load(std::memory_order_acquire) ==
           writePosition.load(std::memory_order_acquire);
  }

private:
  static constexpr uint32_t kMask = kCapacity - 1;
  static_assert((kCapacity & kMask) == 0, "the capacity must be a power of two");

  LearnedMessage cells[kCapacity] = {};
  alignas(64) std::atomic<uint32_t> writePosition{0};
  alignas(64) std::atomic<uint32_t> readPosition{0};
};
