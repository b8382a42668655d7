// SGlobals: the shared resources of one editor (or one message box): the id
// counter for windows, controls and timers, the plug-in's name and folder,
// the host's parent window, the current cursor, a lock and the generator that
// names windows.
//
// Threads: ids are drawn atomically from any thread (windows, controls and
// timers are created on different threads); the other members are used on
// the threads that create and draw windows, under `lock` where they race.
#pragma once

#include "support/data/datastring.h"
#include "support/math/SRandom.h"
#include "support/threading/SMutex.h"

#include <atomic>
#include <cstdint>

namespace vexo::gui {
class SCursor;
}

class SGlobals
{
public:
  SGlobals();
  ~SGlobals() = default;
  SGlobals(const SGlobals&) = delete;
  SGlobals& operator=(const SGlobals&) = delete;

  // A top-level window takes the counter's value and restarts it at 0.
  int32_t TopLevelId() { return idCounter.exchange(0); }
  // A child control (or a timer) takes the counter's value after an increment.
  int32_t NextId() { return idCounter.fetch_add(1) + 1; }

  std::atomic<int32_t> idCounter{0};
  unsigned long hostWindow = 0; // an X window id (XID)
  vexo::gui::SCursor* currentCursor = nullptr;
  vexo::threading::SMutexOS lock;
  vexo::math::random::generator::SRandomMarsaglia generator;
};
