#include "engine/VSTPlugin.h"

#include "model/Parameters.h"
#include "model/StripMessages.h"
#include "support/data/datastring.h"
#include "support/threading/FieldAccess.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using param::SwitchOn;

VstMidiEvent FreshEvent()
{
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
  return event;
}

} // namespace

VSTPlugin::VSTPlugin(audioMasterCallback audioMaster_, int& status) : SPlugin(audioMaster_, status)
{
  for (int i = 0; i < kBankPrograms; ++i)
    InitProgram(bank[i], "(default)");
  InitProgram(copyBuffer, "(default)");
  for (int i = 0; i < kBankPrograms; ++i) {
    const int n = i + 1;
    const char* format = n < 10    ? "00%i - empty preset"
                         : n < 100 ? "0%i - empty preset"
                                   : "%i - empty preset";
    std::snprintf(bank[i].name, sizeof bank[i].name, format, n);
  }
  for (int32_t i = 0; i < MidiEventQueue::kCapacity; ++i) {
    outEventStore[i] = FreshEvent();
    outEvents.events[i] = reinterpret_cast<VstEvent*>(&outEventStore[i]);
  }
  outEvents.numEvents = 0;
  outEvents.reserved = 0;

  timerThread.Start([this] { countdownLoop(); });
  learnThread.Start([this] { learnLoop(); });
  setProgram(0);
}

VSTPlugin::~VSTPlugin()
{
  // The countdown notifies the editor, and the editor's refreshes and event
  // handlers call into this object: the countdown ends first, then the
  // editor, both before any of this object goes.
  StopCountdownThread();
  DestroyEditor();
}

void VSTPlugin::StopCountdownThread()
{
  // A countdown in progress is abandoned without a send; once the thread is
  // joined nothing of it touches this object any more.
  timerGeneration.fetch_add(1);
  timerThread.Stop();
  learnThread.Stop();
}

// ---------------------------------------------------------------- notices

void VSTPlugin::notifyEditor(int32_t index)
{
  if (pluginEditor && !EditorClosed())
    pluginEditor->postUpdateIndexed(index);
}

void VSTPlugin::notifyEditorAll()
{
  if (pluginEditor && !EditorClosed())
    pluginEditor->postUpdate();
}

// ------------------------------------------------------------- parameters

bool VSTPlugin::optionOn(int32_t index)
{
  return getParameter(index) >= param::kOptionOn;
}

void VSTPlugin::applySwitch(uint8_t VSTPluginProgram::*option, int32_t index, float value)
{
  const uint8_t on = SwitchOn(value) ? 1 : 0;
  // The global options compare with program 0's copy.
  if ((field::Load(bank[0].*option) != 0) == (on != 0))
    return;
  for (int i = 0; i < kBankPrograms; ++i)
    field::Store(bank[i].*option, on);
  if (!on) {
    // Turning an option off stops the countdown that leads to its send.
    if (index == param::kSendOnInit && timerMode == 0)
      startTimer(false);
    else if (index == param::kSendOnChange && timerMode == 1)
      startTimer(false);
    // And what remains of a paced send it started.
    if (index == param::kSendOnInit)
      cancelPacedSend(SendCause::Init);
    else if (index == param::kSendOnChange)
      cancelPacedSend(SendCause::Change);
  }
  notifyEditor(index);
}

void VSTPlugin::applyDelay(int32_t VSTPluginProgram::*delay, int32_t index, float value)
{
  const int32_t seconds = param::Encode(value, param::kDelay.scale);
  for (int i = 0; i < kBankPrograms; ++i)
    field::Store(bank[i].*delay, seconds);
  notifyEditor(index);
}

void VSTPlugin::setParameter(int32_t index, float value)
{
  if (!(value >= 0.0f && value <= 1.0f))
    return;
  VSTPluginProgram& current = bank[getProgram()];

  if (param::IsStripIndex(index)) {
    const int32_t group = param::GroupOf(index);
    const int32_t strip = param::StripOf(index);
    // Byte fields keep the low 8 bits.
    const auto byte = static_cast<uint8_t>(
        param::Encode(value, param::kStripFields[group].encoding.scale) & 0xFF);
    ProgramExtension& extension = bank.Extension(getProgram());
    // A message whose format, channel or number is set by hand is no longer
    // a learned one; a new value keeps it learned.
    if (group / 2 != strips::kValueField)
      forgetLearned(getProgram(), strip, group % 2);
    if (strips::InExtension(extension, strip, group % 2)) {
      // The channel of a message kept in the extension lives there, and a
      // format makes it a Control Change or Note again: several fields,
      // under the strip lock that learning takes too.
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      strips::StoreField(current, extension, strip, group % 2, group / 2, byte);
    } else {
      field::Store(current.strips[strip].*param::kStripFields[group].field, byte);
    }
    notifyEditor(index);
    return;
  }
  if (param::IsExtendedIndex(index)) {
    setExtendedParameter(index, value);
    return;
  }
  if (param::IsWideIndex(index)) {
    const int32_t program = getProgram();
    const int32_t strip = param::WideStripOf(index);
    const int32_t message = param::WideMessageOf(index);
    const int32_t which = param::WideFieldOf(index);
    if (which != strips::kWideValue)
      forgetLearned(program, strip, message);
    {
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      strips::StoreWide(
          bank.Extension(program), strip, message, which,
          static_cast<uint16_t>(param::Encode(value, param::EncodingOf(index).scale)));
    }
    notifyEditor(index);
    return;
  }

  switch (index) {
  case param::kResend: {
    // Only the rise sends; the fall only stores the state.
    const bool on = SwitchOn(value);
    if (resendState.exchange(on) != on && on)
      sendMessages(SendCause::Other);
    return;
  }
  case param::kThru: {
    const uint8_t on = SwitchOn(value) ? 1 : 0;
    if ((field::Load(current.midiThru) != 0) == (on != 0))
      return;
    field::Store(current.midiThru, on);
    if (!on)
      releaseRequested = true;
    notifyEditor(index);
    return;
  }
  case param::kSendOnInit:
    applySwitch(&VSTPluginProgram::sendOnInit, index, value);
    return;
  case param::kInitDelay:
    applyDelay(&VSTPluginProgram::initDelay, index, value);
    return;
  case param::kSendOnChange:
    applySwitch(&VSTPluginProgram::sendOnChange, index, value);
    return;
  case param::kChangeDelay:
    applyDelay(&VSTPluginProgram::changeDelay, index, value);
    return;
  case param::kPresetSwitching:
    applySwitch(&VSTPluginProgram::presetSwitching, index, value);
    return;
  case param::kLayoutNotice:
  case param::kLayoutNoticeAlso:
  case param::kSpareNotice:
  case param::kCountdownState:
  case param::kCountdownTick:
  case param::kCountdownEnd:
    notifyEditor(index);
    return;
  default: // 2, negative and 142 and above
    return;
  }
}

float VSTPlugin::getParameter(int32_t index)
{
  const VSTPluginProgram& current = bank[getProgram()];
  auto flag = [](uint8_t byte) { return byte ? 1.0f : 0.0f; };

  if (param::IsStripIndex(index)) {
    const int32_t group = param::GroupOf(index);
    const uint8_t byte = strips::LoadField(current, bank.Extension(getProgram()),
                                           param::StripOf(index), group % 2, group / 2);
    return param::Decode(byte, param::kStripFields[group].encoding);
  }
  if (param::IsExtendedIndex(index))
    return getExtendedParameter(index);
  if (param::IsWideIndex(index))
    return param::Decode(strips::LoadWide(bank.Extension(getProgram()), param::WideStripOf(index),
                                          param::WideMessageOf(index), param::WideFieldOf(index)),
                         param::EncodingOf(index));

  switch (index) {
  case param::kResend:
    return resendState ? 1.0f : 0.0f;
  case param::kThru:
    return flag(field::Load(current.midiThru));
  case param::kSendOnInit:
    return flag(field::Load(current.sendOnInit));
  case param::kInitDelay:
    // A delay from a chunk is used within 0 to 999 seconds; the record keeps
    // what was loaded.
    return param::Decode(param::DelaySeconds(field::Load(current.initDelay)), param::kDelay);
  case param::kSendOnChange:
    return flag(field::Load(current.sendOnChange));
  case param::kChangeDelay:
    return param::Decode(param::DelaySeconds(field::Load(current.changeDelay)), param::kDelay);
  case param::kPresetSwitching:
    return flag(field::Load(current.presetSwitching));
  default:
    return 0.0f;
  }
}

void VSTPlugin::setExtendedParameter(int32_t index, float value)
{
  ExtensionSettings& settings = bank.Settings();
  if (param::IsKindIndex(index)) {
    const int32_t program = getProgram();
    forgetLearned(program, param::KindStripOf(index), param::KindMessageOf(index));
    {
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      strips::SetKind(bank[program], bank.Extension(program), param::KindStripOf(index),
                      param::KindMessageOf(index), strips::KindFromParameter(value));
    }
    notifyEditor(index);
    return;
  }
  switch (index) {
  case param::kSpacing:
    field::Store(settings.spacingMs, param::Encode(value, param::kSpacingMs.scale));
    break;
  case param::kSettle:
    field::Store(settings.settleMs, param::Encode(value, param::kSettleMs.scale));
    break;
  case param::kLearn:
    if (learnOn.exchange(SwitchOn(value)) == SwitchOn(value))
      return;
    if (SwitchOn(value))
      lastHeard.store(0); // the drawer shows what this learning hears
    if (!SwitchOn(value) && learnFull.exchange(false))
      notifyEditor(param::kLearnNotice);
    break;
  case param::kSendOnPlay: {
    const uint8_t on = SwitchOn(value) ? 1 : 0;
    if (field::Load(settings.sendOnPlay) == on)
      return;
    field::Store(settings.sendOnPlay, on);
    if (!on)
      cancelPacedSend(SendCause::Play);
    break;
  }
  case param::kLearnNotice:
  case param::kPacedNotice:
    break; // notices: nothing stored
  default:
    return;
  }
  notifyEditor(index);
}

float VSTPlugin::getExtendedParameter(int32_t index)
{
  const ExtensionSettings& settings = bank.Settings();
  const int32_t program = getProgram();
  if (param::IsKindIndex(index))
    return strips::KindParameter(field::Load(strips::KindByte(
        bank.Extension(program), param::KindStripOf(index), param::KindMessageOf(index))));
  switch (index) {
  case param::kSpacing:
    return param::Decode(ClampMs(field::Load(settings.spacingMs), kMaxSpacingMs),
                         param::kSpacingMs);
  case param::kSettle:
    return param::Decode(ClampMs(field::Load(settings.settleMs), kMaxSettleMs), param::kSettleMs);
  case param::kLearn:
    return learnOn ? 1.0f : 0.0f;
  case param::kSendOnPlay:
    return field::Load(settings.sendOnPlay) ? 1.0f : 0.0f;
  case param::kLearnNotice:
    // Full as long as nothing made room since a message was refused.
    return learnFull && !strips::LearnRoom(bank[program], bank.Extension(program)) ? 1.0f : 0.0f;
  case param::kPacedNotice:
    return pacedActive ? 1.0f : 0.0f;
  default:
    return 0.0f;
  }
}

void VSTPlugin::getParameterName(int32_t index, char* text)
{
  if (index == param::kResend)
    std::strcpy(text, "AC: Resend");
  else if (index == param::kThru)
    std::strcpy(text, "OP: Thru");
  else
    text[0] = '\0';
}

void VSTPlugin::getParameterDisplay(int32_t index, char* text)
{
  if (index == param::kResend || index == param::kThru)
    std::strcpy(text, getParameter(index) > 0.5f ? "On" : "Off");
  else
    text[0] = '\0';
}

void VSTPlugin::getParameterLabel(int32_t /*index*/, char* label)
{
  label[0] = '\0';
}

// ---------------------------------------------------------------- names

void VSTPlugin::getProgramName(char* name)
{
  bank[getProgram()].ReadName(name);
}

bool VSTPlugin::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text)
{
  if (index < 0 || index >= kBankPrograms)
    return false;
  bank[index].ReadName(text);
  return true;
}

void VSTPlugin::setProgramName(char* name)
{
  // Longer names are cut to 47 characters (in the caller's text too).
  if (strnlen(name, kProgramNameSize) >= kProgramNameSize - 1)
    name[kProgramNameSize - 1] = '\0';
  bank[getProgram()].WriteName(name);
  notifyEditorAll();
}

void VSTPlugin::setSampleRate(float rate)
{
  sampleRate = rate;
}

void VSTPlugin::setBlockSize(int32_t size)
{
  blockSize = size;
}

// ----------------------------------------------------- program selection

void VSTPlugin::setProgram(int32_t program)
{
  if (program < 0 || program >= kBankPrograms)
    return;
  TimerLockHold hold(*this);
  setProgramLocked(program);
}

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

void VSTPlugin::takeDeferredSelection() noexcept
{
  // The request and the lock's try and release are sequentially consistent:
  // either the requester finds the lock free or the holder, looking after
  // its release, finds the request.
  while (deferredProgram.load() >= 0 && timerLock.TryLock()) {
    const int32_t program = deferredProgram.exchange(-1);
    if (program >= 0)
      setProgramLocked(program);
    timerLock.Unlock();
  }
}

VSTPlugin::TimerLockHold::~TimerLockHold()
{
  plugin.timerLock.Unlock();
  plugin.takeDeferredSelection();
}

void VSTPlugin::setProgramLocked(int32_t program)
{
  AudioEffect::setProgram(program);
  notifyEditorAll();

  const bool changePath =
      optionOn(param::kSendOnChange) && !firstProgramPending && !chunkJustLoaded && !skipChangeSend;
  if (changePath) {
    delaySeconds = param::Encode(getParameter(param::kChangeDelay), param::kDelay.scale);
    if (delaySeconds < 1) {
      sendMessages(SendCause::Change);
    } else {
      timerMode = 1;
      startTimerLocked(true);
    }
  } else if (optionOn(param::kSendOnInit) && !initSendDone) {
    delaySeconds = param::Encode(getParameter(param::kInitDelay), param::kDelay.scale);
    if (delaySeconds < 1) {
      sendMessages(SendCause::Init);
    } else {
      timerMode = 0;
      startTimerLocked(true);
    }
    initSendDone = true;
  }

  if (!firstProgramPending)
    skipChangeSend = false;
  firstProgramPending = false;
  chunkJustLoaded = false;
  if (!optionOn(param::kThru))
    releaseRequested = true;
}

void VSTPlugin::suspend()
{
  SPlugin::suspend();
  startTimer(false);
}

void VSTPlugin::resume()
{
  SPlugin::resume();
  // A host that restores the program before the chunk (and selects nothing
  // afterwards) would otherwise never trigger the one init send: when a
  // chunk load is still waiting for its selection, select the current
  // program as such a host would have done.
  if (chunkJustLoaded)
    setProgram(getProgram());
}

// -------------------------------------------------------------- countdown

void VSTPlugin::startTimer(bool start)
{
  TimerLockHold hold(*this);
  startTimerLocked(start);
}

void VSTPlugin::startTimerLocked(bool start)
{
  cancelCountdownLocked();
  if (!start)
    return;
  const uint32_t generation = timerGeneration.fetch_add(1) + 1;
  // The countdown's length is fixed now: a later selection that sends at
  // once must not shorten a countdown whose thread has not woken yet.
  startDelay = delaySeconds.load();
  pendingStart = generation;
  timerThread.Wake();
}

void VSTPlugin::cancelCountdownLocked()
{
  // A new generation voids both a start not yet taken up and a countdown in
  // progress, which then ends without sending.
  timerGeneration.fetch_add(1);
  pendingStart = 0;
  if (timerRunning) {
    setParameter(param::kCountdownEnd, 0.0f);
    timerRunning = false;
    setParameter(param::kCountdownState, 0.0f);
  }
}

void* VSTPlugin::timerfunction(void* plugin)
{
  if (plugin)
    static_cast<VSTPlugin*>(plugin)->countdownLoop();
  return nullptr;
}

void VSTPlugin::countdownLoop()
{
  for (;;) {
    // Look before sleeping: the wake-up of a start may already have been
    // used up by the countdown it replaced.
    const uint32_t generation = pendingStart.exchange(0);
    if (generation != 0 && generation == timerGeneration.load()) {
      runCountdown(generation);
      continue;
    }
    if (!timerThread.SleepFor(-1))
      return;
  }
}

bool VSTPlugin::sleepOneSecond(uint32_t generation)
{
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(1);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return generation == timerGeneration.load();
    // A wake-up means a start or a cancel somewhere: look, then sleep on.
    if (!timerThread.SleepFor(static_cast<int>(left)))
      return false;
    if (generation != timerGeneration.load())
      return false;
  }
}

void VSTPlugin::runCountdown(uint32_t generation)
{
  {
    TimerLockHold hold(*this);
    if (generation != timerGeneration.load())
      return;
    countdown = startDelay + 1;
    timerRunning = true;
  }
  setParameter(param::kCountdownState, 0.0f);
  for (;;) {
    if (--countdown <= 0 || !timerRunning || generation != timerGeneration.load())
      break;
    setParameter(param::kCountdownTick, 0.0f);
    if (!sleepOneSecond(generation))
      return; // cancelled: the canceller has told the editor
  }
  {
    TimerLockHold hold(*this);
    if (generation != timerGeneration.load() || !timerRunning)
      return;
    timerRunning = false;
  }
  // The options as they are now, in the program that is current now.
  if (optionOn(param::kSendOnChange) || optionOn(param::kSendOnInit))
    sendMessages(timerMode == 0 ? SendCause::Init : SendCause::Change);
  setParameter(param::kCountdownEnd, 0.0f);
  setParameter(param::kCountdownState, 0.0f);
}

// ------------------------------------------------------------------- MIDI

int32_t VSTPlugin::processEvents(VstEvents* events) noexcept
{
  if (events && events->numEvents > 0)
    inputQueue.PushMidi(events->events, events->numEvents);
  return 0;
}

void VSTPlugin::sendCCData() noexcept
{
  sendMessages(SendCause::Other);
}

void VSTPlugin::sendMessages(SendCause cause) noexcept
{
  // Every send, paced or not, ends what remains of a paced one.
  const uint32_t serial = (sendSerial.fetch_add(1) + 1) & kSerialMask;
  if (pacing()) {
    // The audio thread takes it up at its next block.
    pendingRequest.store(serial << 2 | static_cast<uint32_t>(cause));
    return;
  }
  VstMidiEvent event = FreshEvent();
  const int32_t current = getProgram();
  const VSTPluginProgram& program = bank[current];
  const ProgramExtension& extension = bank.Extension(current);
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    if (!field::Load(program.strips[strip].inUse))
      continue;
    for (int32_t message = 0; message < 2; ++message) {
      strips::MessageBytes bytes;
      strips::Bytes(strips::Read(program, extension, strip, message), bytes);
      strips::ForEachEvent(bytes, [&](const uint8_t* data, int32_t size) {
        std::memset(event.midiData, 0, sizeof event.midiData);
        std::memcpy(event.midiData, data, static_cast<size_t>(size));
        generatedQueue.Push(event);
      });
    }
  }
}

void VSTPlugin::midiInProcess(int32_t frames) noexcept
{
  // The host's events are copied into the block's output in one go and
  // sorted there: an event passed on stays where it is or moves down over
  // the dropped ones, and is rewritten only in its final place.
  VstMidiEvent* const store = outEventStore;
  const int32_t first = outCount;
  const int32_t taken = inputQueue.PopInto(store + first, MidiEventQueue::kCapacity - first);
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

  // The current program changes only through a Program Change below.
  const VSTPluginProgram* program = &bank[field::Load(curProgram)];
  const bool learning = learnOn.load(std::memory_order_relaxed);
  bool learnedAny = false;
  HeldNoteTable::Batch notes(heldNotes);
  for (int32_t i = first; i < first + taken; ++i) {
    const uint8_t* data = store[i].midiData;
    const uint8_t status = data[0] & midi::kStatusMask;
    const int32_t channel = data[0] & midi::kChannelMask;
    const int32_t data1 = data[1] & midi::kDataMask;
    // Learning sees the input whatever thru does with it. A Program Change
    // that selects a program is an order to the plug-in, not a setting of
    // the synth: it is not learned.
    if (learning && (status == midi::kControlChange ||
                     (status == midi::kProgramChange && !field::Load(program->presetSwitching)))) {
      learnFromInput(data);
      learnedAny = true;
    }
    if (releaseRequested.load(std::memory_order_relaxed))
      continue;
    const bool thru = field::Load(program->midiThru) != 0;

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
    } else if (status == midi::kProgramChange && field::Load(program->presetSwitching)) {
      selectFromInput(data1); // whatever the channel; not passed on
      program = &bank[field::Load(curProgram)];
    } else if (thru) {
      // Program Changes without preset switching, controllers, pressure,
      // pitch bend and system messages.
      keep(i);
    }
  }
  outCount = kept;
  outCount += generatedQueue.PopInto(store + outCount, MidiEventQueue::kCapacity - outCount);
  runPacing(frames);
  // The learning thread applies what was learned and carries the notices;
  // its semaphore is posted only when it has gone to sleep on it.
  // Both sides change the flag with a read-modify-write, so whichever comes
  // second sees what the first one did before it.
  if ((learnedAny || pacedNoticeDue.load(std::memory_order_relaxed)) &&
      learnSleeping.exchange(false))
    learnThread.Wake();
}

void VSTPlugin::midiPostProcess() noexcept
{
  if (outCount > 0) {
    outEvents.numEvents = outCount;
    outEvents.reserved = 0;
    sendVstEventsToHost(outEvents.AsEvents());
    outCount = 0;
  }

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
  VstMidiEvent event = FreshEvent();
  heldNotes.ForEachHeld([&](const HeldNoteTable::Entry& entry) {
    event.midiData[0] = static_cast<uint8_t>(midi::kNoteOff + entry.channel);
    event.midiData[1] = static_cast<uint8_t>(entry.note);
    event.midiData[2] = 0;
    generatedQueue.Push(event);
  });
  heldNotes.Clear();
}

void VSTPlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
  if (Suspended())
    return;
  pollTransport();
  midiInProcess(sampleFrames);
  if (inputs && outputs && sampleFrames > 0) {
    for (int channel = 0; channel < 2; ++channel) {
      if (inputs[channel] && outputs[channel] && inputs[channel] != outputs[channel])
        std::memmove(outputs[channel], inputs[channel],
                     sizeof(float) * static_cast<size_t>(sampleFrames));
    }
  }
  midiPostProcess();
}

void VSTPlugin::process(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
  if (Suspended())
    return;
  pollTransport();
  midiInProcess(sampleFrames);
  if (inputs && outputs && sampleFrames > 0) {
    for (int channel = 0; channel < 2; ++channel) {
      const float* in = inputs[channel];
      float* out = outputs[channel];
      if (!in || !out)
        continue;
      for (int32_t i = 0; i < sampleFrames; ++i)
        out[i] += in[i];
    }
  }
  midiPostProcess();
}

// ------------------------------------------------------------------ chunks

namespace {

// A chunk from a newer version: what this one knows was loaded.
void ShowNewerVersionMessage(const char* first)
{
  vexo::data::datastring<32, char> text;
  text.Append(first);
  text.Append("\n(Reason: ");
  text.Append("Saved with newer version");
  text.Append("\nThis version = ");
  text.Append(32, "%.2f", kPluginVersion * 0.01);
  text.Append("\nSome settings will be lost !)");
  SPlugin::ShowMessage(text.Text());
}

} // namespace

int32_t VSTPlugin::getChunk(void** data, bool isPreset)
{
  if (!data)
    return 0;
  // The extension follows the records only when its settings are in use;
  // otherwise the host gets the live records, as always.
  const int32_t current = getProgram();
  if (isPreset) {
    if (bank.ExtensionInUse(current)) {
      chunkBuffer = bank.WriteProgram(current);
      *data = chunkBuffer.data();
      return static_cast<int32_t>(chunkBuffer.size());
    }
    *data = &bank[current];
    return VSTPluginProgramBank::kProgramBytes;
  }
  if (bank.ExtensionInUse()) {
    chunkBuffer = bank.WriteBank();
    *data = chunkBuffer.data();
    return static_cast<int32_t>(chunkBuffer.size());
  }
  *data = bank.Data();
  return VSTPluginProgramBank::kBankBytes;
}

int32_t VSTPlugin::setChunk(void* data, int32_t byteSize, bool isPreset)
{
  if (!data || byteSize < 0)
    return 0;
  bool newer = false;
  const int32_t loaded = isPreset ? bank.readProgram(data, byteSize, getProgram(), newer)
                                  : bank.readBank(data, byteSize, newer);
  if (loaded != 1)
    return loaded;
  if (newer)
    ShowNewerVersionMessage(isPreset ? "Failed to load program" : "Failed to load bank");
  // What was loaded counts as entered by hand: learning never moves it.
  if (isPreset) {
    forgetLearned(getProgram());
  } else {
    for (int32_t i = 0; i < kBankPrograms; ++i)
      forgetLearned(i);
  }

  // Hosts may write up to 64 characters; 47 are kept.
  char product[256] = {};
  getHostProductString(product);
  product[sizeof product - 1] = '\0';
  std::memset(hostProduct, 0, sizeof hostProduct);
  std::memcpy(hostProduct, product, strnlen(product, sizeof hostProduct - 1));

  if (std::strstr(hostProduct, "Bidule")) {
    if (getProgram() == 0) {
      skipChangeSend = true;
      setProgram(127);
    }
  } else if (isPreset) {
    setProgram(getProgram());
  }
  // Set after that selection, so that it is judged with the flags as they
  // were before the load; the host's next selection counts as the initial one.
  chunkJustLoaded = true;
  return 1;
}

// ----------------------------------------------------------- copy, paste

void VSTPlugin::copySelProgram()
{
  // Field by field on both sides: the current program is shared, and so is
  // the buffer once a paste may read it. The buffer keeps its name.
  const int32_t current = getProgram();
  {
    // The kinds go with the strips they belong to.
    std::lock_guard<std::recursive_mutex> hold(stripLock);
    copyBuffer.CopyContentsFrom(bank[current]);
    field::CopyBytes(&copyExtension, &bank.Extension(current), sizeof copyExtension);
  }
  copyValid = true;
}

void VSTPlugin::pasteSelProgram()
{
  if (!copyValid)
    return;
  VSTPluginProgram& current = bank[getProgram()];
  {
    std::lock_guard<std::recursive_mutex> hold(stripLock);
    current.CopyStripListFrom(copyBuffer);
    field::CopyBytes(&bank.Extension(getProgram()), &copyExtension, sizeof copyExtension);
  }
  forgetLearned(getProgram());
  field::Store(current.reserved, field::Load(copyBuffer.reserved));
  field::Store(current.midiThru, field::Load(copyBuffer.midiThru));
  for (int i = 0; i < kBankPrograms; ++i) {
    field::Store(bank[i].presetSwitching, field::Load(copyBuffer.presetSwitching));
    field::Store(bank[i].sendOnChange, field::Load(copyBuffer.sendOnChange));
    field::Store(bank[i].sendOnInit, field::Load(copyBuffer.sendOnInit));
    field::Store(bank[i].initDelay, field::Load(copyBuffer.initDelay));
    field::Store(bank[i].changeDelay, field::Load(copyBuffer.changeDelay));
  }
  // A countdown whose option survived the paste goes on.
  if (!field::Load(current.sendOnInit) && timerMode == 0)
    startTimer(false);
  if (!field::Load(current.sendOnChange) && timerMode == 1)
    startTimer(false);
  if (!field::Load(current.midiThru))
    releaseRequested = true;
  notifyEditorAll();
}

// ---------------------------------------------------------------- pacing

bool VSTPlugin::pacing() const noexcept
{
  const ExtensionSettings& settings = bank.Settings();
  return field::Load(settings.spacingMs) > 0 || field::Load(settings.settleMs) > 0;
}

void VSTPlugin::cancelPacedSend(SendCause cause) noexcept
{
  const auto which = static_cast<uint32_t>(cause);
  cancels[which].fetch_add(1);
  // A send of that cause the audio thread has not taken up yet goes too.
  uint32_t request = pendingRequest.load();
  if (request != 0 && (request & 3) == which)
    pendingRequest.compare_exchange_strong(request, 0);
}

void VSTPlugin::runPacing(int32_t frames) noexcept
{
  const uint32_t serial = sendSerial.load() & kSerialMask;
  if (paced.active && (paced.serial != serial ||
                       cancels[static_cast<uint32_t>(paced.cause)].load() != paced.cancelMark))
    endPaced();
  const uint32_t request = pendingRequest.exchange(0);
  // A request overtaken by a later send (paced or not) is dropped.
  if (request != 0 && (request >> 2) == serial)
    startPaced(static_cast<SendCause>(request & 3), serial);
  if (!paced.active || frames <= 0)
    return;

  while (paced.next < paced.count && paced.wait < frames &&
         outCount + strips::EventCount(paced.bytes[paced.next]) <= MidiEventQueue::kCapacity) {
    insertAt(paced.bytes[paced.next], static_cast<int32_t>(paced.wait));
    paced.wait += paced.gaps[paced.next];
    ++paced.next;
  }
  if (paced.next == paced.count) {
    endPaced();
    return;
  }
  // A message the full output could not take goes at the next block's start.
  paced.wait = paced.wait > frames ? paced.wait - frames : 0;
}

void VSTPlugin::startPaced(SendCause cause, uint32_t serial) noexcept
{
  const ExtensionSettings& settings = bank.Settings();
  const int32_t spacing = ClampMs(field::Load(settings.spacingMs), kMaxSpacingMs);
  const int32_t settle = ClampMs(field::Load(settings.settleMs), kMaxSettleMs);
  const float rate = sampleRate;
  const double samplesPerMs = rate >= 1.0f && rate <= 1e7f ? rate / 1000.0 : 44.1;
  const auto samples = [samplesPerMs](int32_t ms) {
    return static_cast<int32_t>(std::lround(ms * samplesPerMs));
  };

  // The messages as the send lists them now, in today's order.
  const int32_t current = getProgram();
  const VSTPluginProgram& program = bank[current];
  const ProgramExtension& extension = bank.Extension(current);
  paced.count = 0;
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    if (!field::Load(program.strips[strip].inUse))
      continue;
    for (int32_t message = 0; message < 2; ++message) {
      const strips::Message m = strips::Read(program, extension, strip, message);
      if (strips::Bytes(m, paced.bytes[paced.count]) == 0)
        continue;
      paced.gaps[paced.count] = samples(strips::Settles(m) && settle > spacing ? settle : spacing);
      ++paced.count;
    }
  }
  paced.next = 0;
  paced.wait = 0;
  paced.serial = serial;
  paced.cause = cause;
  paced.cancelMark = cancels[static_cast<uint32_t>(cause)].load();
  if (paced.count == 0)
    return;
  paced.active = true;
  pacedActive.store(true);
  pacedNoticeDue.store(true);
}

void VSTPlugin::endPaced() noexcept
{
  paced.active = false;
  paced.count = 0;
  paced.next = 0;
  pacedActive.store(false);
  pacedNoticeDue.store(true);
}

void VSTPlugin::insertAt(const strips::MessageBytes& bytes, int32_t deltaFrames) noexcept
{
  // The block's events stay in the order they have; the message's events
  // go after every event at or before its frame, in their order.
  strips::ForEachEvent(bytes, [&](const uint8_t* data, int32_t size) {
    int32_t at = outCount;
    while (at > 0 && outEventStore[at - 1].deltaFrames > deltaFrames) {
      outEventStore[at] = outEventStore[at - 1];
      --at;
    }
    VstMidiEvent& event = outEventStore[at];
    event = FreshEvent();
    event.deltaFrames = deltaFrames;
    std::memcpy(event.midiData, data, static_cast<size_t>(size));
    ++outCount;
  });
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

// --------------------------------------------------------------- learning

void VSTPlugin::learnFromInput(const uint8_t* midiData) noexcept
{
  LearnedMessage message;
  if (strips::FromMidi(midiData[0], midiData[1], midiData[2], message))
    learned.Push(message);
}

namespace {

uint64_t Pack(const strips::Message& m) noexcept
{
  return static_cast<uint64_t>(m.kind) << 56 | static_cast<uint64_t>(m.format) << 48 |
         static_cast<uint64_t>(m.channel) << 40 | static_cast<uint64_t>(m.options) << 32 |
         static_cast<uint64_t>(m.number) << 16 | m.value;
}

// A controller the recogniser holds (it may begin an NRPN, an RPN or a
// 14-bit pair) is learned as the controller it is when nothing follows it
// within this time.
constexpr int kHeldControllerMs = 50;

} // namespace

strips::Message VSTPlugin::LastHeard() const
{
  const uint64_t packed = lastHeard.load();
  strips::Message m;
  m.kind = static_cast<uint8_t>(packed >> 56);
  m.format = static_cast<uint8_t>(packed >> 48);
  m.channel = static_cast<uint8_t>(packed >> 40);
  m.options = static_cast<uint8_t>(packed >> 32);
  m.number = static_cast<uint16_t>(packed >> 16);
  m.value = static_cast<uint16_t>(packed);
  return m;
}

void VSTPlugin::forgetLearned(int32_t program, int32_t strip, int32_t message) noexcept
{
  learnedSlots[program].fetch_and(~strips::SlotBit(strip, message));
}

void VSTPlugin::forgetLearned(int32_t program) noexcept
{
  learnedSlots[program].store(0);
}

void VSTPlugin::learnLoop()
{
  // Sleeps first: the thread starts in the constructor, before the object
  // is whole, and touches it only once the audio thread has woken it.
  for (;;) {
    // Says it sleeps, then looks once more: a message pushed before the
    // audio thread could see the flag is found here, any later one wakes it.
    learnSleeping.exchange(true);
    const bool holding = recogniser.Holding();
    if (learned.Empty() && !pacedNoticeDue.load() &&
        !learnThread.SleepFor(holding ? kHeldControllerMs : -1))
      return;
    learnSleeping.store(false);
    if (learnThread.StopRequested())
      return;
    // Nothing came after a held controller: it is learned as it is.
    applyLearned(holding && learned.Empty());
    if (pacedNoticeDue.exchange(false))
      notifyEditor(param::kPacedNotice);
  }
}

void VSTPlugin::applyLearned(bool flushHeld)
{
  // In batches: the strip lock is taken once for a batch, and the editor is
  // told after it has been let go.
  constexpr int kBatch = 64;
  bool changed = false;
  for (;;) {
    strips::LearnPlace places[kBatch];
    int count = 0;
    {
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      const int32_t current = getProgram();
      std::atomic<uint32_t>& marks = learnedSlots[current];
      auto learn = [&](const strips::LearnRecogniser::Recognised* messages, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
          const strips::SlotSet before = marks.load();
          const strips::LearnPlace place =
              strips::Learn(bank[current], bank.Extension(current), before, messages[i].message,
                            messages[i].replaces);
          // Bit by bit, so that a hand edit meanwhile (setParameter clears
          // its slot's bit without the strip lock) is not undone.
          marks.fetch_or(place.learned & ~before);
          marks.fetch_and(~(before & ~place.learned));
          places[count++] = place;
          lastHeard.store(Pack(messages[i].message));
        }
      };
      // The recogniser makes one message of an NRPN's, an RPN's or a 14-bit
      // pair's controllers (StripLearning.h).
      strips::LearnRecogniser::Recognised messages[strips::LearnRecogniser::kMaxOut];
      for (int32_t channel = 1; flushHeld && channel <= 16; ++channel)
        learn(messages, recogniser.Flush(channel, messages));
      flushHeld = false;
      LearnedMessage message;
      while (count + strips::LearnRecogniser::kMaxOut <= kBatch && learned.Pop(message))
        learn(messages, recogniser.Feed(message, messages));
    }
    if (count == 0 && learned.Empty())
      break;
    changed = changed || count > 0;
    for (int i = 0; i < count; ++i)
      tellLearned(places[i]);
  }
  if (changed)
    notifyEditor(param::kLearnNotice);
}

void VSTPlugin::tellLearned(const strips::LearnPlace& place)
{
  if (place.result == strips::LearnResult::Full) {
    learnFull.store(true);
    return;
  }
  if (place.result != strips::LearnResult::Updated)
    learnFull.store(false);
  // The fields the editor shows for every slot written (a learned message
  // may have moved others), then its columns when a strip was added.
  for (int32_t slot = 0; slot < 2 * kStripsPerProgram; ++slot) {
    if (!(place.changed & strips::SlotBit(slot / 2, slot % 2)))
      continue;
    for (int32_t group = slot % 2; group < param::kStripGroups; group += 2)
      notifyEditor(param::StripIndex(group, slot / 2));
    notifyEditor(param::KindIndex(slot % 2, slot / 2));
  }
  if (place.result == strips::LearnResult::Added)
    notifyEditor(param::kLayoutNotice);
}
