// Loading the built plug-in through the host layer, as a host would.
#pragma once

#include "host/VstHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// The library of the build under test, loaded once per test program.
qhost::PluginLibrary& Library();

// The MIDI a plug-in handed to the host since the last call, as hex texts
// ("B0 07 64", SysEx as qhost::FormatSysEx gives it), and forgets it.
std::vector<std::string> TakeMidi(qhost::PluginInstance& plugin);

// A freshly loaded plug-in instance per test.
class PluginTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;

  // Loads a new instance (replacing the current one) with this host config.
  void Load(qhost::HostConfig config = {});

  qhost::PluginInstance& Plugin() { return *plugin; }
  AEffect* Effect() { return plugin->Effect(); }
  // Loaded, opened and resumed, as a host does before processing.
  void Start() { plugin->StartUp(); }
  std::vector<std::string> Midi() { return TakeMidi(*plugin); }
  // Started and past the release of held notes it asks for at construction,
  // with what that sent taken away: the next Midi() holds only what a test did.
  void StartQuiet()
  {
    Start();
    plugin->RunBlocks(2);
    Midi();
  }
  void Set(int32_t index, float value) { plugin->SetParameter(index, value); }

  std::unique_ptr<qhost::PluginInstance> plugin;
};

} // namespace testsupport
