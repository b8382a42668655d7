// VSTPlugin's programs and chunks: construction and destruction, the
// program names, the selection of a program (setProgram), suspend and
// resume, the countdown's wiring, the SysEx sets' publication, getChunk and
// setChunk, copy and paste.
//
// Threads: the host's dispatcher thread, and the editor (the host's GUI
// thread) for copy, paste and names. This file mixes threads in two places,
// by design: the countdown thread runs UnlockTimer, CountdownDone and
// timerfunction, and setProgramLocked runs on whichever thread holds the
// timer lock, the audio thread included (an incoming Program Change that
// found the lock free, see selectFromInput). Safe because the selection is
// serialised by the timer lock, which no one holds across a wait, the
// selection flags are atomics, and the program records are read and written
// field by field (field::Load/field::Store); multi-field strip edits (copy,
// paste) hold the strip lock.
#include "engine/VSTPlugin.h"

#include "model/Parameters.h"
#include "support/data/datastring.h"
#include "support/threading/FieldAccess.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

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

// ------------------------------------------------------------------ SysEx

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

void VSTPlugin::NoteEditorFile(int32_t kind, const std::string& path)
{
  std::lock_guard<std::mutex> hold(editorFileLock);
  ++editorFiles;
  editorFileKind = kind;
  editorFilePath = path;
}

VstIntPtr VSTPlugin::vendorSpecific(int32_t index, VstIntPtr value, void* ptr, float /*opt*/)
{
  // The LV2 edition's call between blocks with MIDI (audio thread).
  if (index == kQuilletPackedInput)
    return passPacked(static_cast<QuilletPackedInput*>(ptr)) ? 1 : 0;
  if (index == kQuilletEditorFile) {
    std::lock_guard<std::mutex> hold(editorFileLock);
    if (ptr) {
      auto& file = *static_cast<QuilletEditorFile*>(ptr);
      file = QuilletEditorFile{};
      file.kind = editorFileKind;
      if (editorFilePath.size() < sizeof file.path)
        std::memcpy(file.path, editorFilePath.c_str(), editorFilePath.size() + 1);
    }
    return static_cast<VstIntPtr>(editorFiles);
  }
  if (index == kQuilletVerifyReport) {
    static_assert(kQuilletVerifyReportBytes >= kVerifyTextSize);
    // The count first: a result that comes meanwhile is told at the next call.
    const uint32_t count = VerifyCount();
    if (!ptr || value <= 0)
      return static_cast<VstIntPtr>(count);
    char line[kVerifyTextSize] = {};
    if (count > 0)
      VerifyLine(LastVerify(), line);
    const auto room = static_cast<size_t>(value);
    std::strncpy(static_cast<char*>(ptr), line, room);
    static_cast<char*>(ptr)[room - 1] = '\0';
    return static_cast<VstIntPtr>(count);
  }
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

std::vector<uint8_t> VSTPlugin::CopyChunk(bool isPreset)
{
  // The host copies what it gets while the other threads go on writing the
  // records (the audio thread's automation of thru among them), so it gets
  // a snapshot of its own: every field read once, at its own width, without
  // a lock (the bank's WriteBank), so that it holds each field as it was or
  // as written and no writer waits for a save. Without the extension's
  // settings it is the records alone, byte for byte the chunk it always was.
  const int32_t current = getProgram();
  // The SysEx sets as published; the reader keeps them alive meanwhile.
  SysExStore::Reader reader(sysexStore);
  const SysExSet* sets[kBankPrograms];
  for (int32_t i = 0; i < kBankPrograms; ++i)
    sets[i] = reader.Current(i);
  return isPreset ? bank.WriteProgram(current, sets[current]) : bank.WriteBank(sets);
}

int32_t VSTPlugin::getChunk(void** data, bool isPreset)
{
  if (!data)
    return 0;
  std::vector<uint8_t> snapshot = CopyChunk(isPreset);
  std::lock_guard<std::mutex> hold(chunkLock);
  std::vector<uint8_t>& chunk = chunkBuffers[chunkTurn];
  chunkTurn ^= 1;
  chunk = std::move(snapshot);
  *data = chunk.data();
  return static_cast<int32_t>(chunk.size());
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
    strips::CopyExtension(copyExtension, bank.Extension(current));
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
    strips::CopyExtension(bank.Extension(getProgram()), copyExtension);
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
