// vexo::system::SSystemData: what the plug-in knows about the machine (the
// kernel, the processor and the monitor layout) and whether the machine
// meets the plug-in's requirements. The library holds one instance, `sd`,
// filled while the library loads; the entry point asks it whether to load.
//
// Threads: filled once on the loading thread (static initialisation) and
// only read afterwards, from any of the host's threads, without a lock.
// Tests refill it from prepared folders on their own thread.
#pragma once

#include "support/data/datastring.h"
#include "support/system/SMonitorLayout.h"
#include "support/system/SOperatingSystemData.h"
#include "support/system/SProcessorData.h"

#include <cstdint>
#include <memory>

namespace vexo::system {

class SSystemData
{
public:
  SSystemData();
  ~SSystemData();
  SSystemData(const SSystemData&) = delete;
  SSystemData& operator=(const SSystemData&) = delete;

  // Queries the kernel files under folder; sets osText and osQualifies.
  void getOSInfos(const char* folder = "/proc");
  // Queries the processor information under folder; sets the clock, the
  // count, cpuText and the four extension flags.
  void getCPUInfos(const char* folder = "/proc");
  // Makes the monitor layout once and has fill compute it (the toolkit asks
  // its X connection: gui::AllMonitorRects); later calls change nothing. A
  // null fill leaves the layout empty.
  void getDisplayInfos(void (*fill)(SMonitorLayout& layout));

  // The requirement test: the kernel qualifies and the processor has MMX,
  // plus SSE when needSSE and SSE and SSE2 when needSSE2.
  bool Qualifies(bool needSSE, bool needSSE2) const;

  // The system report (kernel, processor, extensions, monitors) and the
  // requirement report (what the machine lacks). Both only compose text.
  vexo::data::datastring<32, char> FeatureMessage() const;
  vexo::data::datastring<32, char> ErrorMessage(bool needSSE, bool needSSE2) const;

  // The monitor layout; null until getDisplayInfos.
  std::unique_ptr<SMonitorLayout> display;
  int32_t processorMHz = 0;
  int32_t processorCount = 0;
  bool hasSSE = false;
  bool hasSSE2 = false;
  bool hasMMX = false;
  bool has3DNow = false;
  bool osQualifies = false;
  vexo::data::datastring<32, char> cpuText;
  vexo::data::datastring<32, char> osText;
  SOperatingSystemData os;
  SProcessorData processor;
};

} // namespace vexo::system

// The library's system information, defined in the start-up unit
// (gui/ToolkitStartup.cpp), which fills the monitor layout after opening the
// toolkit's connection.
extern vexo::system::SSystemData sd;
