#include "lv2/Lv2EventBridge.h"

#include "midi/MidiBytes.h"

#include <lv2/atom/util.h>

#include <cstddef>
#include <cstring>

// Bytes are read and written as words, least significant first.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
// An event's header as two words: the frame, then the body's size and type.
static_assert(sizeof(LV2_Atom_Event) == 16 && offsetof(LV2_Atom_Event, body) == 8 &&
              offsetof(LV2_Atom, size) == 0 && offsetof(LV2_Atom, type) == 4);
// A short message's event is the plug-in's packed event.
static_assert(sizeof(LV2_Atom_Event) + 8 == kQuilletPackedEventBytes);

namespace {

bool DataBytesClean(const uint8_t* bytes, uint32_t from, uint32_t to) noexcept
{
  for (uint32_t i = from; i < to; ++i) {
    if (midi::IsStatus(bytes[i]))
      return false;
  }
  return true;
}

} // namespace

Lv2EventBridge::Lv2EventBridge(uint32_t midiEventType) noexcept : midiType(midiEventType)
{
  for (int32_t i = 0; i < kInputCapacity; ++i) {
    inputMidi[i].type = kVstMidiType;
    inputMidi[i].byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
    inputBlock.events[i] = reinterpret_cast<VstEvent*>(&inputMidi[i]);
  }
}

void Lv2EventBridge::RestoreShortSlots() noexcept
{
  for (int32_t i = 0; i < inputCount; ++i)
    inputBlock.events[i] = reinterpret_cast<VstEvent*>(&inputMidi[i]);
  sysexSlots = 0;
}

bool Lv2EventBridge::AddLong(const uint8_t* bytes, uint32_t size, int32_t deltaFrames) noexcept
{
  if (!bytes || size < 2 || inputCount >= inputLimit || bytes[0] != midi::kSysExStart ||
      size > 0x7FFFFFFFu || bytes[size - 1] != midi::kSysExEnd ||
      !DataBytesClean(bytes, 1, size - 1))
    return false;
  VstMidiSysexEvent& event = inputSysex[inputCount];
  event = VstMidiSysexEvent{};
  event.type = kVstSysExType;
  event.byteSize = static_cast<int32_t>(sizeof(VstMidiSysexEvent)) - 8;
  event.deltaFrames = deltaFrames;
  event.dumpBytes = static_cast<int32_t>(size);
  // The plug-in only reads a host's events.
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  inputBlock.events[inputCount++] = reinterpret_cast<VstEvent*>(&event);
  ++sysexSlots;
  return true;
}

namespace {

// The loop of AddShortEvents, for a sequence in frames or not.
template <bool kFrameTimes>
const uint8_t* AddShortMidi(const uint8_t* cursor, const uint8_t* stop, int64_t start,
                            uint64_t span, uint32_t midiType, VstMidiEvent*& next) noexcept
{
  constexpr ptrdiff_t kStep = sizeof(LV2_Atom_Event) + 8;
  // The body's size and type as one word: MIDI of one to three bytes is
  // this word plus 0 to 2.
  const uint64_t shortMidi = uint64_t{midiType} << 32 | 1;
  VstMidiEvent* event = next;
  for (; cursor < stop; cursor += kStep) {
    int64_t frames = 0;
    uint64_t sizeAndType = 0;
    uint32_t word = 0;
    std::memcpy(&frames, cursor, sizeof frames);
    std::memcpy(&sizeAndType, cursor + 8, sizeof sizeAndType);
    std::memcpy(&word, cursor + sizeof(LV2_Atom_Event), sizeof word);
    // The distance from the sub-block's start, in unsigned arithmetic: a
    // frame before the start (INT64_MIN included) wraps to a distance past
    // the span, with no signed overflow, and is left to the caller's walk
    // like any frame outside the sub-block.
    const uint64_t delta =
        kFrameTimes ? static_cast<uint64_t>(frames) - static_cast<uint64_t>(start) : 0;
    if (sizeAndType - shortMidi > 2 || delta >= span)
      break;
    // What is no MIDI message of its size is left out, as AddInput does.
    if (midi::CutShortMessage(word) != static_cast<uint32_t>(sizeAndType))
      continue;
    event->deltaFrames = static_cast<int32_t>(delta);
    std::memcpy(event->midiData, &word, sizeof word);
    ++event;
  }
  next = event;
  return cursor;
}

} // namespace

const uint8_t* Lv2EventBridge::AddShortEvents(const uint8_t* cursor, const uint8_t* limit,
                                              int64_t start, int64_t end, bool frameTimes) noexcept
{
  // A short message's event is a header and one word of bytes and padding:
  // as many whole ones as the sequence holds and the block takes are read
  // as three loads, the bytes cut to the event's size and checked and
  // stored as one word.
  constexpr ptrdiff_t kStep = sizeof(LV2_Atom_Event) + 8;
  const int64_t whole = (limit - cursor) / kStep;
  const int32_t room = inputLimit - inputCount;
  const uint8_t* const stop = cursor + (whole < room ? whole : room) * kStep;
  const auto span = static_cast<uint64_t>(end - start);
  VstMidiEvent* next = &inputMidi[inputCount];
  cursor = frameTimes ? AddShortMidi<true>(cursor, stop, start, span, midiType, next)
                      : AddShortMidi<false>(cursor, stop, start, span, midiType, next);
  inputCount = static_cast<int32_t>(next - inputMidi);
  return cursor;
}

int32_t Lv2EventBridge::BeginPacked(QuilletPackedInput& packed, const uint8_t* cursor,
                                    const uint8_t* limit, int64_t start, int64_t end) noexcept
{
  const int64_t whole = cursor && limit > cursor ? (limit - cursor) / kQuilletPackedEventBytes : 0;
  const int32_t room = inputLimit - inputCount;
  packed = QuilletPackedInput{};
  packed.events = cursor;
  packed.count = static_cast<int32_t>(whole < room ? whole : room);
  packed.type = midiType;
  packed.start = start;
  packed.end = end;
  if (out) {
    const uint32_t used = static_cast<uint32_t>(sizeof(LV2_Atom)) + out->atom.size;
    packed.out = reinterpret_cast<uint8_t*>(out) + used;
    packed.room = capacity - used;
  }
  return packed.count;
}

void Lv2EventBridge::CommitPacked(const QuilletPackedInput& packed) noexcept
{
  inputLimit -= packed.taken;
  if (!out || packed.kept <= 0)
    return;
  if (keptCount == 0) {
    keptOffset = static_cast<uint32_t>(packed.out - reinterpret_cast<uint8_t*>(out));
    frameBeforeKept = lastFrame;
  }
  keptCount += packed.kept;
  out->atom.size += static_cast<uint32_t>(packed.kept * kQuilletPackedEventBytes);
  // The last one's frame: the sequence goes on from there.
  std::memcpy(&lastFrame,
              packed.out + static_cast<size_t>(packed.kept - 1) * kQuilletPackedEventBytes,
              sizeof lastFrame);
}

VstEvents* Lv2EventBridge::InputBlock() noexcept
{
  inputBlock.numEvents = inputCount;
  inputBlock.reserved = 0;
  return inputBlock.AsEvents();
}

void Lv2EventBridge::BeginOutput(LV2_Atom_Sequence* port, uint32_t sequenceType) noexcept
{
  out = port;
  lastFrame = 0;
  subStart = 0;
  subFrames = 1;
  if (!out) {
    capacity = 0;
    return;
  }
  // The host says how much room the port has in its atom's size; the
  // sequence header is part of that room.
  capacity = out->atom.size;
  if (capacity < sizeof(LV2_Atom_Sequence)) {
    // Too small for even an empty sequence: left as the host made it.
    out = nullptr;
    return;
  }
  out->atom.type = sequenceType;
  out->atom.size = sizeof(LV2_Atom_Sequence_Body);
  out->body.unit = 0;
  out->body.pad = 0;
}

uint32_t Lv2EventBridge::WireBytes(const VstEvent* event, const uint8_t** bytes) noexcept
{
  if (!event)
    return 0;
  if (event->type == kVstMidiType) {
    const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
    *bytes = midi->midiData;
    return static_cast<uint32_t>(midi::kLengths[midi->midiData[0]]);
  }
  if (event->type == kVstSysExType) {
    const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
    if (!sysex->sysexDump || sysex->dumpBytes <= 0)
      return 0;
    *bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
    return static_cast<uint32_t>(sysex->dumpBytes);
  }
  return 0;
}

bool Lv2EventBridge::Append(int64_t frames, const uint8_t* bytes, uint32_t size) noexcept
{
  if (!out)
    return false;
  // A sequence is in time order: an event never goes before the last one.
  if (frames < lastFrame)
    frames = lastFrame;
  const uint32_t used = static_cast<uint32_t>(sizeof(LV2_Atom)) + out->atom.size;
  const uint64_t need = sizeof(LV2_Atom_Event) + lv2_atom_pad_size(size);
  if (static_cast<uint64_t>(used) + need > capacity)
    return false;
  auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<uint8_t*>(out) + used);
  event->time.frames = frames;
  event->body.size = size;
  event->body.type = midiType;
  auto* body = reinterpret_cast<uint8_t*>(event + 1);
  std::memcpy(body, bytes, size);
  // The padding is part of the sequence; hosts copy it, so it is defined.
  std::memset(body + size, 0, lv2_atom_pad_size(size) - size);
  out->atom.size += static_cast<uint32_t>(need);
  lastFrame = frames;
  return true;
}

bool Lv2EventBridge::AppendShortBlock(VstEvent* const* pointers, int32_t count) noexcept
{
  // Nearly every block: MIDI records in time order, each at most 3 bytes on
  // the wire, so each takes exactly one event header and 8 bytes. Written
  // in one pass; a block that turns out otherwise is taken back (the
  // sequence's size is only raised at the end) and goes the long way.
  constexpr uint32_t kEventBytes = sizeof(LV2_Atom_Event) + 8;
  if (!out)
    return false;
  const uint32_t used = static_cast<uint32_t>(sizeof(LV2_Atom)) + out->atom.size;
  if (static_cast<uint64_t>(used) + static_cast<uint64_t>(count) * kEventBytes > capacity)
    return false;
  const int32_t last = subFrames > 0 ? subFrames - 1 : 0;
  if (lastFrame - subStart > last)
    return false;
  int32_t previous = lastFrame > subStart ? static_cast<int32_t>(lastFrame - subStart) : 0;
  // Members the loop needs, in locals: the stores into the port could alias
  // them, and the compiler would load them again for every event.
  const int64_t origin = subStart;
  const uint64_t typeWord = uint64_t{midiType} << 32;
  auto* at = reinterpret_cast<uint8_t*>(out) + used;
  uint8_t* const begin = at;
  for (int32_t i = 0; i < count; ++i) {
    const VstEvent* record = pointers[i];
    if (!record || record->type != kVstMidiType)
      return false;
    int32_t frame = record->deltaFrames;
    if (__builtin_expect(static_cast<uint32_t>(frame) > static_cast<uint32_t>(last), 0))
      frame = frame < 0 ? 0 : last;
    if (frame < previous)
      return false;
    previous = frame;
    uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const VstMidiEvent*>(record)->midiData, sizeof word);
    // A record that starts no short message (rare) goes the long way, so
    // that the cursor here moves by a constant step.
    const uint64_t message = midi::kShortMessages[static_cast<uint8_t>(word)];
    if (message == 0)
      return false;
    // The header, then the bytes and their padding, as three words built
    // in registers and stored one by one (stored as parts and read back as
    // a whole, they would wait in the store buffer).
    const uint64_t time = static_cast<uint64_t>(origin + frame);
    const uint64_t sizeAndType = typeWord | message >> 32;
    const uint64_t body = word & static_cast<uint32_t>(message);
    std::memcpy(at, &time, sizeof time);
    std::memcpy(at + 8, &sizeAndType, sizeof sizeAndType);
    std::memcpy(at + 16, &body, sizeof body);
    at += kEventBytes;
  }
  out->atom.size += static_cast<uint32_t>(at - begin);
  lastFrame = subStart + previous;
  return true;
}

bool Lv2EventBridge::TakeOutput(const VstEvents* events) noexcept
{
  if (!events)
    return false;
  const int32_t count = events->numEvents;
  if (count <= 0)
    return true;
  // The block is longer than its declared two entries: index through a
  // pointer, not the array.
  VstEvent* const* pointers = events->events;
  const int32_t last = subFrames > 0 ? subFrames - 1 : 0;
  auto frameOf = [last](const VstEvent* event) {
    const int32_t delta = event->deltaFrames;
    return delta < 0 ? 0 : (delta > last ? last : delta);
  };

  if (AppendShortBlock(pointers, count))
    return true;

  if (count > kOrderCapacity) {
    // More than a block of the plug-in's: in the order given.
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* bytes = nullptr;
      const uint32_t size = WireBytes(pointers[i], &bytes);
      if (size > 0)
        Append(subStart + frameOf(pointers[i]), bytes, size);
    }
    return true;
  }

  // The plug-in lists its generated messages after the ones passed through,
  // each at its own frame; a sequence wants them in time order. A stable
  // insertion sort keeps the plug-in's order among equal frames, and is
  // linear for the common, already ordered block.
  int32_t slots = 0;
  for (int32_t i = 0; i < count; ++i) {
    const VstEvent* event = pointers[i];
    if (!event)
      continue;
    const Slot slot{frameOf(event), i};
    int32_t at = slots++;
    while (at > 0 && order[at - 1].frame > slot.frame) {
      order[at] = order[at - 1];
      --at;
    }
    order[at] = slot;
  }
  if (keptCount > 0) {
    MergeWithKept(pointers, slots);
    return true;
  }
  for (int32_t s = 0; s < slots; ++s) {
    const uint8_t* bytes = nullptr;
    const uint32_t size = WireBytes(pointers[order[s].index], &bytes);
    if (size > 0)
      Append(subStart + order[s].frame, bytes, size);
  }
  return true;
}

void Lv2EventBridge::MergeWithKept(VstEvent* const* pointers, int32_t slots) noexcept
{
  // The kept events leave the sequence for a copy and come back in turn.
  const auto keptBytes = static_cast<size_t>(keptCount) * kQuilletPackedEventBytes;
  auto* base = reinterpret_cast<uint8_t*>(out);
  std::memcpy(keptCopy, base + keptOffset, keptBytes);
  out->atom.size = keptOffset - static_cast<uint32_t>(sizeof(LV2_Atom));
  lastFrame = frameBeforeKept;
  const int32_t kept = keptCount;
  keptCount = 0;
  int32_t k = 0;
  int32_t s = 0;
  while (k < kept || s < slots) {
    const uint8_t* event = keptCopy + static_cast<size_t>(k) * kQuilletPackedEventBytes;
    int64_t keptFrame = 0;
    if (k < kept)
      std::memcpy(&keptFrame, event, sizeof keptFrame);
    if (k < kept && (s == slots || keptFrame <= subStart + order[s].frame)) {
      uint32_t size = 0;
      std::memcpy(&size, event + 8, sizeof size);
      Append(keptFrame, event + 16, size);
      ++k;
      continue;
    }
    const uint8_t* bytes = nullptr;
    const uint32_t size = WireBytes(pointers[order[s].index], &bytes);
    if (size > 0)
      Append(subStart + order[s].frame, bytes, size);
    ++s;
  }
}

bool Lv2EventBridge::AppendAtom(int64_t frames, const LV2_Atom* atom) noexcept
{
  if (!out || !atom)
    return false;
  const uint32_t used = static_cast<uint32_t>(sizeof(LV2_Atom)) + out->atom.size;
  const uint64_t need = sizeof(LV2_Atom_Event) + lv2_atom_pad_size(atom->size);
  if (static_cast<uint64_t>(used) + need > capacity)
    return false;
  if (frames < lastFrame)
    frames = lastFrame;
  auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<uint8_t*>(out) + used);
  event->time.frames = frames;
  event->body = *atom;
  auto* body = reinterpret_cast<uint8_t*>(event + 1);
  std::memcpy(body, atom + 1, atom->size);
  std::memset(body + atom->size, 0, lv2_atom_pad_size(atom->size) - atom->size);
  out->atom.size += static_cast<uint32_t>(need);
  lastFrame = frames;
  return true;
}
