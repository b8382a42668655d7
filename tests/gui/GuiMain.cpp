// The GUI tests run against an X server of their own: the toolkit's display
// connection is opened when the program is loaded, and tests that run in
// parallel on one server would share the pointer, the keyboard focus, pointer
// grabs and the screen (a window of another test covering one whose pixels
// are read). So the program starts a private Xvfb and runs itself again with
// DISPLAY naming it; the server outlives everything the child does, static
// destruction included.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/testsupport/XvfbServer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kMarker = "QUILLET_GUI_TEST_SERVER";

// The server's screens: one 1280x1024 screen, unless the test program asks
// for a layout of its own (QUILLET_GUI_SERVER: Xvfb arguments separated by
// spaces).
std::vector<std::string> ServerArguments()
{
  std::vector<std::string> arguments;
#ifdef QUILLET_GUI_SERVER
  std::istringstream words(QUILLET_GUI_SERVER);
  for (std::string word; words >> word;)
    arguments.push_back(word);
#endif
  return arguments;
}

bool OnlyListing(int argc, char** argv)
{
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "--gtest_list_tests"))
      return true;
  return false;
}

// Runs this program again with DISPLAY set; returns its exit status, or -1
// when it could not be run.
int RunOnPrivateServer(int argc, char** argv)
{
  testsupport::XvfbServer server(ServerArguments());
  if (!server.Running())
    return -1;
  char self[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0)
    return -1;
  const pid_t child = fork();
  if (child == 0) {
    setenv("DISPLAY", server.Name().c_str(), 1);
    setenv(kMarker, "1", 1);
    std::vector<char*> arguments;
    const std::string emulator = QUILLET_EMULATOR;
    if (!emulator.empty())
      arguments.push_back(const_cast<char*>(emulator.c_str()));
    arguments.push_back(self);
    for (int i = 1; i < argc; ++i)
      arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execv(arguments[0], arguments.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv)
{
  if (!std::getenv(kMarker) && !OnlyListing(argc, argv)) {
    const int status = RunOnPrivateServer(argc, argv);
    if (status >= 0)
      return status;
    // No private server: run on the display we were given.
  }
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
