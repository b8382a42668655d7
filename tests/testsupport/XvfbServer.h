// A private Xvfb server for tests that need a display of their own (or a
// particular screen layout). The server is started on a free display number
// and stopped when the object goes away.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class XvfbServer
{
public:
  // Starts Xvfb with the given extra arguments (for example
  // {"-screen", "0", "1280x1024x24"} or {"+xinerama", ...}). When no
  // "-screen" argument is given, one 1280x1024x24 screen is used.
  explicit XvfbServer(std::vector<std::string> arguments = {});
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // False when the server could not be started (Error() says why).
  bool Running() const { return pid > 0; }
  const std::string& Error() const { return error; }
  // ":N", usable as DISPLAY.
  const std::string& Name() const { return name; }

private:
  pid_t pid = -1;
  std::string name;
  std::string error;
};

// Sets DISPLAY for the lifetime of the object and restores it afterwards
// (an empty value unsets it).
class ScopedDisplayVariable
{
public:
  explicit ScopedDisplayVariable(const std::string& value);
  ~ScopedDisplayVariable();

private:
  bool hadValue = false;
  std::string previous;
};

} // namespace testsupport
