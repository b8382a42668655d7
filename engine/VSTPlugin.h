// VSTPlugin: the plug-in object. It holds the bank of 128 programs, the copy
// buffer, the flags that decide when stored messages are sent, the held-note
// table, the three MIDI rings and the countdown, and answers the parameter
// interface through which the host and the editor read and change all of it.
//
// Threads:
// - host threads: the dispatcher (programs, chunks, names, suspend/resume,
//   processEvents) and parameter automation;
// - the host's GUI thread: the editor's event handling calls setParameter
//   and edits the current program's strips;
// - the audio thread: process/processReplacing, and the selection of an
//   incoming Program Change;
// - the countdown thread (Countdown.h): the timed send and the notices
//   139 to 141 to the editor;
// - the learning thread (Learner.h): writes what the audio thread learned
//   into the current program under the strip lock (by the model's rule,
//   StripLearning.h) and the SysEx messages heard into the program's SysEx
//   list, and carries the notices 236, 237 and 335 to the editor (the
//   audio thread only sets flags, copies SysEx into the learning's inbox
//   and posts the thread's semaphore).
// Paced sending, with the verify of a send by the synth's dump and its
// retries, is PacedSender.h, the block's output BlockOutput.h; this
// class keeps the parameters, the programs, the chunks and MIDI through,
// and wires the units together.
// Program fields are single bytes or words accessed through field::Load and
// field::Store, bulk copies (chunk loads, copy and paste, names) field by
// field as well; getChunk hands the host a snapshot taken the same way,
// never the live records. The flags are atomics. setProgram, startTimer and
// the countdown's start and end are serialised by `timerLock`, a spin lock
// held only for a handful of stores (never across a sleep). The audio
// thread only tries it: when it is busy, the selection asked for by a
// Program Change is handed to the holder, which makes it as it lets the
// lock go. Nothing the audio thread runs allocates, waits, takes a system
// lock or enters the kernel except to post the countdown's semaphore.
// The code is in one file per thread: VSTPluginAudio.cpp (the audio path),
// VSTPlugin.cpp (the dispatcher's programs and chunks, with the countdown's
// wiring) and VSTPluginParameters.cpp (the parameters, any thread).
#pragma once

#include "engine/BlockOutput.h"
#include "engine/Countdown.h"
#include "engine/HeldNoteTable.h"
#include "engine/Learner.h"
#include "engine/MidiEventQueue.h"
#include "engine/PacedSender.h"
#include "engine/SysExStore.h"
#include "model/StripLearning.h"
#include "model/StripMessages.h"
#include "model/VSTPluginProgramBank.h"
#include "plugin/SPlugin.h"
#include "support/threading/SMutex.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class VSTPlugin : public SPlugin,
                  private Countdown::Owner,
                  private Learner::Owner,
                  private PacedSender::Others
{
public:
  VSTPlugin(audioMasterCallback audioMaster, int& status);
  ~VSTPlugin() override;

  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  // Audio path: noexcept, no allocation, no system lock.
  void process(float** inputs, float** outputs, int32_t sampleFrames) noexcept override;
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept override;
  void setProgram(int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(int32_t index, char* label) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  int32_t getChunk(void** data, bool isPreset) override;
  int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;
  // The chunk getChunk hands a host, as a copy of the caller's own: the
  // current program's (isPreset) or the bank's. For the editor's Save. Any
  // thread but the audio thread.
  std::vector<uint8_t> CopyChunk(bool isPreset);
  void setSampleRate(float rate) override;
  void setBlockSize(int32_t size) override;
  void suspend() override;
  void resume() override;
  int32_t processEvents(VstEvents* events) noexcept override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
  // kQuilletReplaceSysEx (VstInterface.h): a .syx file's messages for the
  // current program, as a SysEx section; every other call answers 0.
  VstIntPtr vendorSpecific(int32_t index, VstIntPtr value, void* ptr, float opt) override;

  // Queues the current program's stored messages for the next block: all
  // at once, or paced when a spacing or settle time is set.
  void sendCCData() noexcept;
  // Copies the current program into the copy buffer / pastes it back over
  // the current program (names are never copied).
  void copySelProgram();
  void pasteSelProgram();

  // The current program's record (the editor edits its strip list through
  // the record's operations).
  VSTPluginProgram& CurrentProgram() { return bank[getProgram()]; }
  // The kinds of the current program's messages (strips::, StripMessages.h).
  ProgramExtension& CurrentExtension() { return bank.Extension(getProgram()); }
  // The strip lock: held around every edit of a program's strip list or of
  // a message's several fields, by the editor ("+", "-", the dials) and by
  // the learning thread, so that neither tears a strip the other writes.
  // Recursive, so that an editor holding it may call setParameter. Never
  // taken by the audio thread.
  std::recursive_mutex& StripLock() { return stripLock; }
  bool Learning() const { return learner.On(); }
  // The last message learning heard since Learn was switched on (channel 0:
  // none yet), for the drawer's notice. Any thread.
  strips::Message LastHeard() const { return learner.LastHeard(); }
  // The last SysEx message learning heard, when it was heard after every
  // other message (size 0: none): its size and first bytes. Any thread.
  HeardSysEx LastHeardSysEx() const { return learner.LastHeardSysEx(); }
  // A SysEx message learning heard found no room in the list. Any thread.
  bool SysExListFull() const { return learner.SysExFull(); }
  VSTPluginProgram& Program(int32_t index) { return bank[index]; }
  VSTPluginProgramBank& Bank() { return bank; }
  const VSTPluginProgram& CopyBuffer() const { return copyBuffer; }
  bool CopyValid() const { return copyValid; }
  const char* HostProduct() const { return hostProduct; }

  // The SysEx sets of the programs, as sends read them (SysExStore.h).
  SysExStore& SysEx() { return sysexStore; }
  // Makes `set` program `program`'s SysEx messages (null or empty: none).
  // Any thread but the audio thread. A send of a program with SysEx always
  // goes through the paced path, from the audio thread.
  void PublishSysEx(int32_t program, std::unique_ptr<const SysExSet> set);
  // A .syx file's messages for program `program`: they replace its
  // messages and its dump request stays (ReplaceMessages). Nothing is sent.
  // Any thread but the audio thread.
  void ImportSysEx(int32_t program, const SysExSet& messages);
  // The editor took a file (kind as QuilletEditorFile's): kept for the
  // plug-in's vendor call, through which the LV2 edition tells its host.
  // Any thread but the audio thread.
  void NoteEditorFile(int32_t kind, const std::string& path);
  // The pause after each SysEx message a send carries, 0 to 2000 ms.
  // A bank setting, stored in the chunk. Any thread.
  void SetSysExGap(int32_t ms)
  {
    field::Store(bank.Settings().sysexGapMs, ClampMs(ms, kMaxSysExGapMs));
  }
  int32_t SysExGap() const
  {
    return ClampMs(field::Load(bank.Settings().sysexGapMs), kMaxSysExGapMs);
  }
  // Sends the current program's dump request once, as a SysEx event of the
  // next free block (nothing when it has none). Any thread; switching Learn
  // on does it too.
  void SendDumpRequest() noexcept { sender.RequestDump(); }
  // The last verify result (code None: none yet), how many there have been
  // and the last paced send's total time in ms. Any thread.
  VerifyResult LastVerify() const { return UnpackVerify(sender.VerifyWord()); }
  uint32_t VerifyCount() const { return sender.VerifyCount(); }
  int32_t LastSendMs() const { return sender.LastSendMs(); }

  bool FirstProgramPending() const { return firstProgramPending; }
  bool ChunkJustLoaded() const { return chunkJustLoaded; }
  bool InitSendDone() const { return initSendDone; }
  bool ReleaseRequested() const { return releaseRequested; }
  // The countdown as the panel shows it.
  bool TimerRunning() const { return countdown.Running(); }
  int32_t TimerMode() const { return countdown.Mode(); }
  int32_t Countdown() const { return countdown.Seconds(); }

  // Panel state kept here: the number of strip columns the editor shows,
  // which sets its width. Only the panel writes it (in its layout pass) and
  // reads it (when it draws); the engine never touches it.
  int32_t stripColumns = 0;

protected:
  // Tells an open editor that parameter `index` changed.
  void notifyEditor(int32_t index);
  // Calls the open editor's postUpdate (a whole-panel refresh).
  void notifyEditorAll();
  // Stops a running countdown; with true, then schedules a new one.
  void startTimer(bool start);
  // Abandons any countdown and ends the countdown thread and the learning
  // thread. The destructor does this; a subclass that intercepts calls made
  // on those threads (the notices go through setParameter) does it first in
  // its own destructor.
  void StopCountdownThread();

private:
  // Countdown::Owner
  void CountdownNotice(int32_t index) override { setParameter(index, 0.0f); }
  void LockTimer() override { timerLock.Lock(); }
  void UnlockTimer() override;
  void CountdownDone(int32_t mode) override;
  // Learner::Owner
  int32_t LearnerProgram() override { return getProgram(); }
  void LearnerNotice(int32_t index) override { notifyEditor(index); }
  void LearnerPublishSysEx(int32_t program, std::unique_ptr<const SysExSet> set) override
  {
    PublishSysEx(program, std::move(set));
  }
  // PacedSender::Others: SysEx that came while a verify listened and is no
  // reply goes to learning as it would have. Audio thread.
  void NotAReply(const uint8_t* bytes, int32_t size) noexcept override
  {
    if (learner.OnForAudio())
      learner.HearSysEx(bytes, size);
  }

  void setExtendedParameter(int32_t index, float value);
  float getExtendedParameter(int32_t index);
  // A send from any thread (see sendCCData). `cause` says which option
  // started it, so that switching that option off cancels it.
  void sendMessages(SendCause cause) noexcept;
  // Audio thread: asks the host for its transport when send on play is on,
  // and sends when it has started playing.
  void pollTransport() noexcept;

  void setProgramLocked(int32_t program);
  // An incoming Program Change: selects now when the timer lock is free,
  // else leaves the selection to the lock's holder. Audio thread; never
  // waits.
  void selectFromInput(int32_t program) noexcept;
  // Makes the selection left by selectFromInput if the lock is free.
  void takeDeferredSelection() noexcept;
  // Holds `timerLock` for a scope (waiting for it) and, on letting it go,
  // makes a selection the audio thread left meanwhile. Every thread but the
  // audio thread takes the lock through this.
  struct TimerLockHold
  {
    explicit TimerLockHold(VSTPlugin& plugin_) : plugin(plugin_) { plugin.timerLock.Lock(); }
    ~TimerLockHold();
    TimerLockHold(const TimerLockHold&) = delete;
    TimerLockHold& operator=(const TimerLockHold&) = delete;
    VSTPlugin& plugin;
  };

  void applySwitch(uint8_t VSTPluginProgram::*option, int32_t index, float value);
  void applyDelay(int32_t VSTPluginProgram::*delay, int32_t index, float value);
  bool optionOn(int32_t index);

  // One block of either kind: the transport poll and the MIDI part around
  // `audio`, the part that differs.
  template <typename Audio> void runBlock(int32_t frames, Audio&& audio) noexcept;
  void midiInProcess(int32_t frames) noexcept;
  // The block's pass over the host's events in [begin, end): the records
  // in the output's store (what goes on is moved down to the front), or
  // packed events (what goes on is written into the caller's room); each
  // rewritten where it must be (RecordEvents, PackedEvents in
  // VSTPluginAudio.cpp). Sets `learnedAny` when learning was handed a
  // message.
  template <typename Events>
  typename Events::Cursor passEvents(Events& events, typename Events::Cursor begin,
                                     typename Events::Cursor end, bool& learnedAny) noexcept;
  // Packed events handed over between two blocks (kQuilletPackedInput),
  // passed at once; false (none taken) on another thread or while
  // suspended.
  bool passPacked(QuilletPackedInput* packed) noexcept;
  void midiPostProcess() noexcept;
  // Queues a note-off for every held note and empties the table.
  void edit() noexcept;

  VSTPluginProgramBank bank;
  VSTPluginProgram copyBuffer;
  ProgramExtension copyExtension{};
  bool copyValid = false;
  char hostProduct[48] = {};

  // Selection flags: written by setProgram and setChunk (under timerLock),
  // read by the same.
  std::atomic<bool> firstProgramPending{true};
  std::atomic<bool> chunkJustLoaded{true};
  std::atomic<bool> initSendDone{false};
  std::atomic<bool> skipChangeSend{false};
  // Parameter 0's stored state (the resend fires on its rise).
  std::atomic<bool> resendState{false};
  // Release of held notes over two blocks: requested by any thread, carried
  // out and cleared by the audio thread.
  std::atomic<bool> releasePhase{false};
  std::atomic<bool> releaseRequested{false};

  // The notes passed through, for their release when thru stops. Read and
  // written by the audio thread alone (midiInProcess and edit), so it has
  // no lock.
  HeldNoteTable heldNotes;

  // The timer lock: serialises setProgram with the countdown's start and
  // end (see TimerLockHold).
  vexo::threading::SMutexID timerLock;
  // A selection an incoming Program Change asked for while `timerLock` was
  // busy (-1: none). Written by the audio thread, taken (exchanged for -1)
  // by whichever thread holds the lock next.
  std::atomic<int32_t> deferredProgram{-1};
  // The countdown and its thread; the destructor stops and joins it, so no
  // code of it runs once the plug-in is gone.
  ::Countdown countdown{*this};

  // Strip lock (see StripLock).
  std::recursive_mutex stripLock;
  // Learning and its thread, which also carries notice 237.
  Learner learner{bank, stripLock, sysexStore, *this};
  // Stored messages and note-offs, written by any thread.
  MidiEventQueue generatedQueue;
  // The programs' SysEx sets; sends pin the one they send from.
  SysExStore sysexStore;
  // Paced sending; the send in progress is the audio thread's.
  PacedSender sender{bank, generatedQueue, sysexStore, *this};
  // The transport as last answered (audio thread).
  bool transportPlaying = false;
  // The chunks getChunk hands to the host: snapshots, filled in turn under
  // `chunkLock` (host threads only, never the audio thread), so that two
  // threads saving at once (a host's autosave beside its own save) never
  // rewrite the chunk the other one is still copying. Each stays valid
  // until the next getChunk but one.
  std::mutex chunkLock;
  // The editor's last file taken and the count of them (NoteEditorFile).
  std::mutex editorFileLock;
  uint32_t editorFiles = 0;
  int32_t editorFileKind = 0;
  std::string editorFilePath;
  std::vector<uint8_t> chunkBuffers[2];
  int32_t chunkTurn = 0;

  // The block's output, collected by midiInProcess and handed to the host
  // once by midiPostProcess. Audio thread only.
  BlockOutput output;
  // Host events, written by processEvents on the host's thread.
  MidiEventQueue inputQueue;
  // The thread that ran the last block (written by process and
  // processReplacing). When the host hands its events over on that thread
  // (as nearly every host does, just before the block) and nothing waits in
  // the ring, processEvents copies them straight into the output's store,
  // where the block sorts them in place: one copy instead of two through
  // the ring. `directCount` counts the records waiting there. Both belong
  // to whoever holds `outputBusy`: the block for its MIDI part, or such a
  // hand-over. A hand-over that finds it taken goes through the ring; a
  // block that finds it taken (a host handing events over on another
  // thread at that very moment) leaves its MIDI to the next block.
  std::atomic<pthread_t> audioThread{};
  std::atomic<bool> outputBusy{false};
  int32_t directCount = 0;
  // Learning heard a packed event since the last block (audio thread).
  bool packedHeard = false;
  // Audio thread, at the start of a block: false when it is suspended
  // (events handed over for it then wait in the ring).
  bool startBlock() noexcept;
};
