// The programs extension that several LV2 hosts read (Carla, Qtractor and
// others): the host lists a plug-in's programs with their names and selects
// one. LV2 itself has no place for a plug-in's own, changing program names;
// this is where hosts look for them. The layout is that extension's, so it
// is written here as the binary interface it is.
//
// Threads: get_program on a host's main thread; select_program in the audio
// thread's context (beside run), so the adapter only records the request
// and run() hands it to the worker.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

namespace lv2programs {

constexpr const char* kInterfaceUri = "http://kxstudio.sf.net/ns/lv2ext/programs#Interface";

struct ProgramDescriptor
{
  uint32_t bank;
  uint32_t program;
  const char* name;
};

struct ProgramsInterface
{
  // The program at `index` (0 to 127, bank 0), or null past the last one.
  // The descriptor and its name stay valid until the next call.
  const ProgramDescriptor* (*get_program)(LV2_Handle instance, uint32_t index);
  void (*select_program)(LV2_Handle instance, uint32_t bank, uint32_t program);
};

} // namespace lv2programs
