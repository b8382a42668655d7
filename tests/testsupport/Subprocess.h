// Running a program of the build (through the i386 emulator when the build
// needs one) and collecting what it prints.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult
{
  int exitCode = -1; // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs program with arguments; `environment` entries are set (an empty value
// unsets the variable). Gives up after timeoutSeconds.
ProcessResult Run(const std::string& program, const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment = {},
                  int timeoutSeconds = 120);

// Runs quillet-host of this build.
ProcessResult RunHost(const std::vector<std::string>& arguments,
                      const std::map<std::string, std::string>& environment = {},
                      int timeoutSeconds = 120);

} // namespace testsupport
