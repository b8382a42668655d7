// A bound on a test that could hang (two threads waiting for each other):
// when the scope is not left within the time, the watchdog says so and ends
// the test program, which then fails instead of waiting for ctest's timeout.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class Watchdog
{
public:
  Watchdog(std::string what_, int seconds) : what(std::move(what_))
  {
    guard = std::thread([this, seconds] {
      std::unique_lock<std::mutex> hold(lock);
      if (!left.wait_for(hold, std::chrono::seconds(seconds), [this] { return done; })) {
        // On both streams: a test may be capturing standard error.
        for (FILE* stream : {stdout, stderr}) {
          std::fprintf(stream, "watchdog: %s did not end within %d s (hang)\n", what.c_str(),
                       seconds);
          std::fflush(stream);
        }
        std::_Exit(3);
      }
    });
  }
  ~Watchdog()
  {
    {
      std::lock_guard<std::mutex> hold(lock);
      done = true;
    }
    left.notify_all();
    guard.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

private:
  std::string what;
  std::mutex lock;
  std::condition_variable left;
  bool done = false;
  std::thread guard;
};

} // namespace testsupport
