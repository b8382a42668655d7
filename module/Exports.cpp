// The only two symbols the library exports. Current hosts look for
// VSTPluginMain first and older ones for main; both lead to the same hidden
// load sequence.
#include "module/Entry.h"

#define QUILLET_EXPORT extern "C" __attribute__((visibility("default")))

QUILLET_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
  return QuilletEntry(audioMaster);
}

// Exported under the name "main" without declaring a C++ main function.
QUILLET_EXPORT AEffect* QuilletMainExport(audioMasterCallback audioMaster) __asm__("main");
AEffect* QuilletMainExport(audioMasterCallback audioMaster) { return QuilletEntry(audioMaster); }
