#include "gui/SEvent.h"

#include <algorithm>
#include <ctime>

namespace vexo::gui {

SEvent::SEvent()
    : time(static_cast<int>(std::clock())), code(-1), kind(0), value(0), realValue(0.0f),
      sender(nullptr), lock(nullptr), data(nullptr)
{
}

void SEventHandler::Add(SControl* listener)
{
  std::lock_guard<std::mutex> hold(lock);
  if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
    listeners.push_back(listener);
}

void SEventHandler::Remove(SControl* listener)
{
  std::lock_guard<std::mutex> hold(lock);
  auto found = std::find(listeners.begin(), listeners.end(), listener);
  if (found != listeners.end())
    listeners.erase(found);
}

SControl* SEventHandler::At(size_t i) const
{
  std::lock_guard<std::mutex> hold(lock);
  return i < listeners.size() ? listeners[i] : nullptr;
}

size_t SEventHandler::Count() const
{
  std::lock_guard<std::mutex> hold(lock);
  return listeners.size();
}

SEventManager::SEventManager()
{
  for (int i = 0; i < kEventCodes; ++i)
    handlers[i].code = i;
}

SEventHandler* SEventManager::Handler(int code)
{
  return code >= 0 && code < kEventCodes ? &handlers[code] : nullptr;
}

const SEventHandler* SEventManager::Handler(int code) const
{
  return code >= 0 && code < kEventCodes ? &handlers[code] : nullptr;
}

} // namespace vexo::gui
