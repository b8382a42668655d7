// MidiEventQueue: a fixed ring of 256 MIDI event records.
//
// Who touches it: any number of producers (the host's dispatcher thread
// through processEvents, the editor's and the host's threads through a
// resend, the countdown thread, the audio thread) and exactly one consumer,
// the audio thread, which takes everything that is ready in one batch per
// block.
//
// Why that is safe without a lock:
// - `writePosition` is the end of the cells claimed so far. A producer
//   claims one or more cells with one compare-and-swap, but only while the
//   claim stays within 256 of `readPosition`, so a claimed cell is one the
//   consumer has finished with. It only ever moves back over cells that
//   were never published (see the host blocks below).
// - `sequence[i]` is the cell's publication mark: a producer copies its 32
//   bytes into `events[i]` and then stores position + 1 there (release).
//   Positions only grow, so the mark of a previous lap never matches.
// - `published` counts the records ever published; a producer adds its
//   records once they are all in place. When it equals `writePosition`
//   nothing is being written and the consumer takes every claimed record
//   without looking at their marks; otherwise it walks the marks and stops
//   before the first cell still being written.
// - `readPosition` counts the records ever consumed. Only the consumer
//   writes it: it copies the ready run of cells out and then advances it
//   once for the whole run (release), which is what hands the cells back to
//   the producers.
// - A host block is copied in one pass: its producer claims cells for all
//   of its events before it knows how many are MIDI, and hands the unused
//   ones back by moving `writePosition` back with a compare-and-swap. If
//   another producer has claimed cells after them meanwhile, it cannot; it
//   then publishes them as fillers (records of type 0, counted in
//   `fillers`), which the consumer leaves out of what it returns. While the
//   claim is open, another producer may find the ring fuller than it is.
// No side ever waits for another: a full ring drops the record being
// pushed, and a cell still being written ends this block's batch (it and
// the cells after it are taken in the next block, in order). Nothing here
// allocates, blocks or enters the kernel.
//
// The records are kept apart from their marks, 32 bytes each and in ring
// order, so that a batch leaves the ring in at most two block copies.
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
      // Marked as written in the lap before the first one: not published.
      sequence[i].store(i + 1 - kCapacity, std::memory_order_relaxed);
      std::memset(&events[i], 0, sizeof(VstMidiEvent));
      events[i].type = kVstMidiType;
      events[i].byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
    }
  }
  MidiEventQueue(const MidiEventQueue&) = delete;
  MidiEventQueue& operator=(const MidiEventQueue&) = delete;

  // Copies the record in; false (and the record is dropped) when full. The
  // record must be a MIDI one (type 1): one of type 0 would be left out as
  // a filler.
  bool Push(const VstMidiEvent& event) noexcept
  {
    uint32_t one = 1;
    const uint32_t position = Claim(one);
    if (position == kNone)
      return false;
    Publish(position, event);
    published.fetch_add(1, std::memory_order_release);
    return true;
  }

  // Copies the MIDI events among `source` in, in order, claiming their cells
  // with one compare-and-swap; events of other types are skipped. Returns
  // how many were taken (the rest are dropped when the ring is full).
  int32_t PushMidi(VstEvent* const* source, int32_t count) noexcept
  {
    if (count <= 0)
      return 0;
    // One pass over the host's events, which lie wherever the host put
    // them: cells are claimed for all of them first, as nearly every block
    // holds MIDI only, and those left over are handed back afterwards.
    uint32_t claimed = static_cast<uint32_t>(count < kCapacity ? count : kCapacity);
    const uint32_t position = Claim(claimed);
    if (position == kNone)
      return 0;
    const uint32_t end = position + claimed;
    uint32_t next = position;
    for (int32_t i = 0; i < count && next != end; ++i) {
      if (source[i] && source[i]->type == kVstMidiType)
        Publish(next++, *reinterpret_cast<const VstMidiEvent*>(source[i]));
    }
    uint32_t expected = end;
    if (next != end && !writePosition.compare_exchange_strong(expected, next)) {
      // Another producer has claimed cells after these meanwhile: they
      // cannot be handed back, so they carry records of no type, which the
      // consumer leaves out.
      VstMidiEvent filler{};
      filler.type = kFillerType;
      for (uint32_t cell = next; cell != end; ++cell)
        Publish(cell, filler);
      fillers.fetch_add(end - next, std::memory_order_relaxed);
      next = end;
    }
    published.fetch_add(next - position, std::memory_order_release);
    return static_cast<int32_t>(next - position);
  }

  // Consumer only. Copies the oldest published records, up to `room`, to
  // `out` in order and hands their cells back; returns how many.
  int32_t PopInto(VstMidiEvent* out, int32_t room) noexcept
  {
    if (room <= 0)
      return 0;
    const uint32_t read = readPosition.load(std::memory_order_relaxed);
    // `published` is read before `writePosition`: when the two are equal,
    // every record claimed up to then has been published, and the acquire
    // makes all of them visible.
    const uint32_t done = published.load(std::memory_order_acquire);
    const uint32_t claimed = writePosition.load(std::memory_order_relaxed);
    uint32_t limit = claimed - read;
    if (limit > static_cast<uint32_t>(room))
      limit = static_cast<uint32_t>(room);
    uint32_t ready = 0;
    if (done == claimed) {
      ready = limit;
    } else {
      // A producer is still writing: take the published run before it.
      while (ready < limit &&
             sequence[(read + ready) & kMask].load(std::memory_order_acquire) == read + ready + 1)
        ++ready;
    }
    if (ready == 0)
      return 0;
    const uint32_t first = read & kMask;
    const uint32_t head = ready < kCapacity - first ? ready : kCapacity - first;
    std::memcpy(out, &events[first], head * sizeof(VstMidiEvent));
    if (ready > head)
      std::memcpy(out + head, &events[0], (ready - head) * sizeof(VstMidiEvent));
    readPosition.store(read + ready, std::memory_order_release);
    if (fillers.load(std::memory_order_relaxed) != fillersLeftOut)
      ready = LeaveOutFillers(out, ready);
    return static_cast<int32_t>(ready);
  }

  // Consumer only. Copies the oldest published record out; false when none.
  bool Pop(VstMidiEvent& event) noexcept { return PopInto(&event, 1) == 1; }

  // Records claimed and not yet consumed (may include some being written).
  int32_t Count() const noexcept
  {
    return static_cast<int32_t>(writePosition.load(std::memory_order_acquire) -
                                readPosition.load(std::memory_order_acquire));
  }

  // Consumer only. Cells that producers could not hand back, taken and left
  // out so far.
  uint32_t FillersLeftOut() const noexcept { return fillersLeftOut; }

private:
  static constexpr uint32_t kMask = kCapacity - 1;
  static constexpr uint32_t kNone = ~uint32_t{0};
  // The type of the records in cells a producer could not hand back.
  static constexpr int32_t kFillerType = 0;
  static_assert((kCapacity & (kCapacity - 1)) == 0, "the capacity must be a power of two");

  // Claims up to `count` consecutive cells; `count` becomes the number
  // claimed. Returns the position of the first, or kNone when none is free.
  uint32_t Claim(uint32_t& count) noexcept
  {
    uint32_t position = writePosition.load(std::memory_order_relaxed);
    for (;;) {
      // A stale `position` only makes the ring look emptier than it is, and
      // then the compare-and-swap fails and brings it up to date.
      const int32_t used =
          static_cast<int32_t>(position - readPosition.load(std::memory_order_acquire));
      const uint32_t room = used < 0 ? count : static_cast<uint32_t>(kCapacity - used);
      const uint32_t take = count < room ? count : room;
      if (used >= kCapacity || take == 0)
        return kNone;
      if (writePosition.compare_exchange_weak(position, position + take,
                                              std::memory_order_relaxed)) {
        count = take;
        return position;
      }
    }
  }

  // Removes the fillers among the `count` records at `out`, keeping the
  // order of the rest; returns how many are left.
  uint32_t LeaveOutFillers(VstMidiEvent* out, uint32_t count) noexcept
  {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i) {
      if (out[i].type == kFillerType)
        ++fillersLeftOut;
      else if (kept++ != i)
        out[kept - 1] = out[i];
    }
    return kept;
  }

  void Publish(uint32_t position, const VstMidiEvent& event) noexcept
  {
    std::memcpy(&events[position & kMask], &event, sizeof(VstMidiEvent));
    sequence[position & kMask].store(position + 1, std::memory_order_release);
  }

  alignas(64) VstMidiEvent events[kCapacity];
  std::atomic<uint32_t> sequence[kCapacity];
  // Advanced by producers only: `writePosition` when they claim cells,
  // `published` (the number of records ever published) once their records
  // are in place.
  alignas(64) std::atomic<uint32_t> writePosition{0};
  std::atomic<uint32_t> published{0};
  // Fillers ever published (producers) and left out (the consumer).
  std::atomic<uint32_t> fillers{0};
  // Advanced by the consumer only (atomic so that producers may read it).
  alignas(64) std::atomic<uint32_t> readPosition{0};
  uint32_t fillersLeftOut = 0;
};
