// SHostCallQueue: host callbacks that a host may answer by touching its GUI
// (a new editor size, the automation of a parameter the user changed), asked
// for on any thread and made on the host's GUI thread only. The editor's
// event handlers run on the toolkit's connection pump and its refreshes on
// the idle thread; a host that resizes a widget in its answer to sizeWindow
// must not be called from there. The editor takes what is queued and makes
// the calls inside the host's own editor calls (open, idle, close).
//
// Threads: Request and Automate from any thread; Take on the host's GUI
// thread. A short lock of its own, never held while the host is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

class SHostCallQueue
{
public:
  // Automations kept while the host does not take them; the oldest goes
  // when one more arrives.
  static constexpr size_t kCapacity = 1024;

  struct Calls
  {
    bool resize = false;
    int width = 0;
    int height = 0;
    // The editor resizes the host's window itself when the host cannot.
    bool resizeWindow = true;
    // Index and value, in the order they were asked for.
    std::deque<std::pair<int32_t, float>> automations;
  };

  // Asks for a new editor size; only the latest size asked for is made.
  void RequestSize(int width, int height, bool resizeWindow = true);
  void Automate(int32_t index, float value);
  // Everything queued so far; the queue is empty afterwards.
  Calls Take();
  // Drops what is queued.
  void Clear();
  bool Empty() const;

private:
  mutable std::mutex lock;
  Calls queued;
};
