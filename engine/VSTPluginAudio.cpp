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
  // its inbox: no allocation, no wait); they are not passed on.
  if (learner.OnForAudio()) {
    for (int32_t i = 0; i < count; ++i) {
      if (!source[i] || source[i]->type != kVstSysExType)
        continue;
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(source[i]);
      learner.HearSysEx(reinterpret_cast<const uint8_t*>(sysex->sysexDump), sysex->dumpBytes);
    }
  }
  if (pthread_equal(pthread_self(), audioThread.load(std::memory_order_relaxed)) && !Suspended() &&
      !outputBusy.exchange(true, std::memory_order_acquire)) {
    // On the thread that runs the blocks, between two of them.
    int32_t i = 0;
    const bool direct = inputQueue.Count() == 0;
    if (direct) {
      int32_t n = directCount;
      for (; i < count && n < BlockOutput::kCapacity; ++i) {
        if (source[i] && source[i]->type == kVstMidiType)
          std::memcpy(&output.store[n++], source[i], sizeof(VstMidiEvent));
      }
      directCount = n;
    }
    outputBusy.store(false, std::memory_order_release);
    if (direct) {
      // What the store has no room for waits in the ring, after them.
      if (i < count)
        inputQueue.PushMidi(source + i, count - i);
      return 0;
    }
  }
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

void VSTPlugin::midiInProcess(int32_t frames) noexcept
{
  // The host's events are copied into the block's output in one go and
  // sorted there: an event passed on stays where it is or moves down over
  // the dropped ones, and is rewritten only in its final place.
  VstMidiEvent* const store = output.store;
  const int32_t first = output.count;
  // The events handed over on this thread lie there already (the output is
  // empty between blocks); the ring's, handed over later, follow them.
  int32_t taken = directCount;
  directCount = 0;
  taken += inputQueue.PopInto(store + first + taken, MidiEventQueue::kCapacity - first - taken);
  int32_t kept = first;
  auto keep = [&](int32_t i) -> VstMidiEvent& {
    VstMidiEvent& out = store[kept++];
    if (&out != &store[i])
      out = store[i];
    // Only the 32 bytes of the record travel on, whatever size the host's
    // event claimed.
    out.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
    return out;
  };
  auto rewrite = [](VstMidiEvent& event, int32_t status, int32_t data1, int32_t data2) {
    event.midiData[0] = static_cast<uint8_t>(status);
    event.midiData[1] = static_cast<uint8_t>(data1);
    event.midiData[2] = static_cast<uint8_t>(data2);
  };

  // What decides an event's way is read once for the block, and again
  // after a Program Change selected another program (which may also have
  // asked for a release): the program record shares its cache lines with
  // the strips the learning thread writes meanwhile. A change from another
  // thread counts from the next block, as if it had come a moment later.
  const VSTPluginProgram* program = nullptr;
  bool thru = false;
  bool switching = false;
  bool release = false;
  auto readProgram = [&] {
    program = &bank[field::Load(curProgram)];
    thru = field::Load(program->midiThru) != 0;
    switching = field::Load(program->presetSwitching) != 0;
    release = releaseRequested.load(std::memory_order_relaxed);
  };
  readProgram();
  const bool learning = learner.OnForAudio();
  bool learnedAny = false;
  HeldNoteTable::Batch notes(heldNotes);
  for (int32_t i = first; i < first + taken; ++i) {
    const uint8_t* data = store[i].midiData;
    const uint8_t status = data[0] & midi::kStatusMask;
    const int32_t channel = data[0] & midi::kChannelMask;
    const int32_t data1 = data[1] & midi::kDataMask;
    // Learning sees the input whatever thru does with it: the statuses of
    // the kinds it takes (the model's). A Program Change that selects a
    // program is an order to the plug-in, not a setting of the synth: it is
    // not learned.
    if (learning && strips::LearnsStatus(status) &&
        !(status == midi::kProgramChange && switching)) {
      learner.Hear(data);
      learnedAny = true;
    }
    if (release)
      continue;

    if (status == midi::kNoteOn || status == midi::kNoteOff) {
      if (!thru)
        continue;
      const int32_t key = HeldNoteTable::Key(channel, data1);
      const int32_t velocity = data[2] & midi::kDataMask;
      const int32_t held = notes.Find(key);
      if (status == midi::kNoteOn && velocity > 0) {
        if (held >= 0) {
          notes.SetVelocity(held, velocity);
          rewrite(keep(i), midi::kNoteOn + channel, data1, velocity);
        } else if (notes.Add(key, velocity)) {
          keep(i);
        }
      } else if (held >= 0) {
        // A release of a note never passed through is dropped.
        notes.Remove(key);
        rewrite(keep(i), midi::kNoteOff + channel, data1, 0);
      }
    } else if (status == midi::kProgramChange && switching) {
      selectFromInput(data1); // whatever the channel; not passed on
      readProgram();
    } else if (thru) {
      // Program Changes without preset switching, controllers, pressure,
      // pitch bend and system messages.
      keep(i);
    }
  }
  output.count = kept;
  output.count +=
      generatedQueue.PopInto(store + output.count, BlockOutput::kCapacity - output.count);
  if (sender.Run(frames, getProgram(), sampleRate, output))
    learner.PacedNoticeDue();
  // The learning thread applies what was learned and carries the notices;
  // its semaphore is posted only when it has gone to sleep on it.
  learner.WakeIfDue(learnedAny);
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
