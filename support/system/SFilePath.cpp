#include "support/system/SFilePath.h"

#include <cstring>

namespace vexo::file {

void SFilePath::GetDir(char* destination, const char* path, int /*limit*/)
{
  if (!destination || !path || !*path)
    return;
  const size_t length = std::strlen(path);
  const char last = path[length - 1];
  if (last == '/' || last == '\\') {
    std::memcpy(destination, path, length + 1);
    return;
  }
  const char* slash = std::strrchr(path, '/');
  const char* backslash = std::strrchr(path, '\\');
  const char* separator = slash > backslash ? slash : backslash;
  if (!separator) {
    destination[0] = '\0';
    return;
  }
  const char* name = separator + 1;
  const char* dot = std::strrchr(name, '.');
  const size_t stem = dot ? static_cast<size_t>(dot - name) : std::strlen(name);
  if (stem >= 128) {
    destination[0] = '\0';
    return;
  }
  const size_t keep = static_cast<size_t>(name - path);
  std::memcpy(destination, path, keep);
  destination[keep] = '\0';
}

} // namespace vexo::file
