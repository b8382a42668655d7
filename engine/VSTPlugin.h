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
// - the countdown thread (`timerThread`): the timed send and the notices
//   139 to 141 to the editor;
// - the learning thread (`learnThread`): writes what the audio thread
//   learned into the current program under the strip lock (by the model's
//   rule, StripLearning.h), and carries the notices 236 and 237 to the
//   editor (the audio thread only sets flags and posts the thread's
//   semaphore).
// Program fields are single bytes or words accessed through field::Load and
// field::Store, bulk copies (chunk loads, copy and paste, names) field by
// field as well; getChunk hands the host the live records. The flags are
// atomics. setProgram, startTimer and the
// countdown's start and end are serialised by `timerLock`, a spin lock held
// only for a handful of stores (never across a sleep). The audio thread only
// tries it: when it is busy, the selection asked for by a Program Change is
// handed to the holder, which makes it as it lets the lock go. Nothing the
// audio thread runs allocates, waits, takes a system lock or enters the
// kernel except to post the countdown's semaphore.
#pragma once

#include "engine/HeldNoteTable.h"
#include "engine/LearnQueue.h"
#include "engine/MidiEventQueue.h"
#include "model/StripLearning.h"
#include "model/StripMessages.h"
#include "model/VSTPluginProgramBank.h"
#include "plugin/SPlugin.h"
#include "support/threading/SMutex.h"
#include "support/threading/SWorkerThread.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class VSTPlugin : public SPlugin
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
  void setSampleRate(float rate) override;
  void setBlockSize(int32_t size) override;
  void suspend() override;
  void resume() override;
  int32_t processEvents(VstEvents* events) noexcept override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;

  // Queues the current program's stored messages for the next block: all
  // at once, or paced when a spacing or settle time is set.
  void sendCCData() noexcept;
  // Copies the current program into the copy buffer / pastes it back over
  // the current program (names are never copied).
  void copySelProgram();
  void pasteSelProgram();
  // The routine of the countdown thread.
  static void* timerfunction(void* plugin);

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
  bool Learning() const { return learnOn; }
  // The last message learning heard since Learn was switched on (channel 0:
  // none yet), for the drawer's notice. Any thread.
  strips::Message LastHeard() const;
  VSTPluginProgram& Program(int32_t index) { return bank[index]; }
  VSTPluginProgramBank& Bank() { return bank; }
  const VSTPluginProgram& CopyBuffer() const { return copyBuffer; }
  bool CopyValid() const { return copyValid; }
  const char* HostProduct() const { return hostProduct; }

  bool FirstProgramPending() const { return firstProgramPending; }
  bool ChunkJustLoaded() const { return chunkJustLoaded; }
  bool InitSendDone() const { return initSendDone; }
  bool SkipChangeSend() const { return skipChangeSend; }
  bool ReleaseRequested() const { return releaseRequested; }
  bool ReleasePhase() const { return releasePhase; }
  // Audio thread only: the held-note table has no lock.
  int32_t HeldNoteCount() const { return heldNotes.Count(); }
  // The countdown as the panel shows it.
  bool TimerRunning() const { return timerRunning; }
  int32_t TimerMode() const { return timerMode; }
  int32_t Countdown() const { return countdown; }

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
  // What started a send, for the options whose switching off cancels it.
  enum class SendCause : int32_t
  {
    Other = 0,
    Init = 1,
    Change = 2,
    Play = 3
  };
  void setExtendedParameter(int32_t index, float value);
  float getExtendedParameter(int32_t index);
  // A send from any thread (see sendCCData). `cause` says which option
  // started it, so that switching that option off cancels it.
  void sendMessages(SendCause cause) noexcept;
  // Stops what remains of a paced send when `cause` started it. Any thread.
  void cancelPacedSend(SendCause cause) noexcept;
  bool pacing() const noexcept;

  // Audio thread. Takes up a send asked for, cancels one that a newer send
  // or its option ended, and puts the messages that fall in this block into
  // the output at their frames.
  void runPacing(int32_t frames) noexcept;
  void startPaced(SendCause cause, uint32_t serial) noexcept;
  void endPaced() noexcept;
  // Inserts a message at `deltaFrames` after the events at or before it.
  void insertAt(const strips::MessageBytes& bytes, int32_t deltaFrames) noexcept;
  // Audio thread: asks the host for its transport when send on play is on,
  // and sends when it has started playing.
  void pollTransport() noexcept;
  // Audio thread: hands an incoming Control Change or Program Change to the
  // learning thread.
  void learnFromInput(const uint8_t* midiData) noexcept;
  // The learning thread's routine.
  void learnLoop();
  // flushHeld: learn the controllers the recogniser holds as they are.
  void applyLearned(bool flushHeld);
  void tellLearned(const strips::LearnPlace& place);
  // A message of program `program` changed by other means than learning
  // (a dial, automation): it is no longer a learned one.
  void forgetLearned(int32_t program, int32_t strip, int32_t message) noexcept;
  void forgetLearned(int32_t program) noexcept;

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
  void startTimerLocked(bool start);
  void cancelCountdownLocked();
  void runCountdown(uint32_t generation);
  void countdownLoop();
  // Sleeps one second of the countdown; false when it was cancelled or the
  // plug-in is going away.
  bool sleepOneSecond(uint32_t generation);

  void applySwitch(uint8_t VSTPluginProgram::*option, int32_t index, float value);
  void applyDelay(int32_t VSTPluginProgram::*delay, int32_t index, float value);
  bool optionOn(int32_t index);

  void midiInProcess(int32_t frames) noexcept;
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

  // The countdown. `timerThread` is started with the plug-in and sleeps on a
  // semaphore until a countdown is requested; the destructor stops and joins
  // it, so no code of it runs once the plug-in is gone. `timerGeneration`
  // counts starts and cancels: a countdown only acts while the generation it
  // was started with is current, so a cancel issued right after a start (even
  // before the thread has woken) takes effect. `pendingStart` holds the
  // generation of a start the thread has not taken up yet (0: none).
  vexo::threading::SMutexID timerLock;
  // A selection an incoming Program Change asked for while `timerLock` was
  // busy (-1: none). Written by the audio thread, taken (exchanged for -1)
  // by whichever thread holds the lock next.
  std::atomic<int32_t> deferredProgram{-1};
  vexo::threading::SWorkerThread timerThread;
  std::atomic<uint32_t> timerGeneration{0};
  std::atomic<uint32_t> pendingStart{0};
  std::atomic<int32_t> startDelay{0}; // the pending start's length, seconds
  std::atomic<bool> timerRunning{false};
  std::atomic<int32_t> delaySeconds{0};
  std::atomic<int32_t> countdown{0};
  std::atomic<int32_t> timerMode{0};

  // Strip lock (see StripLock) and the session states of learning: `learnOn`
  // is the switch (never stored), `learnFull` is set when a new message was
  // refused for want of room.
  std::recursive_mutex stripLock;
  std::atomic<bool> learnOn{false};
  std::atomic<bool> learnFull{false};
  // The slots of each program that learning wrote in this session
  // (strips::SlotSet): what the learning rule may move. Never stored: a
  // chunk load forgets them (a loaded message counts as entered by hand),
  // and so do a paste and every hand edit of a slot's format, channel,
  // number or kind (setParameter, any thread, with an atomic and). The
  // learning thread adds and drops slots under the strip lock.
  std::atomic<uint32_t> learnedSlots[kBankPrograms] = {};
  // The last message heard by learning, packed (kind, format, channel,
  // options, number, value; 0: none), written by the learning thread, reset when Learn is
  // switched on, read by the panel.
  std::atomic<uint64_t> lastHeard{0};
  // Makes one learned message of several controllers (NRPN, RPN, 14-bit
  // CC). The learning thread's alone.
  strips::LearnRecogniser recogniser;
  // A paced send is in progress (notice 237).
  std::atomic<bool> pacedActive{false};
  // Learned messages, audio thread to learning thread.
  LearnQueue learned;
  // Set by the audio thread when notice 237 is due; the learning thread
  // sends it.
  std::atomic<bool> pacedNoticeDue{false};
  vexo::threading::SWorkerThread learnThread;
  // The learning thread is asleep on its semaphore (or about to be): the
  // audio thread posts it only then, and clears the flag as it does.
  std::atomic<bool> learnSleeping{false};

  // Paced sending. `sendSerial` counts sends (any thread adds one for every
  // send, paced or not, which cancels a paced send in progress);
  // `pendingRequest` holds the serial (shifted by two) and the cause of a
  // paced send not yet taken up by the audio thread (0: none); `cancels`
  // counts the switching off of each option that starts sends.
  static constexpr uint32_t kSerialMask = 0x3FFFFFFF;
  std::atomic<uint32_t> sendSerial{0};
  std::atomic<uint32_t> pendingRequest{0};
  std::atomic<uint32_t> cancels[4] = {};
  // The send in progress: the audio thread's alone.
  struct PacedSend
  {
    static constexpr int32_t kMaxMessages = 2 * kStripsPerProgram;
    strips::MessageBytes bytes[kMaxMessages];
    int32_t gaps[kMaxMessages]; // samples from each message to the next
    int32_t count = 0;
    int32_t next = 0;
    int64_t wait = 0; // samples from this block's start to the next message
    uint32_t serial = 0;
    uint32_t cancelMark = 0;
    SendCause cause = SendCause::Other;
    bool active = false;
  } paced;
  // The transport as last answered (audio thread).
  bool transportPlaying = false;
  // The extended chunk handed to the host by getChunk (host thread; valid
  // until the next getChunk).
  std::vector<uint8_t> chunkBuffer;

  // The block's output, collected by midiInProcess and handed to the host
  // once by midiPostProcess: outEventStore holds the events, outEvents
  // points at them (the pointers never change), outCount counts them. This
  // is the output queue of a block; as it is emptied at the end of every
  // block it needs no ring. The rings empty themselves straight into it.
  // Audio thread only.
  VstEventBlock<MidiEventQueue::kCapacity> outEvents{};
  alignas(64) VstMidiEvent outEventStore[MidiEventQueue::kCapacity];
  int32_t outCount = 0;
  // Host events, written by processEvents on the host's thread.
  MidiEventQueue inputQueue;
  // Stored messages and note-offs, written by any thread.
  MidiEventQueue generatedQueue;
};
