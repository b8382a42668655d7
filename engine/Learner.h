// Learner: learning from the host's input and the learning thread, which
// writes what was learned into the current program by the model's rule
// (StripLearning.h), adds the SysEx messages heard to the current
// program's list (by the learn rule of model/SysEx.h) and carries three
// notices to the editor: 236 (what learning did, or that it found no
// room), 237 (a paced send began or ended) and 335 (the SysEx list
// changed).
//
// Threads:
// - the audio thread hands incoming messages over (Hear), marks notice 237
//   due (PacedNoticeDue, and 340 by VerifyNoticeDue) and wakes the learning thread (WakeIfDue): it
//   only pushes to the LearnQueue, copies SysEx into the SysExInbox, sets flags and, while learning
//   is off, posts the thread's semaphore;
// - the learning thread (`thread`) pops the queue and applies it under the
//   strip lock, then tells the editor after letting the lock go. It pops
//   the SysEx messages into a buffer of its own (allocated once) and, under
//   the strip lock too, builds the program's new set from the published one
//   and publishes it (an editor of the list that does the same under that
//   lock loses no change to learning between its read and its publish). While
//   learning is on it looks every kPollMs by itself, so that the audio
//   thread, which hears in nearly every block then, never has to post (a
//   post that wakes a thread costs the audio thread a system call and,
//   often, its processor for a moment);
// - any thread switches learning on or off (SetOn), forgets learned slots
//   (a hand edit, a chunk load, a paste) and reads the states.
#pragma once

#include "engine/LearnQueue.h"
#include "engine/SysExInbox.h"
#include "engine/SysExStore.h"
#include "model/StripLearning.h"
#include "model/StripMessages.h"
#include "model/VSTPluginProgramBank.h"
#include "support/threading/SWorkerThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class Learner
{
public:
  // What learning needs of the plug-in that owns it.
  class Owner
  {
  public:
    // The program learning writes into (the current one).
    virtual int32_t LearnerProgram() = 0;
    // Tells an open editor that parameter `index` changed. Learning thread.
    virtual void LearnerNotice(int32_t index) = 0;
    // Makes `set` program `program`'s SysEx list. Learning thread.
    virtual void LearnerPublishSysEx(int32_t program, std::unique_ptr<const SysExSet> set) = 0;

  protected:
    ~Owner() = default;
  };

  // `sysex_` is only read once the thread runs (it may be constructed
  // after this object).
  Learner(VSTPluginProgramBank& bank_, std::recursive_mutex& stripLock_, SysExStore& sysex_,
          Owner& owner_)
      : bank(bank_), stripLock(stripLock_), sysex(sysex_), owner(owner_),
        sysexBuffer(new uint8_t[SysExInbox::kLargestMessage])
  {
  }
  Learner(const Learner&) = delete;
  Learner& operator=(const Learner&) = delete;

  // Starts the thread (it sleeps until the audio thread wakes it) / stops
  // and joins it.
  void StartThread();
  void StopThread();

  // The switch (never stored). SetOn returns false when it was already so;
  // switching on forgets what was last heard, switching off clears "full"
  // and tells the editor.
  bool On() const { return learnOn; }
  bool SetOn(bool on);
  // A new message was refused for want of room since it was switched on.
  bool Full() const { return learnFull; }
  // A SysEx message was refused since it was switched on: the list would
  // have grown over its limit (cleared when one is added again).
  bool SysExFull() const { return sysexFull; }
  // The last message heard since Learn was switched on (channel 0: none
  // yet), for the drawer's notice. Any thread.
  strips::Message LastHeard() const;
  // The last SysEx message heard since Learn was switched on, when nothing
  // else was heard after it (size 0 otherwise). Any thread.
  HeardSysEx LastHeardSysEx() const;

  // A message of program `program` changed by other means than learning
  // (a dial, automation, a load): it is no longer a learned one. Any thread.
  void Forget(int32_t program, int32_t strip, int32_t message) noexcept
  {
    learnedSlots[program].fetch_and(~strips::SlotBit(strip, message));
  }
  void Forget(int32_t program) noexcept { learnedSlots[program].store(0); }

  // Audio thread. Learning is on (a relaxed read, once per block).
  bool OnForAudio() const noexcept { return learnOn.load(std::memory_order_relaxed); }
  // Audio thread: hands an incoming message over (one of a status that
  // learning takes, strips::LearnsStatus).
  void Hear(const uint8_t* midiData) noexcept
  {
    LearnedMessage message;
    if (strips::FromMidi(midiData[0], midiData[1], midiData[2], message))
      learned.Push(message);
  }
  // Audio thread (processEvents, while learning is on): hands an incoming
  // SysEx message over, copied whole into the inbox. An empty one, one
  // over 64 KiB or one the inbox has no room for is dropped. Never waits:
  // the learning thread looks by itself while learning is on.
  void HearSysEx(const uint8_t* bytes, int32_t size) noexcept
  {
    if (bytes && size > 0 && size <= kMaxSysExBytes)
      heardSysEx.Push(bytes, static_cast<uint32_t>(size));
  }
  // Audio thread: notice 237 is due (a paced send began or ended).
  void PacedNoticeDue() noexcept { pacedNoticeDue.store(true, std::memory_order_relaxed); }
  // Audio thread: notice 340 is due (a verify result came).
  void VerifyNoticeDue() noexcept { verifyNoticeDue.store(true, std::memory_order_relaxed); }
  // Audio thread, once per block: wakes the learning thread when it has
  // something to do and has gone to sleep on its semaphore for good (while
  // learning is on it looks by itself).
  void WakeIfDue(bool heard) noexcept
  {
    if (learnOn.load(std::memory_order_relaxed))
      return;
    // Both sides change the flag with a read-modify-write, so whichever
    // comes second sees what the first one did before it.
    if ((heard || pacedNoticeDue.load(std::memory_order_relaxed) ||
         verifyNoticeDue.load(std::memory_order_relaxed)) &&
        sleeping.exchange(false))
      thread.Wake();
  }

  // How often the learning thread looks while learning is on.
  static constexpr int kPollMs = 2;

private:
  // The learning thread's routine.
  void loop();
  // flushHeld: learn the controllers the recogniser holds as they are.
  void apply(bool flushHeld);
  void applySysEx();
  void tell(const strips::LearnPlace& place);

  VSTPluginProgramBank& bank;
  // The plug-in's strip lock (see VSTPlugin::StripLock).
  std::recursive_mutex& stripLock;
  // The programs' SysEx sets: learning reads the current one to build the
  // next.
  SysExStore& sysex;
  Owner& owner;

  // The session states: `learnOn` is the switch, `learnFull` is set when a
  // new message was refused for want of room. The switch, which the audio
  // thread reads in every block, has a cache line of its own: what follows
  // is written by the learning thread at every message it learns.
  alignas(64) std::atomic<bool> learnOn{false};
  alignas(64) std::atomic<bool> learnFull{false};
  // Set by the learning thread when a SysEx message was refused ("Full");
  // cleared when one is added or learning is switched off.
  std::atomic<bool> sysexFull{false};
  // The slots of each program that learning wrote in this session
  // (strips::SlotSet): what the learning rule may move. Never stored: a
  // chunk load forgets them (a loaded message counts as entered by hand),
  // and so do a paste and every hand edit of a slot's format, channel,
  // number or kind (Forget, any thread, with an atomic and). The learning
  // thread adds and drops slots under the strip lock.
  std::atomic<uint32_t> learnedSlots[kBankPrograms] = {};
  // The last message heard, packed (kind, format, channel, options, number,
  // value; 0: none), written by the learning thread, reset when Learn is
  // switched on, read by the panel.
  std::atomic<uint64_t> lastHeard{0};
  // The last SysEx message heard, packed (its size, then its first four
  // bytes; 0: none, or another message came after it), written by the
  // learning thread beside `lastHeard` (each clears the other), read by the
  // panel.
  std::atomic<uint64_t> lastHeardSysEx{0};
  // Makes one learned message of several controllers (NRPN, RPN, 14-bit
  // CC). The learning thread's alone.
  strips::LearnRecogniser recogniser;
  // Learned messages, audio thread to learning thread.
  LearnQueue learned;
  // SysEx messages heard, audio thread to learning thread (see SysExInbox.h),
  // and the learning thread's buffer it pops them into.
  SysExInbox heardSysEx;
  std::unique_ptr<uint8_t[]> sysexBuffer;
  // Set by the audio thread when notice 237 is due; the learning thread
  // sends it.
  std::atomic<bool> pacedNoticeDue{false};
  // The same for notice 340.
  std::atomic<bool> verifyNoticeDue{false};
  vexo::threading::SWorkerThread thread;
  // The learning thread is asleep on its semaphore (or about to be): the
  // audio thread posts it only then, and clears the flag as it does.
  std::atomic<bool> sleeping{false};
};
