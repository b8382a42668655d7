#include "tests/testsupport/Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace testsupport {

ProcessResult Run(const std::string& program, const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment, int timeoutSeconds)
{
  ProcessResult result;
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
    return result;

  std::vector<std::string> command;
  const std::string emulator = QUILLET_EMULATOR;
  if (!emulator.empty() && program.rfind("/usr/", 0) != 0)
    command.push_back(emulator);
  command.push_back(program);
  command.insert(command.end(), arguments.begin(), arguments.end());

  const pid_t child = fork();
  if (child == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    for (const auto& [name, value] : environment) {
      if (value.empty())
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv;
    for (std::string& part : command)
      argv.push_back(part.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      kill(child, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left)) <= 0)
      continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
        continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0)
      close(fd.fd);
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ProcessResult RunHost(const std::vector<std::string>& arguments,
                      const std::map<std::string, std::string>& environment, int timeoutSeconds)
{
  return Run(QUILLET_HOST_PATH, arguments, environment, timeoutSeconds);
}

} // namespace testsupport
