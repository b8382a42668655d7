#include "engine/Countdown.h"

#include "model/Parameters.h"

#include <chrono>

void Countdown::StartThread()
{
  thread.Start([this] { Loop(); });
}

void Countdown::StopThread()
{
  // A countdown in progress is abandoned without a send; once the thread is
  // joined nothing of it touches the owner any more.
  timerGeneration.fetch_add(1);
  thread.Stop();
}

void Countdown::StartLocked(bool start)
{
  CancelLocked();
  if (!start)
    return;
  const uint32_t generation = timerGeneration.fetch_add(1) + 1;
  // The countdown's length is fixed now: a later selection that sends at
  // once must not shorten a countdown whose thread has not woken yet.
  startDelay = delaySeconds.load();
  pendingStart = generation;
  thread.Wake();
}

void Countdown::CancelLocked()
{
  // A new generation voids both a start not yet taken up and a countdown in
  // progress, which then ends without sending.
  timerGeneration.fetch_add(1);
  pendingStart = 0;
  if (timerRunning) {
    owner.CountdownNotice(param::kCountdownEnd);
    timerRunning = false;
    owner.CountdownNotice(param::kCountdownState);
  }
}

void Countdown::Loop()
{
  for (;;) {
    // Look before sleeping: the wake-up of a start may already have been
    // used up by the countdown it replaced.
    const uint32_t generation = pendingStart.exchange(0);
    if (generation != 0 && generation == timerGeneration.load()) {
      run(generation);
      continue;
    }
    if (!thread.SleepFor(-1))
      return;
  }
}

bool Countdown::sleepOneSecond(uint32_t generation)
{
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(1);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return generation == timerGeneration.load();
    // A wake-up means a start or a cancel somewhere: look, then sleep on.
    if (!thread.SleepFor(static_cast<int>(left)))
      return false;
    if (generation != timerGeneration.load())
      return false;
  }
}

void Countdown::run(uint32_t generation)
{
  {
    Hold hold(owner);
    if (generation != timerGeneration.load())
      return;
    countdown = startDelay + 1;
    timerRunning = true;
  }
  owner.CountdownNotice(param::kCountdownState);
  for (;;) {
    if (--countdown <= 0 || !timerRunning || generation != timerGeneration.load())
      break;
    owner.CountdownNotice(param::kCountdownTick);
    if (!sleepOneSecond(generation))
      return; // cancelled: the canceller has told the editor
  }
  {
    Hold hold(owner);
    if (generation != timerGeneration.load() || !timerRunning)
      return;
    timerRunning = false;
  }
  owner.CountdownDone(timerMode);
  owner.CountdownNotice(param::kCountdownEnd);
  owner.CountdownNotice(param::kCountdownState);
}
