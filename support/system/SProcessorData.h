// vexo::system::SProcessorData: the processor's vendor, model, clock, count
// and instruction-set extensions, read from the processor information under
// /proc (its first 2048 bytes only, which describe the first processor).
//
// Threads: queried once while the library loads (static initialisation) and
// only read afterwards, from any thread, without a lock.
#pragma once

#include <cstdint>

namespace vexo::system {

class SProcessorData
{
public:
  // Bits of `features`.
  static constexpr uint32_t kMMX = 1u << 0;
  static constexpr uint32_t kSSE = 1u << 1;
  static constexpr uint32_t kSSE2 = 1u << 2;
  static constexpr uint32_t k3DNow = 1u << 3;

  // Only this much of the processor information is examined.
  static constexpr int kExamined = 2048;
  // Longest vendor and model name kept, in characters.
  static constexpr int kNameLength = 255;

  // Reads <folder>/cpuinfo. When it cannot be opened or holds nothing, one
  // error (without a line break) goes to the standard error stream and all
  // fields stay 0. The plug-in reads "/proc"; tests hand in folders of
  // their own.
  void QueryRegistry(const char* folder = "/proc");

  // The number of processors the system has online, or the logical count
  // that a hyper-threading processor of family 15 reports when larger than
  // one. Used when the processor information gives no count.
  static int32_t SystemProcessorCount();

  int32_t count = 0;
  int32_t MHz = 0;
  int32_t reserved = 0;
  uint32_t features = 0;
  char vendor[kNameLength + 1] = {};
  char modelName[kNameLength + 1] = {};
};

} // namespace vexo::system
