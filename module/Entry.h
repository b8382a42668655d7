// The load sequence behind the exported entry points.
#pragma once

#include "plugin/VstInterface.h"

// Asks the host for its version, checks the machine, builds the plug-in and
// returns its effect record, or shows why the load was refused and returns
// null. The exported `main` and `VSTPluginMain` both call this; code inside
// the library never calls the exported `main`, which a host's own `main` may
// interpose.
AEffect* QuilletEntry(audioMasterCallback audioMaster);

// Load status codes written by construction.
namespace loadstatus {
constexpr int kOk = 0;
constexpr int kSystemNotSupported = 2;
constexpr int kHostNotSupported = 3;
constexpr int kSilentRefusal = 4;
} // namespace loadstatus
