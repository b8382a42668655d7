#include "gui/SGlobals.h"

#include "support/threading/SThread.h"

#include <x86intrin.h>

SGlobals::SGlobals()
{
  // The generator starts from its fixed seed; a short sleep later the
  // time-stamp counter makes window names differ between instances.
  generator.Seed(vexo::math::random::generator::SRandomMarsaglia::kDefaultSeed);
  vexo::threading::SThread::Sleep(3);
  generator.Seed(static_cast<uint32_t>(__rdtsc()));
}
