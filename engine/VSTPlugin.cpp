#include "engine/VSTPlugin.h"

#include "model/Parameters.h"
#include "model/StripMessages.h"
#include "support/data/datastring.h"
#include "support/threading/FieldAccess.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace {

using param::SwitchOn;

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
  countdown.StartThread();
  learner.StartThread();
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
  // A countdown in progress is abandoned without a send; once the threads
  // are joined nothing of them touches this object any more.
  countdown.StopThread();
  learner.StopThread();
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
    if (index == param::kSendOnInit && countdown.Mode() == 0)
      startTimer(false);
    else if (index == param::kSendOnChange && countdown.Mode() == 1)
      startTimer(false);
    // And what remains of a paced send it started.
    if (index == param::kSendOnInit)
      sender.Cancel(SendCause::Init);
    else if (index == param::kSendOnChange)
      sender.Cancel(SendCause::Change);
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
      learner.Forget(getProgram(), strip, group % 2);
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
      learner.Forget(program, strip, message);
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
  case param::kSysExNotice:
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
    learner.Forget(program, param::KindStripOf(index), param::KindMessageOf(index));
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
    if (!learner.SetOn(SwitchOn(value)))
      return;
    // Asks the device for what learning is to hear.
    if (SwitchOn(value))
      SendDumpRequest();
    break;
  case param::kSysExGap:
    SetSysExGap(param::Encode(value, param::kSysExGapMs.scale));
    break;
  case param::kSendOnPlay: {
    const uint8_t on = SwitchOn(value) ? 1 : 0;
    if (field::Load(settings.sendOnPlay) == on)
      return;
    field::Store(settings.sendOnPlay, on);
    if (!on)
      sender.Cancel(SendCause::Play);
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
    return learner.On() ? 1.0f : 0.0f;
  case param::kSendOnPlay:
    return field::Load(settings.sendOnPlay) ? 1.0f : 0.0f;
  case param::kLearnNotice:
    // Full as long as nothing made room since a message was refused, or
    // since a SysEx message was.
    return (learner.Full() && !strips::LearnRoom(bank[program], bank.Extension(program))) ||
                   learner.SysExFull()
               ? 1.0f
               : 0.0f;
  case param::kSysExGap:
    return param::Decode(SysExGap(), param::kSysExGapMs);
  case param::kPacedNotice:
    return sender.Active() ? 1.0f : 0.0f;
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
    const int32_t seconds = param::Encode(getParameter(param::kChangeDelay), param::kDelay.scale);
    countdown.SetDelay(seconds);
    if (seconds < 1) {
      sendMessages(SendCause::Change);
    } else {
      countdown.SetMode(1);
      countdown.StartLocked(true);
    }
  } else if (optionOn(param::kSendOnInit) && !initSendDone) {
    const int32_t seconds = param::Encode(getParameter(param::kInitDelay), param::kDelay.scale);
    countdown.SetDelay(seconds);
    if (seconds < 1) {
      sendMessages(SendCause::Init);
    } else {
      countdown.SetMode(0);
      countdown.StartLocked(true);
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
  countdown.StartLocked(start);
}

void VSTPlugin::UnlockTimer()
{
  timerLock.Unlock();
  takeDeferredSelection();
}

void VSTPlugin::CountdownDone(int32_t mode)
{
  // The options as they are now, in the program that is current now.
  if (optionOn(param::kSendOnChange) || optionOn(param::kSendOnInit))
    sendMessages(mode == 0 ? SendCause::Init : SendCause::Change);
}

void* VSTPlugin::timerfunction(void* plugin)
{
  if (plugin)
    static_cast<VSTPlugin*>(plugin)->countdown.Loop();
  return nullptr;
}

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

void VSTPlugin::PublishSysEx(int32_t program, std::unique_ptr<const SysExSet> set)
{
  if (program < 0 || program >= kBankPrograms)
    return;
  const bool has = set && set->Count() > 0;
  sysexStore.Publish(program, std::move(set));
  sender.NoteSysEx(program, has);
  notifyEditor(param::kSysExNotice);
}

void VSTPlugin::ImportSysEx(int32_t program, const SysExSet& messages)
{
  if (program < 0 || program >= kBankPrograms)
    return;
  std::unique_ptr<const SysExSet> replaced;
  {
    SysExStore::Reader reader(sysexStore);
    replaced = ReplaceMessages(reader.Current(program), messages);
  }
  // Published once the reader has let the store's mutex go.
  PublishSysEx(program, std::move(replaced));
}

VstIntPtr VSTPlugin::vendorSpecific(int32_t index, VstIntPtr value, void* ptr, float /*opt*/)
{
  if (index != kQuilletReplaceSysEx || !ptr || value <= 0 ||
      value > std::numeric_limits<int32_t>::max())
    return 0;
  const auto size = static_cast<int32_t>(value);
  int32_t used = 0;
  std::unique_ptr<const SysExSet> messages;
  if (!ReadSysExSection(static_cast<const uint8_t*>(ptr), size, used, messages) || used != size ||
      !messages || messages->Count() == 0 || messages->Request().size > 0)
    return 0;
  ImportSysEx(getProgram(), *messages);
  return 1;
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
    // Learning sees the input whatever thru does with it. A Program Change
    // that selects a program is an order to the plug-in, not a setting of
    // the synth: it is not learned.
    if (learning &&
        (status == midi::kControlChange || (status == midi::kProgramChange && !switching))) {
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

void VSTPlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
  if (!startBlock())
    return;
  // The MIDI part only while this block holds the output (see outputBusy).
  const bool midi = !outputBusy.exchange(true, std::memory_order_acquire);
  pollTransport();
  if (midi)
    midiInProcess(sampleFrames);
  if (inputs && outputs && sampleFrames > 0) {
    for (int channel = 0; channel < 2; ++channel) {
      if (inputs[channel] && outputs[channel] && inputs[channel] != outputs[channel])
        std::memmove(outputs[channel], inputs[channel],
                     sizeof(float) * static_cast<size_t>(sampleFrames));
    }
  }
  if (midi) {
    midiPostProcess();
    outputBusy.store(false, std::memory_order_release);
  }
}

void VSTPlugin::process(float** inputs, float** outputs, int32_t sampleFrames) noexcept
{
  if (!startBlock())
    return;
  // The MIDI part only while this block holds the output (see outputBusy).
  const bool midi = !outputBusy.exchange(true, std::memory_order_acquire);
  pollTransport();
  if (midi)
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
  if (midi) {
    midiPostProcess();
    outputBusy.store(false, std::memory_order_release);
  }
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
  // The SysEx sets as published; the reader keeps them alive meanwhile.
  SysExStore::Reader reader(sysexStore);
  const SysExSet* sets[kBankPrograms];
  for (int32_t i = 0; i < kBankPrograms; ++i)
    sets[i] = reader.Current(i);
  if (isPreset) {
    if (bank.ExtensionInUse(current, sets[current])) {
      chunkBuffer = bank.WriteProgram(current, sets[current]);
      *data = chunkBuffer.data();
      return static_cast<int32_t>(chunkBuffer.size());
    }
    *data = &bank[current];
    return VSTPluginProgramBank::kProgramBytes;
  }
  if (bank.ExtensionInUse(sets)) {
    chunkBuffer = bank.WriteBank(sets);
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
  // The chunk's SysEx sets (none where it has none) replace the programs'
  // once the records are loaded; a refused chunk changes nothing.
  auto sets = std::make_unique<LoadedSysEx>();
  const int32_t current = getProgram();
  const int32_t loaded = isPreset
                             ? bank.readProgram(data, byteSize, current, newer, &(*sets)[current])
                             : bank.readBank(data, byteSize, newer, sets.get());
  if (loaded != 1)
    return loaded;
  for (int32_t i = 0; i < kBankPrograms; ++i) {
    if (!isPreset || i == current)
      PublishSysEx(i, std::move((*sets)[i]));
  }
  if (newer)
    ShowNewerVersionMessage(isPreset ? "Failed to load program" : "Failed to load bank");
  // What was loaded counts as entered by hand: learning never moves it.
  if (isPreset) {
    learner.Forget(getProgram());
  } else {
    for (int32_t i = 0; i < kBankPrograms; ++i)
      learner.Forget(i);
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
  learner.Forget(getProgram());
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
  if (!field::Load(current.sendOnInit) && countdown.Mode() == 0)
    startTimer(false);
  if (!field::Load(current.sendOnChange) && countdown.Mode() == 1)
    startTimer(false);
  if (!field::Load(current.midiThru))
    releaseRequested = true;
  notifyEditorAll();
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
