#include "tests/testsupport/PluginFixture.h"

namespace testsupport {

qhost::PluginLibrary& Library()
{
  static qhost::PluginLibrary library(QUILLET_PLUGIN_PATH);
  return library;
}

std::vector<std::string> TakeMidi(qhost::PluginInstance& plugin)
{
  std::vector<std::string> texts;
  for (const qhost::ReceivedEvent& event : plugin.Received())
    texts.push_back(event.sysex.empty() ? qhost::FormatMidi(event.bytes, 3)
                                        : qhost::FormatSysEx(event.sysex));
  plugin.ClearReceived();
  return texts;
}

void PluginTest::SetUp()
{
  ASSERT_TRUE(Library().Loaded()) << Library().Error();
  Load();
}

void PluginTest::TearDown()
{
  plugin.reset();
}

void PluginTest::Load(qhost::HostConfig config)
{
  plugin.reset();
  plugin = std::make_unique<qhost::PluginInstance>(Library(), std::move(config));
  ASSERT_TRUE(plugin->Loaded());
}

} // namespace testsupport
