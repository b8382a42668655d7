// BlockOutput: the events of one block on their way to the host. The
// plug-in collects them in midiInProcess (the host's events passed through,
// then the generated ones, then the paced messages that fall in the block)
// and hands them over once in midiPostProcess, in one VstEvents block.
//
// Threads: the audio thread alone (and processEvents while it holds the
// plug-in's output flag, see VSTPlugin::outputBusy); it is emptied at the
// end of every block, so it needs no ring. `store` holds the MIDI records
// in frame order, `count` counts them; the rings empty themselves straight
// into it. `sysex` holds the SysEx records of the block, each with the
// number of MIDI records that go before it. `events` points at them all:
// in a block without SysEx entry i points at store[i] (so nothing is
// written there), a block with SysEx lays the pointers out in order as it
// is taken, and the next block without puts back what it changed.
#pragma once

#include "engine/MidiEventQueue.h"
#include "midi/MidiBytes.h"
#include "plugin/VstInterface.h"

#include <cstdint>
#include <cstring>

struct BlockOutput
{
  static constexpr int32_t kCapacity = MidiEventQueue::kCapacity;
  // SysEx messages in one block; more wait for the next.
  static constexpr int32_t kSysExCapacity = 64;

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
    for (int32_t i = 0; i < kSysExCapacity; ++i) {
      sysex[i] = VstMidiSysexEvent{};
      sysex[i].type = kVstSysExType;
      sysex[i].byteSize = static_cast<int32_t>(sizeof(VstMidiSysexEvent)) - 8;
      events.events[kCapacity + i] = nullptr;
    }
    events.numEvents = 0;
    events.reserved = 0;
  }
  BlockOutput(const BlockOutput&) = delete;
  BlockOutput& operator=(const BlockOutput&) = delete;

  bool Full() const noexcept { return count >= kCapacity; }
  int32_t Room() const noexcept { return kCapacity - count; }
  bool SysExFull() const noexcept { return sysexCount >= kSysExCapacity; }

  // Inserts the MIDI messages of a short message (`size` bytes, one to six
  // messages) at `deltaFrames`, after the events at or before it and one
  // after the other, so that the block's events keep the order they have.
  // False, and nothing inserted, when the output has no room for all.
  bool InsertAt(const uint8_t* bytes, int32_t size, int32_t deltaFrames) noexcept
  {
    const int32_t messages = midi::ForEachMessage(bytes, size, [](const uint8_t*, int32_t) {});
    if (messages == 0)
      return true;
    if (messages > Room())
      return false;
    int32_t at = count;
    while (at > 0 && store[at - 1].deltaFrames > deltaFrames) {
      store[at - 1 + messages] = store[at - 1];
      --at;
    }
    midi::ForEachMessage(bytes, size, [&](const uint8_t* message, int32_t length) {
      VstMidiEvent& event = store[at++];
      event = FreshEvent();
      event.deltaFrames = deltaFrames;
      std::memcpy(event.midiData, message, static_cast<size_t>(length));
    });
    count += messages;
    return true;
  }

  // Inserts a SysEx message at `deltaFrames`, after the events at or
  // before it. Its bytes must stay valid until the next block has been
  // taken (a host reads them until then). False when the block holds as
  // many as it can.
  bool InsertSysEx(const uint8_t* data, int32_t size, int32_t deltaFrames) noexcept
  {
    if (SysExFull() || !data || size <= 0)
      return false;
    // Paced messages are inserted last in a block and in frame order, so
    // MIDI records inserted after this one go after it and the number
    // before it stays right.
    int32_t before = count;
    while (before > 0 && store[before - 1].deltaFrames > deltaFrames)
      --before;
    VstMidiSysexEvent& event = sysex[sysexCount];
    event.deltaFrames = deltaFrames;
    event.flags = 0;
    event.dumpBytes = size;
    event.resvd1 = 0;
    event.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    event.resvd2 = 0;
    sysexBefore[sysexCount] = before;
    ++sysexCount;
    return true;
  }

  // The block as the host takes it (null when it is empty); the output is
  // empty again afterwards.
  VstEvents* Take() noexcept
  {
    const int32_t total = count + sysexCount;
    if (sysexCount > 0) {
      int32_t next = 0;
      int32_t s = 0;
      for (int32_t i = 0; i < count; ++i) {
        for (; s < sysexCount && sysexBefore[s] <= i; ++s)
          events.events[next++] = reinterpret_cast<VstEvent*>(&sysex[s]);
        events.events[next++] = reinterpret_cast<VstEvent*>(&store[i]);
      }
      for (; s < sysexCount; ++s)
        events.events[next++] = reinterpret_cast<VstEvent*>(&sysex[s]);
      if (total > laidOut)
        laidOut = total;
    } else if (laidOut > 0) {
      for (int32_t i = 0; i < laidOut && i < kCapacity; ++i)
        events.events[i] = reinterpret_cast<VstEvent*>(&store[i]);
      laidOut = 0;
    }
    count = 0;
    sysexCount = 0;
    if (total <= 0)
      return nullptr;
    events.numEvents = total;
    events.reserved = 0;
    return events.AsEvents();
  }

  VstEventBlock<kCapacity + kSysExCapacity> events{};
  alignas(64) VstMidiEvent store[kCapacity];
  int32_t count = 0;
  VstMidiSysexEvent sysex[kSysExCapacity];
  int32_t sysexBefore[kSysExCapacity] = {};
  int32_t sysexCount = 0;
  // Pointer entries a block with SysEx laid out differently (0: all as in
  // a block without).
  int32_t laidOut = 0;
};
