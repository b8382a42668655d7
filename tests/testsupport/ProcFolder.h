// A folder laid out like the parts of /proc that the system information
// reads (cpuinfo, sys/kernel/ostype, osrelease, version), filled by a test
// and removed with the object.
#pragma once

#include <string>

namespace testsupport {

class ProcFolder
{
public:
  ProcFolder();
  ~ProcFolder();
  ProcFolder(const ProcFolder&) = delete;
  ProcFolder& operator=(const ProcFolder&) = delete;

  // Writes contents (any bytes) to the file at relative, making its folders.
  void Write(const std::string& relative, const std::string& contents);
  // The three kernel files at once.
  void WriteKernel(const std::string& ostype, const std::string& release,
                   const std::string& version);

  const char* Path() const { return path.c_str(); }

private:
  std::string path;
};

// A processor information text in the kernel's layout for one processor
// with the given number and flags; `padding` extra bytes of harmless lines
// come before the flags line.
std::string CpuInfo(const std::string& flags, size_t padding = 0, int processor = 0);

} // namespace testsupport
