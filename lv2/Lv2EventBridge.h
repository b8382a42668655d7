// Lv2EventBridge: carries MIDI between LV2 atoms and the plug-in's VST 2
// event blocks. Incoming MIDI atoms become the records of the block handed
// to the plug-in's processEvents; every block the plug-in hands back to its
// host (audioMasterProcessEvents) becomes MIDI atoms in the output port's
// sequence, each of its own size (by the status byte, midi/MidiBytes.h; a
// System Exclusive record by its own length) at its own frame.
//
// Threads: the audio thread alone (the adapter's run and the host callback
// the plug-in makes from inside it). Every record lives in fixed arrays
// made with the bridge: nothing here allocates, waits or locks.
#pragma once

#include "midi/MidiBytes.h"
#include "plugin/VstInterface.h"

#include <lv2/atom/atom.h>

#include <cstdint>
#include <cstring>

class Lv2EventBridge
{
public:
  // Records handed to the plug-in per sub-block: its own input ring takes
  // 256 per block, so more would only be dropped there.
  static constexpr int32_t kInputCapacity = 256;
  // Output records sorted by frame per block; the plug-in hands over at
  // most 256 at a time, a longer block is written in its own order, its
  // frames held back where needed to keep the sequence in time order.
  static constexpr int32_t kOrderCapacity = 1024;

  explicit Lv2EventBridge(uint32_t midiEventType = 0) noexcept;
  // The block points into the bridge's own records.
  Lv2EventBridge(const Lv2EventBridge&) = delete;
  Lv2EventBridge& operator=(const Lv2EventBridge&) = delete;
  void SetMidiType(uint32_t type) noexcept { midiType = type; }

  // --- input (one sub-block at a time)
  void BeginInput() noexcept
  {
    // The block's n-th entry points at the n-th short record, except where
    // a SysEx record took the place: those entries are put back.
    if (sysexSlots)
      RestoreShortSlots();
    inputCount = 0;
    inputLimit = kInputCapacity;
    keptCount = 0;
  }
  // Adds one MIDI atom's bytes at `deltaFrames` into the sub-block. False
  // (and nothing added) for what is no MIDI message: empty, a data byte
  // first, not of its status byte's length, a data byte of 128 or more, a
  // System Exclusive message not ended by F7, or a full block.
  bool AddInput(const uint8_t* bytes, uint32_t size, int32_t deltaFrames) noexcept
  {
    // The common case inline: a short message into its ready-made record
    // (type and size written once, at construction).
    if (size - 1 > 2 || inputCount >= inputLimit) // 0 wraps around
      return AddLong(bytes, size, deltaFrames);
    uint32_t word = bytes[0];
    if (size > 1)
      word |= uint32_t{bytes[1]} << 8;
    if (size > 2)
      word |= uint32_t{bytes[2]} << 16;
    if (midi::CutShortMessage(word) != size)
      return false;
    VstMidiEvent& event = inputMidi[inputCount];
    event.deltaFrames = deltaFrames;
    std::memcpy(event.midiData, &word, sizeof word);
    ++inputCount;
    return true;
  }
  // The common stretch of an input sequence, from `cursor` (an event's
  // header, before `limit`): whole MIDI events of one to three bytes at
  // frames inside [start, end) (every one at `start` when the sequence is
  // not in frames), each added as AddInput adds it. Returns where it
  // stopped: the first event that is anything else, a block that is full,
  // or `limit`; the caller's general walk takes over from there. `start`
  // and `end` are frames of the run (0 <= start <= end < 2^32); an event's
  // frame may be anything.
  const uint8_t* AddShortEvents(const uint8_t* cursor, const uint8_t* limit, int64_t start,
                                int64_t end, bool frameTimes) noexcept;
  int32_t InputCount() const noexcept { return inputCount; }
  VstEvents* InputBlock() noexcept;

  // --- packed input (QuilletPackedInput: the plug-in reads the atoms of
  // the common stretch itself and writes the ones it passes on straight
  // into the output port)
  // Fills in the record for the events from `cursor` on, as many as the
  // sub-block's input room and the sequence hold (0: none to hand over),
  // with the port's free room for what the plug-in passes on.
  int32_t BeginPacked(QuilletPackedInput& packed, const uint8_t* cursor, const uint8_t* limit,
                      int64_t start, int64_t end) noexcept;
  // After the plug-in took them: what it wrote becomes part of the sequence
  // and what it took counts against the sub-block's input room.
  void CommitPacked(const QuilletPackedInput& packed) noexcept;

  // --- output (one run at a time)
  // Starts the output port's sequence; its capacity is the size the host
  // set in the port's atom header. A null port takes nothing.
  void BeginOutput(LV2_Atom_Sequence* port, uint32_t sequenceType) noexcept;
  // Where the sub-block being processed starts in the run and how long it
  // is: the plug-in's delta frames count from there and stay inside it.
  void SetSubBlock(int64_t start, int32_t frames) noexcept
  {
    subStart = start;
    subFrames = frames;
  }
  // A block the plug-in hands to its host; true when it was taken (the
  // answer a host gives), even if the port had room for only part of it.
  bool TakeOutput(const VstEvents* events) noexcept;
  // An atom that is no MIDI (a patch message to the host), after what the
  // sequence holds so far (it goes at the last event's frame when `frames`
  // is earlier). False, and nothing written, without room for it.
  bool AppendAtom(int64_t frames, const LV2_Atom* atom) noexcept;

private:
  void RestoreShortSlots() noexcept;
  // The general output path with events passed on packed in this sub-block:
  // the records in `order` and those events merged by frame (those first
  // among equal frames, as they came before the plug-in's own).
  void MergeWithKept(VstEvent* const* pointers, int32_t slots) noexcept;
  // A System Exclusive message (or a refusal of anything longer).
  bool AddLong(const uint8_t* bytes, uint32_t size, int32_t deltaFrames) noexcept;
  // A block of short messages in time order that fits the port, written in
  // one pass; false (nothing written) for any other block.
  bool AppendShortBlock(VstEvent* const* pointers, int32_t count) noexcept;
  bool Append(int64_t frames, const uint8_t* bytes, uint32_t size) noexcept;
  // The bytes a record carries on the wire (0: none it can carry).
  static uint32_t WireBytes(const VstEvent* event, const uint8_t** bytes) noexcept;

  uint32_t midiType;

  // Input: the records of the sub-block and the block pointing at them.
  // SysEx records point into the input atoms, which live until run returns.
  // Entry n of the block points at inputMidi[n], set once at construction,
  // so that a short message costs only its frame and bytes; a SysEx message
  // at n points it at inputSysex[n] instead, and `sysexSlots` (how many
  // entries did so since the last BeginInput) has them put back.
  VstMidiEvent inputMidi[kInputCapacity] = {};
  VstMidiSysexEvent inputSysex[kInputCapacity] = {};
  VstEventBlock<kInputCapacity> inputBlock{};
  int32_t inputCount = 0;
  int32_t inputLimit = kInputCapacity;
  int32_t sysexSlots = 0;

  // What the plug-in passed on packed in the sub-block: where it begins in
  // the port, how many events, and the sequence's last frame before them.
  uint32_t keptOffset = 0;
  int32_t keptCount = 0;
  int64_t frameBeforeKept = 0;
  uint8_t keptCopy[kInputCapacity * kQuilletPackedEventBytes] = {};

  // Output: the port, its capacity, the last frame written (a sequence is
  // in time order) and the order of the block being written.
  LV2_Atom_Sequence* out = nullptr;
  uint32_t capacity = 0;
  int64_t lastFrame = 0;
  int64_t subStart = 0;
  int32_t subFrames = 1;
  struct Slot
  {
    int32_t frame;
    int32_t index;
  };
  Slot order[kOrderCapacity] = {};
};
