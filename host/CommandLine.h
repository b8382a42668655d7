// quillet-host's commands, each given the options the table parsed
// (host/HostOptions.h), and the one way they report a refusal.
//
// Threads: quillet-host's main thread only.
#pragma once

#include "host/VstHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qhost::cli {

struct HostOptions;
struct Action;

// Prints "quillet-host: <message>" on stderr and returns the exit status 2.
int Fail(const std::string& message);

// Loads the library of the plug-in path the options give; false, with the
// reason on stderr, when it cannot be loaded (the exit status is 2 then).
bool LoadLibrary(const PluginLibrary& library);

// An action's host call (a selection, a resend, the transport starting);
// nothing for MIDI, which QueueMidi queues for the next block.
void HostCall(PluginInstance& plugin, const Action& action);
void QueueMidi(PluginInstance& plugin, const std::vector<uint8_t>& bytes, int32_t deltaFrames);

int Info(const HostOptions& options);
int Run(const HostOptions& options);
int Edit(const HostOptions& options);
int Lv2Preset(const HostOptions& options);

} // namespace qhost::cli
