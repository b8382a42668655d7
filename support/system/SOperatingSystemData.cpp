#include "support/system/SOperatingSystemData.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace vexo::system {

namespace {

// Reads up to kFileLimit bytes of path into buffer (kFileLimit + 1 bytes)
// and terminates them. Returns the number of bytes read, or -1 when the file
// did not open.
int ReadKernelFile(const std::string& path, char* buffer)
{
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    return -1;
  // Files under /proc may deliver their contents in several short reads.
  size_t total = 0;
  while (total < static_cast<size_t>(SOperatingSystemData::kFileLimit)) {
    const size_t got =
        std::fread(buffer + total, 1, SOperatingSystemData::kFileLimit - total, file);
    if (got == 0)
      break;
    total += got;
  }
  std::fclose(file);
  buffer[total] = '\0';
  return static_cast<int>(total);
}

} // namespace

double LeadingDecimal(const char* text)
{
  if (!text)
    return 0.0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
    ++p;
  double value = 0.0;
  while (std::isdigit(*p)) {
    value = value * 10.0 + (*p - '0');
    ++p;
  }
  if (*p == '.') {
    ++p;
    double scale = 0.1;
    while (std::isdigit(*p)) {
      value += (*p - '0') * scale;
      scale /= 10.0;
      ++p;
    }
  }
  return value;
}

bool SOperatingSystemData::ReleaseQualifies(const char* release)
{
  // The comparison is made against the single-precision 2.4, which lies a
  // little above 2.4 itself: "2.4" read in double precision stays below it.
  const float required = 2.4f;
  return !(LeadingDecimal(release) < static_cast<double>(required));
}

void SOperatingSystemData::QueryFeatures(const char* folder)
{
  qualifies = true;
  valid = true;
  description[0] = '\0';

  const std::string base = folder ? folder : "/proc";
  const char* const names[] = {"/sys/kernel/ostype", "/sys/kernel/osrelease",
                               "/sys/kernel/version"};
  char buffer[kFileLimit + 1];
  size_t used = 0;
  for (int i = 0; i < 3; ++i) {
    const int read = ReadKernelFile(base + names[i], buffer);
    if (read < 1 || read >= kFileLimit)
      continue;
    // Text ends at the first terminator even if the file holds more bytes.
    const size_t length = std::strlen(buffer);
    const size_t room = kDescriptionLength - used;
    const size_t taken = length < room ? length : room;
    std::memcpy(description + used, buffer, taken);
    used += taken;
    description[used] = '\0';
    if (i == 1 && !ReleaseQualifies(buffer))
      qualifies = false;
  }
}

} // namespace vexo::system
