#include "files/SyxFile.h"

#include "files/FileBytes.h"

namespace files {

bool ReadSyxFile(const std::string& path, std::unique_ptr<const SysExSet>& set, std::string& error)
{
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes, error))
    return false;
  SyxResult result = ParseSyx(bytes.data(), bytes.size());
  if (!result.Ok()) {
    error = path + ": " + result.reason;
    return false;
  }
  set = std::move(result.set);
  return true;
}

bool WriteSyxFile(const std::string& path, const SysExSet& set, std::string& error)
{
  return WriteFileBytes(path, WriteSyx(set), error);
}

} // namespace files
