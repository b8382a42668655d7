#include "editor/SHostCallQueue.h"

void SHostCallQueue::RequestSize(int width, int height, bool resizeWindow)
{
  std::lock_guard<std::mutex> hold(lock);
  queued.resize = true;
  queued.width = width;
  queued.height = height;
  queued.resizeWindow = resizeWindow;
}

void SHostCallQueue::Automate(int32_t index, float value)
{
  std::lock_guard<std::mutex> hold(lock);
  if (queued.automations.size() >= kCapacity)
    queued.automations.pop_front();
  queued.automations.emplace_back(index, value);
}

SHostCallQueue::Calls SHostCallQueue::Take()
{
  std::lock_guard<std::mutex> hold(lock);
  Calls taken = std::move(queued);
  queued = Calls{};
  return taken;
}

void SHostCallQueue::Clear()
{
  std::lock_guard<std::mutex> hold(lock);
  queued = Calls{};
}

bool SHostCallQueue::Empty() const
{
  std::lock_guard<std::mutex> hold(lock);
  return !queued.resize && queued.automations.empty();
}
