// Hosts as they really behave: the plug-in must take these calmly.
#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

TEST(HostBehaviour, EntryCalledTwiceWithTheSecondInstanceDropped)
{
  qhost::PluginInstance first(testsupport::Library());
  auto second = std::make_unique<qhost::PluginInstance>(testsupport::Library());
  ASSERT_TRUE(first.Loaded());
  ASSERT_TRUE(second->Loaded());
  AEffect* dropped = second->Effect();
  second->Abandon(); // the host forgets it without a close
  second.reset();

  first.StartUp();
  first.SelectProgram(9);
  first.SetParameter(1, 1.0f);
  EXPECT_EQ(first.CurrentProgram(), 9);
  EXPECT_EQ(first.GetParameter(1), 1.0f);
  EXPECT_EQ(dropped->getParameter(dropped, 1), 0.0f) << "the instances share no state";
  // Only so that the leak checker stays quiet: a real host never comes back.
  dropped->dispatcher(dropped, effClose, 0, 0, nullptr, 0.0f);
}

TEST(HostBehaviour, ThrowawayInstanceSeesOnlyOpenSuspendClose)
{
  qhost::PluginInstance plugin(testsupport::Library());
  ASSERT_TRUE(plugin.Loaded());
  plugin.Dispatch(effOpen);
  plugin.Suspend();
  EXPECT_EQ(plugin.Close(), 1);
}

TEST(HostBehaviour, SampleRateSetFromInsideTheCallback)
{
  qhost::HostConfig config;
  config.onCallback = [](qhost::PluginInstance& instance, int32_t opcode) {
    if (opcode == audioMasterWantMidi)
      instance.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  };
  qhost::PluginInstance plugin(testsupport::Library(), config);
  ASSERT_TRUE(plugin.Loaded());
  plugin.StartUp(44100.0f, 256);
  plugin.input[0].assign(256, 0.25f);
  plugin.RunBlock(256);
  EXPECT_EQ(plugin.output[0][255], 0.25f);
  EXPECT_EQ(plugin.CountCallbacks(audioMasterWantMidi), 1);
}

TEST(HostBehaviour, SilentHostGetsTheDefaults)
{
  qhost::HostConfig config;
  config.silent = true; // every request but the version answers 0
  qhost::PluginInstance plugin(testsupport::Library(), config);
  ASSERT_TRUE(plugin.Loaded());
  plugin.StartUp();
  EXPECT_EQ(plugin.ProgramName(), "001 - empty preset");
  EXPECT_EQ(plugin.CanDo("receiveVstEvents"), 1);
  plugin.input[0].assign(512, 0.5f);
  plugin.RunBlock();
  EXPECT_EQ(plugin.output[0][0], 0.5f);
}

TEST(HostBehaviour, DirectoryAnswerIsAcceptedWhateverItsShape)
{
  for (const char* directory : {"/usr/lib/vst/quillet.so", "quillet.so", "/usr/lib/vst/", ""}) {
    qhost::HostConfig config;
    config.directory = directory;
    qhost::PluginInstance plugin(testsupport::Library(), config);
    ASSERT_TRUE(plugin.Loaded());
    plugin.StartUp();
    EXPECT_EQ(plugin.CountCallbacks(audioMasterGetDirectory), 1);
  }
}
