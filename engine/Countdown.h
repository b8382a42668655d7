// Countdown: the delay before a timed send (send on init, send on change),
// counted down in whole seconds on a thread of its own, with the notices
// 139 to 141 that let the editor show it.
//
// Threads:
// - the plug-in's threads but the audio thread (setProgram, suspend, the
//   options, a paste) arm, start and cancel it, always holding the owner's
//   timer lock (StartLocked, CancelLocked);
// - the countdown thread (`thread`) runs Loop: it sleeps on its semaphore
//   until a start is pending, counts, and at the end asks the owner to send;
//   it takes the timer lock (through the owner) only around the stores that
//   begin and end a countdown, never across a sleep;
// - any thread reads Running, Mode and Seconds (the panel shows them).
// The audio thread never touches it.
#pragma once

#include "support/threading/SWorkerThread.h"

#include <atomic>
#include <cstdint>

class Countdown
{
public:
  // What the countdown needs of the plug-in that owns it.
  class Owner
  {
  public:
    // Tells the editor about parameter `index` (139 to 141). Called on the
    // thread that starts, cancels or runs a countdown, without the lock.
    virtual void CountdownNotice(int32_t index) = 0;
    // The owner's timer lock, which serialises selections with the
    // countdown's start and end.
    virtual void LockTimer() = 0;
    virtual void UnlockTimer() = 0;
    // A countdown of `mode` (0 init, 1 change) ran out: send if its option
    // is still on. Countdown thread, without the lock.
    virtual void CountdownDone(int32_t mode) = 0;

  protected:
    ~Owner() = default;
  };

  explicit Countdown(Owner& owner_) : owner(owner_) {}
  Countdown(const Countdown&) = delete;
  Countdown& operator=(const Countdown&) = delete;

  // Starts the thread; it sleeps until the first start.
  void StartThread();
  // Abandons any countdown (without a send) and joins the thread; nothing
  // of it runs afterwards.
  void StopThread();

  // With the timer lock held. The kind and length the next start uses.
  void SetMode(int32_t mode) { timerMode = mode; }
  void SetDelay(int32_t seconds) { delaySeconds = seconds; }
  // With the timer lock held. Stops a running countdown (telling the
  // editor) and, with true, schedules a new one of the set mode and delay.
  void StartLocked(bool start);
  void CancelLocked();

  // Runs the countdown thread's routine on the calling thread.
  void Loop();

  bool Running() const { return timerRunning; }
  int32_t Mode() const { return timerMode; }
  int32_t Seconds() const { return countdown; }

private:
  // Holds the owner's timer lock for a scope.
  struct Hold
  {
    explicit Hold(Owner& owner_) : owner(owner_) { owner.LockTimer(); }
    ~Hold() { owner.UnlockTimer(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    Owner& owner;
  };
  void run(uint32_t generation);
  // Sleeps one second of the countdown; false when it was cancelled or the
  // plug-in is going away.
  bool sleepOneSecond(uint32_t generation);

  Owner& owner;
  // `thread` is started with the plug-in and sleeps on a semaphore until a
  // countdown is requested; StopThread joins it. `timerGeneration` counts
  // starts and cancels: a countdown only acts while the generation it was
  // started with is current, so a cancel issued right after a start (even
  // before the thread has woken) takes effect. `pendingStart` holds the
  // generation of a start the thread has not taken up yet (0: none).
  vexo::threading::SWorkerThread thread;
  std::atomic<uint32_t> timerGeneration{0};
  std::atomic<uint32_t> pendingStart{0};
  std::atomic<int32_t> startDelay{0}; // the pending start's length, seconds
  std::atomic<bool> timerRunning{false};
  std::atomic<int32_t> delaySeconds{0};
  std::atomic<int32_t> countdown{0};
  std::atomic<int32_t> timerMode{0};
};
