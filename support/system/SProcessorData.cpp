#include "support/system/SProcessorData.h"

#include "support/system/SOperatingSystemData.h"

#include <unistd.h>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vexo::system {

namespace {

bool IsBlank(char c)
{
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads "<label> : <integer>" at text the way the pattern "label : %i" does
// (any blanks around the colon; decimal, 0x hexadecimal or 0 octal, with a
// sign), clamped to 32 bits. False when the text does not match.
bool ScanLabelledInteger(const char* text, const char* label, int32_t& value)
{
  const size_t labelLength = std::strlen(label);
  if (std::strncmp(text, label, labelLength) != 0)
    return false;
  const char* p = text + labelLength;
  while (IsBlank(*p))
    ++p;
  if (*p != ':')
    return false;
  ++p;
  char* end = nullptr;
  const long long read = std::strtoll(p, &end, 0);
  if (end == p)
    return false;
  value = static_cast<int32_t>(read < INT32_MIN ? INT32_MIN : read > INT32_MAX ? INT32_MAX : read);
  return true;
}

// Copies the text from start to the end of its line (or of the text) into
// destination, at most SProcessorData::kNameLength characters.
void CopyLine(char* destination, const char* start)
{
  size_t length = 0;
  while (start[length] != '\0' && start[length] != '\n' &&
         length < static_cast<size_t>(SProcessorData::kNameLength))
    ++length;
  std::memcpy(destination, start, length);
  destination[length] = '\0';
}

// Reads one word after "vendor_id :" as the pattern "vendor_id : %s" does.
void ScanVendor(const char* text, char* vendor)
{
  const char* p = text + std::strlen("vendor_id");
  while (IsBlank(*p))
    ++p;
  if (*p != ':')
    return;
  ++p;
  while (IsBlank(*p))
    ++p;
  size_t length = 0;
  while (p[length] != '\0' && !IsBlank(p[length]) &&
         length < static_cast<size_t>(SProcessorData::kNameLength))
    ++length;
  std::memcpy(vendor, p, length);
  vendor[length] = '\0';
}

} // namespace

int32_t SProcessorData::SystemProcessorCount()
{
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  if (online < 0)
    online = 0;
  int32_t result = static_cast<int32_t>(online > INT32_MAX ? INT32_MAX : online);
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    const unsigned family = (eax >> 8) & 0xF;
    const bool hyperThreading = (edx >> 28) & 1;
    const int32_t logical = static_cast<int32_t>((ebx >> 16) & 0xFF);
    if (family == 15 && hyperThreading && logical > 1)
      result = logical;
  }
#endif
  return result;
}

void SProcessorData::QueryRegistry(const char* folder)
{
  count = 0;
  MHz = 0;
  reserved = 0;
  features = 0;
  vendor[0] = '\0';
  modelName[0] = '\0';

  const std::string path = std::string(folder ? folder : "/proc") + "/cpuinfo";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    std::fputs("Error: Reading /proc/cpuinfo failed (not found).", stderr);
    return;
  }
  char text[kExamined + 1];
  size_t total = 0;
  while (total < static_cast<size_t>(kExamined)) {
    const size_t got = std::fread(text + total, 1, kExamined - total, file);
    if (got == 0)
      break;
    total += got;
  }
  std::fclose(file);
  text[total] = '\0';
  if (total == 0) {
    std::fputs("Error: Reading /proc/cpuinfo failed (no data).", stderr);
    return;
  }
  // Everything below searches the terminated text, so a stray terminator in
  // the file simply ends what is examined.

  if (const char* at = std::strstr(text, "vendor_id"))
    ScanVendor(at, vendor);

  if (const char* at = std::strstr(text, "model name")) {
    if (const char* colon = std::strchr(at, ':')) {
      // The name starts two characters after the colon (past its blank);
      // a line that ends at the colon gives no name.
      const char* start = colon + 1;
      if (*start != '\0' && *start != '\n')
        ++start;
      CopyLine(modelName, start);
    }
  }

  if (const char* at = std::strstr(text, "cpu MHz")) {
    if (const char* colon = std::strstr(at, ": ")) {
      // A line break ends the number by itself.
      const float mhz = static_cast<float>(LeadingDecimal(colon + 2));
      const float rounded = std::round(mhz);
      MHz = rounded >= static_cast<float>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(rounded);
    }
  }

  // Plain substring tests in this order: any flag containing "sse" (such as
  // "sse2") also sets the SSE bit.
  if (std::strstr(text, "mmx"))
    features |= kMMX;
  if (std::strstr(text, "3dnow"))
    features |= k3DNow;
  if (std::strstr(text, "sse"))
    features |= kSSE;
  if (std::strstr(text, "sse2"))
    features |= kSSE2;

  const char* processor = std::strstr(text, "processor");
  if (!processor)
    return;
  int32_t number = 0;
  if (ScanLabelledInteger(processor, "processor", number) && number > 0) {
    count = number;
    return;
  }
  if (const char* cores = std::strstr(text, "cpu cores")) {
    int32_t read = 0;
    if (ScanLabelledInteger(cores, "cpu cores", read))
      count = read;
    return;
  }
  count = SystemProcessorCount();
}

} // namespace vexo::system
