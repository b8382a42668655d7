#include "engine/VSTPluginProgram.h"

#include <cstdio>
#include <cstring>

void InitProgram(VSTPluginProgram& program, const char* name)
{
  std::memset(&program, 0, sizeof program);
  std::snprintf(program.name, sizeof program.name, "%s", name);
  program.strips[0].inUse = 1;
  program.stripOrder[0] = 0;
  for (int i = 1; i < kStripsPerProgram; ++i)
    program.stripOrder[i] = kNoStrip;
  program.stripCount = 1;
  program.initDelay = 5;
  program.changeDelay = 0;
}
