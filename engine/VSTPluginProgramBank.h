// VSTPluginProgramBank: the 128 program records back to back, exactly the
// bank chunk's layout.
//
// Threads: records are read and written field by field from host, editor,
// countdown and audio threads; each field is one byte or one 32-bit word.
#pragma once

#include "engine/VSTPluginProgram.h"

constexpr int kBankPrograms = 128;

class VSTPluginProgramBank
{
public:
  VSTPluginProgramBank() = default;

  VSTPluginProgram& operator[](int index) { return programs[index]; }
  const VSTPluginProgram& operator[](int index) const { return programs[index]; }
  VSTPluginProgram* Data() { return programs; }

  static constexpr int32_t kBankBytes = static_cast<int32_t>(sizeof(VSTPluginProgram)) * 128;

private:
  VSTPluginProgram programs[kBankPrograms];
};

static_assert(sizeof(VSTPluginProgramBank) == 35328);
