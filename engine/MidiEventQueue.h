// MidiEventQueue: a fixed ring of 256 MIDI event records.
//
// Who touches it: any number of producers (the host's dispatcher thread
// through processEvents, the editor's and the host's threads through a
// resend, the countdown thread, the audio thread) and exactly one consumer,
// the audio thread.
//
// Why that is safe without a lock: every record sits in a cell with its own
// sequence number. A producer claims a cell by advancing the write position
// with one compare-and-swap, copies its 32 bytes and then publishes the cell
// by storing the next sequence number. The consumer takes a cell only when
// its sequence shows it published, and hands it back with a sequence one lap
// ahead. No side ever waits for another: a full ring drops the record being
// pushed, and a cell still being written simply ends this block's pops (it is
// taken in the next block). Push and Pop never allocate, never block and
// never enter the kernel.
#pragma once

#include "plugin/VstInterface.h"

#include <atomic>
#include <cstdint>
#include <cstring>

class MidiEventQueue
{
public:
  static constexpr int32_t kCapacity = 256;

  MidiEventQueue() noexcept
  {
    for (uint32_t i = 0; i < kCapacity; ++i) {
      cells[i].sequence.store(i, std::memory_order_relaxed);
      std::memset(&cells[i].event, 0, sizeof(VstMidiEvent));
      cells[i].event.type = kVstMidiType;
      cells[i].event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
    }
  }
  MidiEventQueue(const MidiEventQueue&) = delete;
  MidiEventQueue& operator=(const MidiEventQueue&) = delete;

  // Copies the record in; false (and the record is dropped) when full.
  bool Push(const VstMidiEvent& event) noexcept
  {
    uint32_t position = writePosition.load(std::memory_order_relaxed);
    for (;;) {
      Cell& cell = cells[position & kMask];
      const uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
      const int32_t lag = static_cast<int32_t>(sequence - position);
      if (lag == 0) {
        if (writePosition.compare_exchange_weak(position, position + 1,
                                                std::memory_order_relaxed))
          break;
      } else if (lag < 0) {
        return false; // full: the oldest cell has not been consumed yet
      } else {
        position = writePosition.load(std::memory_order_relaxed);
      }
    }
    Cell& cell = cells[position & kMask];
    std::memcpy(&cell.event, &event, sizeof(VstMidiEvent));
    cell.sequence.store(position + 1, std::memory_order_release);
    return true;
  }

  // Copies the MIDI events among `events` in, in order, claiming their cells
  // with one compare-and-swap; events of other types are skipped. Returns
  // how many were taken (the rest are dropped when the ring is full).
  int32_t PushMidi(VstEvent* const* events, int32_t count) noexcept
  {
    int32_t wanted = 0;
    for (int32_t i = 0; i < count; ++i)
      wanted += events[i] && events[i]->type == kVstMidiType ? 1 : 0;
    uint32_t position = writePosition.load(std::memory_order_relaxed);
    uint32_t claimed = 0;
    for (;;) {
      // Cells are handed back in order, so the cells before the first one
      // still in use are all free.
      claimed = 0;
      while (claimed < static_cast<uint32_t>(wanted) &&
             cells[(position + claimed) & kMask].sequence.load(std::memory_order_acquire) ==
                 position + claimed)
        ++claimed;
      if (claimed == 0 ||
          writePosition.compare_exchange_weak(position, position + claimed,
                                              std::memory_order_relaxed))
        break;
    }
    uint32_t next = position;
    for (int32_t i = 0; i < count && next != position + claimed; ++i) {
      if (!events[i] || events[i]->type != kVstMidiType)
        continue;
      Cell& cell = cells[next & kMask];
      std::memcpy(&cell.event, events[i], sizeof(VstMidiEvent));
      cell.sequence.store(next + 1, std::memory_order_release);
      ++next;
    }
    return static_cast<int32_t>(claimed);
  }

  // Consumer only. Copies the oldest published record out; false when none.
  bool Pop(VstMidiEvent& event) noexcept
  {
    const uint32_t position = readPosition.load(std::memory_order_relaxed);
    Cell& cell = cells[position & kMask];
    const uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
    if (sequence != position + 1)
      return false;
    std::memcpy(&event, &cell.event, sizeof(VstMidiEvent));
    cell.sequence.store(position + kCapacity, std::memory_order_release);
    readPosition.store(position + 1, std::memory_order_release);
    return true;
  }

  // Records claimed and not yet consumed (may include one being written).
  int32_t Count() const noexcept
  {
    return static_cast<int32_t>(writePosition.load(std::memory_order_acquire) -
                                readPosition.load(std::memory_order_acquire));
  }

private:
  static constexpr uint32_t kMask = kCapacity - 1;
  static_assert((kCapacity & (kCapacity - 1)) == 0, "the capacity must be a power of two");

  struct alignas(64) Cell
  {
    std::atomic<uint32_t> sequence;
    VstMidiEvent event;
  };

  Cell cells[kCapacity];
  // Advanced by producers only.
  alignas(64) std::atomic<uint32_t> writePosition{0};
  // Advanced by the consumer only (atomic so that Count may read it).
  alignas(64) std::atomic<uint32_t> readPosition{0};
};

