// Waiting, in tests, for something another thread (or the X server) does:
// polls the predicate until it holds or the time is up, never longer.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

inline bool WaitFor(const std::function<bool()>& predicate, int ms = 5000)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (predicate())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return predicate();
}

} // namespace testsupport
