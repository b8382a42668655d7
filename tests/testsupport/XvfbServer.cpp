#include "tests/testsupport/XvfbServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace testsupport {

namespace {

bool Exists(const std::string& path)
{
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

} // namespace

XvfbServer::XvfbServer(std::vector<std::string> arguments)
{
  bool hasScreen = false;
  for (const std::string& argument : arguments)
    hasScreen = hasScreen || argument == "-screen";
  if (!hasScreen)
    arguments.insert(arguments.end(), {"-screen", "0", "1280x1024x24"});

  // Display numbers from a range apart from the one scripts/test uses,
  // spread by process so that parallel test programs rarely meet.
  const int base = 500 + static_cast<int>(getpid() % 200) * 10;
  for (int attempt = 0; attempt < 40 && pid < 0; ++attempt) {
    const int number = base + attempt;
    if (Exists("/tmp/.X" + std::to_string(number) + "-lock") ||
        Exists("/tmp/.X11-unix/X" + std::to_string(number)))
      continue;
    const std::string display = ":" + std::to_string(number);
    std::vector<std::string> command = {"/usr/bin/Xvfb", display, "-nolisten", "tcp"};
    command.insert(command.end(), arguments.begin(), arguments.end());

    const pid_t child = fork();
    if (child == 0) {
      const int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
      dup2(devnull, 2);
      std::vector<char*> argv;
      for (std::string& part : command)
        argv.push_back(part.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    // Ready when its socket appears; gone when another server won the number.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool ready = false;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child)
        break;
      if (Exists("/tmp/.X11-unix/X" + std::to_string(number))) {
        ready = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ready) {
      // The socket exists shortly before the server accepts; give it a moment.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      pid = child;
      name = display;
    } else {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }
  if (pid < 0)
    error = "Xvfb could not be started (is it installed?)";
}

XvfbServer::~XvfbServer()
{
  if (pid > 0) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
}

ScopedDisplayVariable::ScopedDisplayVariable(const std::string& value)
{
  if (const char* current = std::getenv("DISPLAY")) {
    hadValue = true;
    previous = current;
  }
  if (value.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", value.c_str(), 1);
}

ScopedDisplayVariable::~ScopedDisplayVariable()
{
  if (hadValue)
    setenv("DISPLAY", previous.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

} // namespace testsupport
