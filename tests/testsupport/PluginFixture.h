// Loading the built plug-in through the host layer, as a host would.
#pragma once

#include "host/VstHost.h"

#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

// The library of the build under test, loaded once per test program.
qhost::PluginLibrary& Library();

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

  std::unique_ptr<qhost::PluginInstance> plugin;
};

} // namespace testsupport
