// The state that `run` and `edit` give the plug-in, composed before it is
// loaded: the bank file (or the plug-in's own bank), the program file in its
// current program, the strips, the SysEx files and the stored parameters,
// all written into one bank chunk by the model's rules (the chunk format's
// one reader and writer). The plug-in then gets that chunk and the host's
// selection of its current program: one restore, as a host restores a
// project, so the send on init that a restore fires sees every setting.
// Live parameters (the resend trigger, learning, timed ones) go through the
// plug-in after it.
//
// Threads: quillet-host's main thread only.
#pragma once

#include "host/HostOptions.h"
#include "host/VstHost.h"

#include <cstdint>
#include <string>

namespace qhost::cli {

// Where a parameter's value lives, which decides how --set reaches it.
enum class ParameterScope
{
  Program,     // a field of a program (the current one, or P: of --set P:INDEX)
  AllPrograms, // a program field that the plug-in's setParameter writes into every program
  Bank,        // a setting of the bank (pacing, send on play, the SysEx gap)
  Live,        // no stored state: set through the plug-in (resend, learn)
  None         // no parameter to set: a notice, an unused index, nothing at all
};

ParameterScope ScopeOf(int32_t index);
// The indices --set takes, as a user reads them ("0 to 7, 8 to 135 (the
// strips), ...").
std::string SettableIndices();

// True when the options ask for anything the restore loads.
bool ComposesState(const HostOptions& options);

// Composes the state of `options` and restores it into the plug-in, then
// sets the live parameters that wait for no time. False with one line on
// stderr when a file is refused or the plug-in refuses the chunk; nothing
// is loaded then. Without anything to compose nothing is restored.
bool RestoreComposed(PluginInstance& plugin, const HostOptions& options);

// Writes the plug-in's bank as a bank file / its current program as a
// program file, as a host saves a preset; false with the reason on stderr.
bool SaveBank(PluginInstance& plugin, const std::string& path);
bool SaveProgram(PluginInstance& plugin, const std::string& path);

} // namespace qhost::cli
