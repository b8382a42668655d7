// LearnQueue: the messages the audio thread learned from the host's input,
// on their way to the learning thread, which writes them into the program
// records under the strip lock.
//
// One producer (the audio thread, in midiInProcess) and one consumer (the
// learning thread). `writePosition` is advanced by the producer only, after
// it has filled the cell (release); `readPosition` by the consumer only,
// after it has copied the cells out (release), which hands them back. A
// full ring drops the message being pushed: the audio thread never waits.
// Nothing here allocates, blocks or enters the kernel.
//
// Each side keeps the other's position as it last read it and reads it
// again only when that copy says the ring is full (or empty): the other
// side writes its position all the time, and reading it at every message
// would fetch its cache line from the other core at every message.
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
    if (write - readSeen >= kCapacity) {
      readSeen = readPosition.load(std::memory_order_acquire);
      if (write - readSeen >= kCapacity)
        return false;
    }
    cells[write & kMask] = message;
    writePosition.store(write + 1, std::memory_order_release);
    return true;
  }

  // Consumer only. The oldest message; false when none is waiting. The
  // cells taken are handed back in groups of kHandBack, and when the
  // consumer has caught up, so that the producer, which reads the
  // consumer's position again only while the ring looks full, meets a new
  // one a few times per ring rather than at every message.
  bool Pop(LearnedMessage& message) noexcept
  {
    if (readNext == writeSeen) {
      writeSeen = writePosition.load(std::memory_order_acquire);
      if (readNext == writeSeen)
        return false;
    }
    message = cells[readNext & kMask];
    ++readNext;
    if (readNext == writeSeen || (readNext & (kHandBack - 1)) == 0)
      readPosition.store(readNext, std::memory_order_release);
    return true;
  }

  // Consumer only: nothing is waiting.
  bool Empty() const noexcept { return readNext == writePosition.load(std::memory_order_acquire); }

private:
  static constexpr uint32_t kMask = kCapacity - 1;
  static constexpr uint32_t kHandBack = kCapacity / 4;
  static_assert((kCapacity & kMask) == 0, "the capacity must be a power of two");

  LearnedMessage cells[kCapacity] = {};
  // The producer's line; the consumer's published position alone on its
  // line (the producer reads it); the consumer's own, written at every
  // message, on a line of their own.
  alignas(64) std::atomic<uint32_t> writePosition{0};
  uint32_t readSeen = 0;
  alignas(64) std::atomic<uint32_t> readPosition{0};
  alignas(64) uint32_t readNext = 0; // readPosition up to kHandBack behind
  uint32_t writeSeen = 0;
};
