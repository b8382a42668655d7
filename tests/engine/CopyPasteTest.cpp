#include "editor/SPluginEditor.h"
#include "model/Parameters.h"
#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

using testsupport::DirectHost;

class CopyPaste : public ::testing::Test
{
protected:
  void SetUp() override
  {
    DirectHost::Reset();
    plugin = std::make_unique<VSTPlugin>(DirectHost::Callback, status);
  }
  void Set(int32_t index, float value) { plugin->setParameter(index, value); }

  int status = 0;
  std::unique_ptr<VSTPlugin> plugin;
};

TEST_F(CopyPaste, PasteBeforeAnyCopyChangesNothing)
{
  plugin->SetEditorClosed(false);
  const VSTPluginProgram before = plugin->CurrentProgram();
  plugin->pasteSelProgram();
  EXPECT_EQ(std::memcmp(&before, &plugin->CurrentProgram(), sizeof before), 0);
  EXPECT_FALSE(EditorOf(*plugin)->UpdatePending());
}

TEST_F(CopyPaste, PasteBringsStripsOrderAndThruButKeepsTheName)
{
  plugin->setProgram(3);
  VSTPluginProgram& three = plugin->Program(3);
  three.strips[4] = VSTPluginStrip{1, 1, 0, 5, 6, 7, 8, 9, 10};
  three.stripOrder[1] = 4;
  three.stripCount = 2;
  Set(param::kThru, 1.0f);
  Set(param::kSendOnChange, 1.0f);
  Set(param::kChangeDelay, param::Decode(12, param::kDelay));
  plugin->copySelProgram();

  Set(param::kSendOnChange, 0.0f);
  Set(param::kChangeDelay, 0.0f);
  plugin->setProgram(9);
  plugin->SetEditorClosed(false);
  plugin->pasteSelProgram();
  const VSTPluginProgram& nine = plugin->Program(9);
  EXPECT_EQ(std::memcmp(nine.strips, three.strips, sizeof nine.strips), 0);
  EXPECT_EQ(nine.stripOrder[1], 4);
  EXPECT_EQ(nine.stripCount, 2);
  EXPECT_EQ(nine.midiThru, 1);
  EXPECT_STREQ(nine.name, "010 - empty preset");
  EXPECT_TRUE(EditorOf(*plugin)->UpdatePending());
  for (int32_t p : {0, 50, 127}) {
    EXPECT_EQ(plugin->Program(p).sendOnChange, 1) << p;
    EXPECT_EQ(plugin->Program(p).changeDelay, 12) << p;
  }
  EXPECT_STREQ(plugin->CopyBuffer().name, "(default)") << "names are never copied";
}

TEST_F(CopyPaste, PastingOverTheCopiedProgramRestoresIt)
{
  plugin->setProgram(2);
  plugin->Program(2).strips[0].valueA = 50;
  plugin->copySelProgram();
  plugin->Program(2).strips[0].valueA = 90;
  plugin->Program(2).stripCount = 5;
  plugin->pasteSelProgram();
  EXPECT_EQ(plugin->Program(2).strips[0].valueA, 50);
  EXPECT_EQ(plugin->Program(2).stripCount, 1);
}

TEST_F(CopyPaste, PasteWithThruOffRequestsTheRelease)
{
  plugin->copySelProgram(); // thru off
  Set(param::kThru, 1.0f);
  plugin->resume();
  testsupport::RunDirectBlock(*plugin);
  testsupport::RunDirectBlock(*plugin);
  ASSERT_FALSE(plugin->ReleaseRequested());
  plugin->pasteSelProgram();
  EXPECT_TRUE(plugin->ReleaseRequested());
}

TEST_F(CopyPaste, BufferSurvivesAChunkLoad)
{
  plugin->Program(0).strips[0].numberA = 33;
  plugin->copySelProgram();
  std::vector<uint8_t> bank(35328, 0);
  ASSERT_EQ(plugin->setChunk(bank.data(), 35328, false), 1);
  plugin->pasteSelProgram();
  EXPECT_EQ(plugin->Program(0).strips[0].numberA, 33);
}

TEST_F(CopyPaste, PasteStopsTheCountdownWhoseOptionItTurnsOff)
{
  plugin->copySelProgram(); // send on change off
  Set(param::kSendOnChange, 1.0f);
  Set(param::kChangeDelay, param::Decode(2, param::kDelay));
  plugin->setProgram(4);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(plugin->TimerRunning());
  plugin->pasteSelProgram();
  EXPECT_FALSE(plugin->TimerRunning());
}

TEST_F(CopyPaste, PasteBringsTheMessageKindsAlong)
{
  plugin->setProgram(2);
  Set(param::kChannelB + 0, 5 / 16.0f);
  Set(param::kNumberB + 0, 10 / 128.0f);
  Set(param::kKindB + 0, 1.0f);
  plugin->copySelProgram();
  plugin->setProgram(7);
  EXPECT_EQ(plugin->getParameter(param::kKindB), 0.0f);
  plugin->pasteSelProgram();
  EXPECT_EQ(plugin->getParameter(param::kKindB), 1.0f);
  EXPECT_EQ(plugin->getParameter(param::kChannelB), 5 / 16.0f);
  EXPECT_EQ(plugin->CurrentProgram().strips[0].channelB, 0) << "the record keeps channel 0";
}
