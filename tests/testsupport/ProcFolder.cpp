#include "tests/testsupport/ProcFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace testsupport {

ProcFolder::ProcFolder()
{
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-proc-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()))
    path = buffer.data();
}

ProcFolder::~ProcFolder()
{
  std::error_code ignored;
  if (!path.empty())
    std::filesystem::remove_all(path, ignored);
}

void ProcFolder::Write(const std::string& relative, const std::string& contents)
{
  const std::filesystem::path file = std::filesystem::path(path) / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

void ProcFolder::WriteKernel(const std::string& ostype, const std::string& release,
                             const std::string& version)
{
  Write("sys/kernel/ostype", ostype);
  Write("sys/kernel/osrelease", release);
  Write("sys/kernel/version", version);
}

std::string CpuInfo(const std::string& flags, size_t padding, int processor)
{
  std::string text = "processor\t: " + std::to_string(processor) +
                     "\n"
                     "vendor_id\t: GenuineIntel\n"
                     "cpu family\t: 6\n"
                     "model\t\t: 158\n"
                     "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\n"
                     "stepping\t: 10\n"
                     "cpu MHz\t\t: 3191.998\n"
                     "cache size\t: 12288 KB\n"
                     "physical id\t: 0\n"
                     "siblings\t: 12\n"
                     "core id\t\t: 0\n"
                     "cpu cores\t: 6\n";
  while (padding > 0) {
    // Lines that contain none of the words the reader looks for.
    std::string line = "bugs\t\t: xyz\n";
    if (line.size() > padding)
      line = std::string(padding - 1, '#') + "\n";
    text += line;
    padding -= line.size();
  }
  text += "flags\t\t: " + flags + "\n";
  text += "bogomips\t: 6383.99\n\n";
  return text;
}

} // namespace testsupport
