// BlockOutput: the events of one block on their way to the host. The
// plug-in collects them in midiInProcess (the host's events passed through,
// then the generated ones, then the paced messages that fall in the block)
// and hands them over once in midiPostProcess, in one VstEvents block.
//
// Threads: the audio thread alone; it is emptied at the end of every block,
// so it needs no ring. `store` holds the records in frame order, `events`
// points at them (the pointers never change), `count` counts them. The
// rings empty themselves straight into `store`.
#pragma once

#include "engine/MidiEventQueue.h"
#include "plugin/VstInterface.h"

#include <cstdint>
#include <cstring>

struct BlockOutput
{
  static constexpr int32_t kCapacity = MidiEventQueue::kCapacity;

  static VstMidiEvent FreshEvent() noexcept
  {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
    return event;
  }

  BlockOutput() noexcept
  {
    for (int32_t i = 0; i < kCapacity; ++i) {
      store[i] = FreshEvent();
      events.events[i] = reinterpret_cast<VstEvent*>(&store[i]);
    }
    events.numEvents = 0;
    events.reserved = 0;
  }
  BlockOutput(const BlockOutput&) = delete;
  BlockOutput& operator=(const BlockOutput&) = delete;

  bool Full() const noexcept { return count >= kCapacity; }

  // Inserts a message at `deltaFrames` after the events at or before it, so
  // that the block's events keep the order they have. The caller checks
  // that there is room.
  void InsertAt(const uint8_t (&bytes)[3], int32_t deltaFrames) noexcept
  {
    int32_t at = count;
    while (at > 0 && store[at - 1].deltaFrames > deltaFrames) {
      store[at] = store[at - 1];
      --at;
    }
    VstMidiEvent& event = store[at];
    event = FreshEvent();
    event.deltaFrames = deltaFrames;
    std::memcpy(event.midiData, bytes, sizeof bytes);
    ++count;
  }

  // The block as the host takes it (null when it is empty); the output is
  // empty again afterwards.
  VstEvents* Take() noexcept
  {
    if (count <= 0)
      return nullptr;
    events.numEvents = count;
    events.reserved = 0;
    count = 0;
    return events.AsEvents();
  }

  VstEventBlock<kCapacity> events{};
  alignas(64) VstMidiEvent store[kCapacity];
  int32_t count = 0;
};
