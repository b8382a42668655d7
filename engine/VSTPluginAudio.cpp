// VSTPlugin's audio path: the host's events handed over (processEvents),
// the block (process, processReplacing) with its MIDI part (midiInProcess,
// midiPostProcess), the release of held notes, the transport poll for send
// on play and the selection an incoming Program Change asks for.
//
// Threads: the audio thread, which runs the blocks; processEvents on
// whichever thread the host hands its events over from (nearly always the
// audio thread, just before the block); sendCCData and sendMessages on any
// thread. Safe because the block's output belongs to whoever holds
// `outputBusy` (the block, or a hand-over on the block's thread), the
// held-note table to the audio thread alone, events from other threads come
// through the lock-free rings, the program's fields are read through
// field::Load, and the timer lock is only tried, never waited for
// (selectFromInput). Nothing here allocates, waits, takes a system lock or
// enters the kernel except to post a semaphore.
#include "engine/VSTPlugin.h"

#include "midi/MidiBytes.h"
#include "model/MessageKinds.h"
#include "support/threading/FieldAccess.h"

#include <cstring>

// ------------------------------------------------------------------- MIDI

int32_t VSTPlugin::processEvents(VstEvents* events) noexcept
{
  if (!events || events->numEvents <= 0)
    return 0;
  VstEvent* const* source = events->events;
  const int32_t count = events->numEvents;
  // While learning, SysEx messages are copied to the learning thread (into
  // its inbox: no allocation, no wait); while a verify listens, to the
  // paced sender instead (a reply is not learned). Neither passes them on.
  const bool verifying = sender.Listening();
  const bool learning = learner.OnForAudio() || verifying;
  auto hearSysEx = [&] {
    for (int32_t i = 0; i < count; ++i) {
      if (!source[i] || source[i]->type != kVstSysExType)
        continue;
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(source[i]);
      const auto* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      if (verifying)
        sender.HearReply(bytes, sysex->dumpBytes);
      else
        learner.HearSysEx(bytes, sysex->dumpBytes);
    }
  };
  if (pthread_equal(pthread_self(), audioThread.load(std::memory_order_relaxed)) && !Suspended() &&
      !outputBusy.exchange(true, std::memory_order_acquire)) {
    // On the thread that runs the blocks, between two of them.
    int32_t i = 0;
    bool sysex = false;
    const bool direct = inputQueue.Count() == 0;
    if (direct) {
      VstMidiEvent* next = output.store + directCount;
      // In rounds of as many as the store surely has room for, so that an
      // event costs one test of the bounds. The copy calls nothing: SysEx
      // messages are only noted, for the walk that hears them.
      VstMidiEvent* const full = output.store + BlockOutput::kCapacity;
      while (i < count && next != full) {
        const auto room = static_cast<int32_t>(full - next);
        const int32_t stop = count - i < room ? count : i + room;
        for (; i < stop; ++i) {
          const VstEvent* event = source[i];
          if (__builtin_expect(event && event->type == kVstMidiType, 1))
            std::memcpy(next++, event, sizeof(VstMidiEvent));
          else if (event && event->type == kVstSysExType)
            sysex = true;
        }
      }
      directCount = static_cast<int32_t>(next - output.store);
    }
    outputBusy.store(false, std::memory_order_release);
    if (direct) {
      // What the store has no room for waits in the ring, after them (and
      // is walked for SysEx with the rest).
      if (learning && (sysex || i < count))
        hearSysEx();
      if (i < count)
        inputQueue.PushMidi(source + i, count - i);
      return 0;
    }
  }
  if (learning)
    hearSysEx();
  inputQueue.PushMidi(source, count);
  return 0;
}

bool VSTPlugin::startBlock() noexcept
{
  audioThread.store(pthread_self(), std::memory_order_relaxed);
  if (!Suspended())
    return true;
  // No block runs: events handed over for it wait in the ring.
  if (directCount > 0 && !outputBusy.exchange(true, std::memory_order_acquire)) {
    for (int32_t i = 0; i < directCount; ++i)
      inputQueue.Push(output.store[i]);
    directCount = 0;
    outputBusy.store(false, std::memory_order_release);
  }
  return false;
}

void VSTPlugin::sendCCData() noexcept
{
  sendMessages(SendCause::Other);
}

void VSTPlugin::sendMessages(SendCause cause) noexcept
{
  sender.Send(cause, getProgram());
}

namespace {

// What a block does with an incoming event, by the high nibble of its
// status byte, worked out once for the block from thru, preset switching,
// a release and learning, so that an event costs one load instead of a
// test of each. The low two bits are its way, kHear that learning sees it
// too.
constexpr uint8_t kDrop = 0;
constexpr uint8_t kKeep = 1;
constexpr uint8_t kNote = 2;
constexpr uint8_t kSelect = 3;
constexpr uint8_t kWayMask = 3;
constexpr uint8_t kHear = 4;

// An event's four message bytes as one word, the status byte lowest: the
// parts the note path tests and rewrites.
constexpr uint32_t kStatusByte = 0xFF;
constexpr uint32_t kChannelBits = midi::kChannelMask;
constexpr uint32_t kNoteOnBit = midi::kNoteOn ^ midi::kNoteOff; // of the status
constexpr uint32_t kData1Bits = uint32_t{midi::kDataMask} << 8;
constexpr uint32_t kData2Bits = uint32_t{midi::kDataMask} << 16;
constexpr uint32_t kFourthByte = 0xFF000000;

struct InputWays
{
  uint8_t of[16]; // by status byte / 16

  uint8_t& For(uint8_t status) noexcept { return of[status >> 4]; }
};

InputWays WaysFor(bool thru, bool switching, bool release, bool learning) noexcept
{
  InputWays ways{};
  if (!release) {
    // With thru, notes go through the held-note table and everything else
    // is kept: Program Changes without preset switching, controllers,
    // pressure, pitch bend and system messages.
    if (thru) {
      for (uint8_t& way : ways.of)
        way = kKeep;
      ways.For(midi::kNoteOff) = kNote;
      ways.For(midi::kNoteOn) = kNote;
    }
    // A Program Change selects a program whatever the channel (and thru);
    // it is not passed on.
    if (switching)
      ways.For(midi::kProgramChange) = kSelect;
  }
  // Learning sees the input whatever thru does with it. A Program Change
  // that selects a program is an order to the plug-in, not a setting of
  // the synth: it is not learned.
  // Its statuses are those of the kinds it takes (the model's); no kind is
  // a note, so the note path never hands anything over.
  if (learning) {
    for (uint32_t nibble = 0; nibble < 16; ++nibble) {
      const auto status = static_cast<uint8_t>(nibble << 4);
      if (status == midi::kNoteOff || status == midi::kNoteOn ||
          (status == midi::kProgramChange && switching))
        continue;
      if (strips::LearnsStatus(status))
        ways.of[nibble] |= kHear;
    }
  }
  return ways;
}

} // namespace

namespace {

// The host's records in the block's output, sorted there in place: an
// event passed on stays where it is or moves down over the dropped ones,
// and is rewritten only in its final place.
struct RecordEvents
{
  using Cursor = VstMidiEvent*;

  static Cursor Next(Cursor event) noexcept { return event + 1; }
  // The four bytes of an event's message as one word, first byte lowest;
  // every record is taken.
  static bool Take(Cursor event, uint32_t& word) noexcept
  {
    std::memcpy(&word, event->midiData, sizeof word);
    return true;
  }
  // Passes the event on as it came.
  void Keep(Cursor event, uint32_t /*word*/) noexcept
  {
    VstMidiEvent& out = *kept++;
    if (&out != event)
      out = *event;
    // Only the 32 bytes of the record travel on, whatever size the host's
    // event claimed.
    out.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
  }
  // Passes the event on with the bytes `word`.
  void KeepAs(Cursor event, uint32_t word) noexcept
  {
    VstMidiEvent& out = *kept;
    Keep(event, word);
    std::memcpy(out.midiData, &word, sizeof word);
  }

  VstMidiEvent* kept;
};

// Packed events (QuilletPackedInput), passed on into the caller's room in
// the same layout: the frame and the size and type words as they came, the
// bytes cut to the message's size. The pass stops at the first event that
// is no whole short message of the type at a frame of the block in time
// order (Take), and at the room's end. Nothing of it is ever written
// through a pointer, so that the compiler keeps it in registers.
struct PackedEvents
{
  using Cursor = const uint8_t*;

  explicit PackedEvents(const QuilletPackedInput& packed) noexcept
      : kept(packed.out), typeWord(uint64_t{packed.type} << 32),
        start(static_cast<uint64_t>(packed.start)),
        span(packed.end > packed.start ? static_cast<uint64_t>(packed.end - packed.start) : 0)
  {
  }

  static Cursor Next(Cursor event) noexcept { return event + kQuilletPackedEventBytes; }
  // The event's bytes as one word, first byte lowest; false for one the
  // pass stops at.
  bool Take(Cursor event, uint32_t& word) noexcept
  {
    uint64_t frames = 0;
    uint64_t sizeAndType = 0;
    std::memcpy(&frames, event, sizeof frames);
    std::memcpy(&sizeAndType, event + 8, sizeof sizeAndType);
    std::memcpy(&word, event + 16, sizeof word);
    // The distance from the block's start in unsigned arithmetic: a frame
    // before it wraps to one past the span.
    const uint64_t delta = frames - start;
    if (delta >= span || delta < previous)
      return false;
    // A whole short message, of the size the atom gives and of the type.
    const uint32_t length = midi::CutShortMessage(word);
    if (length == 0 || sizeAndType != (typeWord | length))
      return false;
    previous = delta;
    return true;
  }
  // Passes the event on with the bytes `word` (its own, or rewritten); the
  // pass takes no more events than the room holds.
  void Keep(Cursor event, uint32_t word) noexcept
  {
    uint64_t header[2];
    std::memcpy(header, event, sizeof header);
    const uint64_t body = word;
    std::memcpy(kept, header, sizeof header);
    std::memcpy(kept + sizeof header, &body, sizeof body);
    kept += kQuilletPackedEventBytes;
  }
  void KeepAs(Cursor event, uint32_t word) noexcept { Keep(event, word); }

  uint8_t* kept;
  const uint64_t typeWord;
  const uint64_t start;
  const uint64_t span;
  uint64_t previous = 0;
};

} // namespace

void VSTPlugin::midiInProcess(int32_t frames) noexcept
{
  VstMidiEvent* const store = output.store;
  const int32_t first = output.count;
  // The events handed over on this thread lie there already (the output is
  // empty between blocks); the ring's, handed over later, follow them.
  int32_t taken = directCount;
  directCount = 0;
  taken += inputQueue.PopInto(store + first + taken, MidiEventQueue::kCapacity - first - taken);
  // Packed events were passed as they came (QuilletPackedInput).
  bool learnedAny = packedHeard;
  packedHeard = false;
  RecordEvents records{store + first};
  if (taken > 0)
    passEvents(records, records.kept, records.kept + taken, learnedAny);
  output.count = static_cast<int32_t>(records.kept - store);
  output.count +=
      generatedQueue.PopInto(store + output.count, BlockOutput::kCapacity - output.count);
  if (sender.Run(frames, getProgram(), sampleRate, output))
    learner.PacedNoticeDue();
  if (sender.TakeVerifyNotice())
    learner.VerifyNoticeDue();
  // The learning thread applies what was learned and carries the notices;
  // its semaphore is posted only when it has gone to sleep on it.
  learner.WakeIfDue(learnedAny);
}

template <typename Events>
typename Events::Cursor VSTPlugin::passEvents(Events& events, typename Events::Cursor begin,
                                              typename Events::Cursor end,
                                              bool& learnedAny) noexcept
{
  // What decides an event's way is read once for the block, and again
  // after a Program Change selected another program (which may also have
  // asked for a release): the program record shares its cache lines with
  // the strips the learning thread writes meanwhile. A change from another
  // thread counts from the next block, as if it had come a moment later.
  const bool learning = learner.OnForAudio();
  auto readWays = [&] {
    const VSTPluginProgram& program = bank[field::Load(curProgram)];
    return WaysFor(field::Load(program.midiThru) != 0, field::Load(program.presetSwitching) != 0,
                   releaseRequested.load(std::memory_order_relaxed), learning);
  };
  InputWays ways = readWays();
  bool heard = false;
  bool taken = true;
  uint32_t word = 0;
  typename Events::Cursor event = begin;
  for (; event != end; event = Events::Next(event)) {
    // A run of events that call nothing (notes, events kept or dropped)
    // goes through a batch of the held-note table, which keeps its free map
    // in a register; the loop stops at one that learning hears or that
    // selects a program.
    uint8_t action = 0;
    {
      HeldNoteTable::Batch notes(heldNotes);
      for (; event != end; event = Events::Next(event)) {
        taken = events.Take(event, word);
        if (!taken)
          break;
        action = ways.For(static_cast<uint8_t>(word));
        if (action != kNote) {
          if (action > kKeep)
            break;
          if (action == kKeep)
            events.Keep(event, word);
          continue;
        }
        const auto channel = static_cast<int32_t>(word & midi::kChannelMask);
        const auto data1 = static_cast<int32_t>(word >> 8 & midi::kDataMask);
        const int32_t key = HeldNoteTable::Key(channel, data1);
        const int32_t held = notes.Find(key);
        // A Note On (not a Note Off) with a velocity.
        if ((word & kNoteOnBit) != 0 && (word & kData2Bits) != 0) {
          const auto velocity = static_cast<int32_t>(word >> 16 & midi::kDataMask);
          if (held >= 0) {
            // Sent again with the clean data bytes and the new velocity.
            notes.SetVelocity(held, velocity);
            events.KeepAs(event, word & (kStatusByte | kData1Bits | kData2Bits | kFourthByte));
          } else if (notes.Add(key, velocity)) {
            events.Keep(event, word);
          }
        } else if (held >= 0) {
          // A release of a note never passed through is dropped; the one of
          // a held note goes out as a Note Off of velocity 0, the fourth
          // byte as it came.
          notes.Remove(key);
          events.KeepAs(event, midi::kNoteOff | (word & (kChannelBits | kData1Bits | kFourthByte)));
        }
      }
    }
    if (event == end || !taken)
      break;
    // The event the run stopped at: one learning hears, or a selection.
    if (action & kHear) {
      uint8_t bytes[4] = {};
      std::memcpy(bytes, &word, sizeof bytes);
      learner.Hear(bytes);
      heard = true;
    }
    if ((action & kWayMask) == kKeep) {
      events.Keep(event, word);
    } else if ((action & kWayMask) == kSelect) {
      selectFromInput(static_cast<int32_t>(word >> 8 & midi::kDataMask));
      ways = readWays();
    }
  }
  learnedAny = learnedAny || heard;
  return event;
}

bool VSTPlugin::passPacked(QuilletPackedInput* packed) noexcept
{
  if (!packed || !packed->events || !packed->out || packed->count <= 0 ||
      !pthread_equal(pthread_self(), audioThread.load(std::memory_order_relaxed)) || Suspended())
    return false;
  // The block's transport poll comes before its events, as in a block.
  pollTransport();
  // No more than the room holds: the rest is left to the caller.
  const auto whole = static_cast<int32_t>(packed->room / kQuilletPackedEventBytes);
  const int32_t count = packed->count < whole ? packed->count : whole;
  PackedEvents events(*packed);
  const uint8_t* const begin = packed->events;
  const uint8_t* const stop = passEvents(
      events, begin, begin + static_cast<size_t>(count) * kQuilletPackedEventBytes, packedHeard);
  packed->taken = static_cast<int32_t>((stop - begin) / kQuilletPackedEventBytes);
  packed->kept = static_cast<int32_t>((events.kept - packed->out) / kQuilletPackedEventBytes);
  return true;
}

void VSTPlugin::midiPostProcess() noexcept
{
  if (VstEvents* events = output.Take())
    sendVstEventsToHost(events);

  // A release takes two blocks: the note-offs are queued in the first and
  // sent in the second, after which the request is done.
  if (releaseRequested && !releasePhase) {
    edit();
    if (releaseRequested)
      releasePhase = true;
  } else if (releaseRequested && releasePhase) {
    releaseRequested = false;
    releasePhase = false;
  }
}

void VSTPlugin::edit() noexcept
{
  // The held-note table is the audio thread's alone: no lock.
  VstMidiEvent event = BlockOutput::FreshEvent();
  heldNotes.ForEachHeld([&](const HeldNoteTable::Entry& entry) {
    event.midiData[0] = static_cast<uint8_t>(midi::kNoteOff + entry.channel);
    event.midiData[1] = static_cast<uint8_t>(entry.note);
    event.midiData[2] = 0;
    generatedQueue.Push(event);
  });
  heldNotes.Clear();
}

template <typename Audio> void VSTPlugin::runBlock(int32_t frames, Audio&& audio) noexcept
{
  if (!startBlock())
    return;
  // The MIDI part only while this block holds the output (see outputBusy).
  const bool midi = !outputBusy.exchange(true, std::memory_order_acquire);
  pollTransport();
  if (midi)
    midiInProcess(frames);
  audio();
  if (midi) {
    midiPostProcess();
    outputBusy.store(false, std::memory_order_release);
  }
}

void VSTPlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
  runBlock(sampleFrames, [&] {
    if (!inputs || !outputs || sampleFrames <= 0)
      return;
    for (int channel = 0; channel < 2; ++channel) {
      if (inputs[channel] && outputs[channel] && inputs[channel] != outputs[channel])
        std::memmove(outputs[channel], inputs[channel],
                     sizeof(float) * static_cast<size_t>(sampleFrames));
    }
  });
}

void VSTPlugin::process(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
  runBlock(sampleFrames, [&] {
    if (!inputs || !outputs || sampleFrames <= 0)
      return;
    for (int channel = 0; channel < 2; ++channel) {
      const float* in = inputs[channel];
      float* out = outputs[channel];
      if (!in || !out)
        continue;
      for (int32_t i = 0; i < sampleFrames; ++i)
        out[i] += in[i];
    }
  });
}

// ----------------------------------------------------- program selection

void VSTPlugin::selectFromInput(int32_t program) noexcept
{
  if (program < 0 || program >= kBankPrograms)
    return;
  // The audio thread never waits for the timer lock. When another thread
  // holds it, the selection is left for that thread to make as it lets the
  // lock go; a later Program Change replaces one still waiting.
  deferredProgram.store(program);
  takeDeferredSelection();
}
// ---------------------------------------------------------- send on play

void VSTPlugin::pollTransport() noexcept
{
  if (!field::Load(bank.Settings().sendOnPlay))
    return;
  // One question per block; a host that answers nothing leaves the state as
  // it was.
  const VstTimeInfo* info = getTimeInfo(kVstTransportPlaying);
  if (!info)
    return;
  const bool playing = (info->flags & kVstTransportPlaying) != 0;
  if (playing && !transportPlaying)
    sendMessages(SendCause::Play);
  transportPlaying = playing;
}
