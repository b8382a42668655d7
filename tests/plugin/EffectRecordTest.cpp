#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

using testsupport::DirectHost;
using testsupport::PluginTest;

class EffectRecord : public PluginTest
{
};

TEST_F(EffectRecord, AnnouncesTheSpecifiedValues)
{
  const AEffect* e = Effect();
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numPrograms, 128);
  EXPECT_EQ(e->numParams, 2);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0x139);
  EXPECT_EQ(e->uniqueID, 0x514C5458);
  EXPECT_EQ(e->version, 1);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->realQualities, 0);
  EXPECT_EQ(e->offQualities, 0);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->user, nullptr);
  EXPECT_EQ(e->reserved1, 0);
  EXPECT_EQ(e->reserved2, 0);
  EXPECT_NE(e->object, nullptr);
  EXPECT_NE(e->dispatcher, nullptr);
  EXPECT_NE(e->process, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->setParameter, nullptr);
  EXPECT_NE(e->getParameter, nullptr);
  for (char byte : e->future)
    EXPECT_EQ(byte, 0);
}

TEST(EffectRecordDirect, ObjectPointsBackAtThePlugin)
{
  DirectHost::Reset();
  int status = 0;
  VSTPlugin plugin(DirectHost::Callback, status);
  EXPECT_EQ(status, 0);
  AEffect* e = plugin.getAeffect();
  EXPECT_EQ(e->object, static_cast<AudioEffect*>(&plugin));
  EXPECT_EQ(AudioEffect::FromEffect(e), static_cast<AudioEffect*>(&plugin));
  EXPECT_TRUE(plugin.Suspended()) << "suspended until the host resumes";
  EXPECT_EQ(plugin.getSampleRate(), 44100.0f);
  EXPECT_EQ(plugin.getBlockSize(), 1024);
}

TEST_F(EffectRecord, ProcessingCopiesOrAddsTheAudio)
{
  Plugin().StartUp();
  for (int i = 0; i < 64; ++i) {
    Plugin().input[0][static_cast<size_t>(i)] = static_cast<float>(i);
    Plugin().input[1][static_cast<size_t>(i)] = -static_cast<float>(i);
  }
  Plugin().RunBlock(64);
  EXPECT_EQ(Plugin().output[0][10], 10.0f);
  EXPECT_EQ(Plugin().output[1][63], -63.0f);

  // process() adds to what the outputs hold; the host layer clears them
  // first, so one pass gives the input once.
  Plugin().accumulating = true;
  Plugin().RunBlock(64);
  EXPECT_EQ(Plugin().output[0][10], 10.0f);
}

TEST_F(EffectRecord, SuspendedPluginLeavesTheOutputsAlone)
{
  Plugin().input[0].assign(32, 1.0f);
  Plugin().RunBlock(32); // never resumed
  EXPECT_EQ(Plugin().output[0][0], 0.0f);
}
