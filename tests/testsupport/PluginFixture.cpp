#include "tests/testsupport/PluginFixture.h"

namespace testsupport {

qhost::PluginLibrary& Library()
{
  static qhost::PluginLibrary library(QUILLET_PLUGIN_PATH);
  return library;
}

void PluginTest::SetUp()
{
  ASSERT_TRUE(Library().Loaded()) << Library().Error();
  Load();
}

void PluginTest::TearDown() { plugin.reset(); }

void PluginTest::Load(qhost::HostConfig config)
{
  plugin.reset();
  plugin = std::make_unique<qhost::PluginInstance>(Library(), std::move(config));
  ASSERT_TRUE(plugin->Loaded());
}

} // namespace testsupport
