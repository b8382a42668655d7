// The fuzz targets' main where libFuzzer is not at hand (g++ builds): runs
// the target once on every file named on the command line, or on every file
// inside a named folder, in name order, and says how many it ran. A fault
// ends the process as it would under the fuzzer; the file being run is
// printed first, so that the reproducer is known.
//
//   fuzz_chunks tests/fuzz/corpus/chunks [more folders or files]
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool RunFile(const std::filesystem::path& file)
{
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)),
                             std::istreambuf_iterator<char>());
  std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
  std::fflush(stderr);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

} // namespace

int main(int argc, char** argv)
{
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (path.string().rfind("-", 0) == 0)
      continue; // a fuzzer option; there is nothing to tune when replaying
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      std::vector<std::filesystem::path> inside;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
        if (entry.is_regular_file())
          inside.push_back(entry.path());
      }
      std::sort(inside.begin(), inside.end());
      files.insert(files.end(), inside.begin(), inside.end());
    } else {
      files.push_back(path);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s CORPUS-FOLDER-OR-FILE...\n", argv[0]);
    return 2;
  }
  LLVMFuzzerInitialize(&argc, &argv);
  int ran = 0;
  for (const auto& file : files) {
    if (!RunFile(file))
      return 1;
    ++ran;
  }
  std::printf("replay: %d inputs ran without a fault\n", ran);
  return 0;
}
