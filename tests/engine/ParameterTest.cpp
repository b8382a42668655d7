#include "editor/SPluginEditor.h"
#include "model/Parameters.h"
#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using testsupport::DirectHost;
using testsupport::PluginTest;

class Parameters : public PluginTest
{
protected:
  float Get(int32_t index) { return Plugin().GetParameter(index); }
};

TEST_F(Parameters, HostSeesResendAndThruWithTheirDisplays)
{
  EXPECT_EQ(Plugin().ParameterName(0), "AC: Resend");
  EXPECT_EQ(Plugin().ParameterName(1), "OP: Thru");
  EXPECT_EQ(Plugin().ParameterName(2), "");
  EXPECT_EQ(Plugin().ParameterDisplay(1), "Off");
  Set(param::kThru, 0.7f);
  EXPECT_EQ(Plugin().ParameterDisplay(1), "On");
  EXPECT_EQ(Plugin().ParameterDisplay(5), "");
  char label[32] = "x";
  Plugin().Dispatch(effGetParamLabel, 0, 0, label);
  EXPECT_STREQ(label, "");
}

TEST_F(Parameters, ScaledFieldsRoundHalfUpward)
{
  Set(param::kFormatA, 0.75f); // 1.5 goes up to 2: a Note On
  EXPECT_EQ(Get(param::kFormatA), 1.0f);
  Set(param::kInitDelay, 0.0005f); // 0.4995 goes down
  EXPECT_EQ(Get(param::kInitDelay), 0.0f);
  Set(param::kInitDelay, 0.5f); // 499.5 goes up
  EXPECT_FLOAT_EQ(Get(param::kInitDelay) * 999.0f, 500.0f);
  Set(param::kInitDelay, 1.0f);
  EXPECT_FLOAT_EQ(Get(param::kInitDelay), 999.0f * (1.0f / 999.0f));
  Set(param::kChannelA, 1.0f);
  EXPECT_EQ(Get(param::kChannelA), 1.0f); // channel 16
  Set(param::kNumberA, 1.0f);
  EXPECT_EQ(Get(param::kNumberA), 1.0f); // 128: controller 127
  Set(param::kNumberA, 1.0f / 128.0f);
  EXPECT_EQ(Get(param::kNumberA), 0.0078125f); // 1: controller 0
  Set(param::kValueB + 15, 0.5f);
  EXPECT_EQ(Get(param::kValueB + 15), 0.5f); // 64
}

TEST_F(Parameters, EveryDelayReadsBackAsItsWholeSeconds)
{
  for (int seconds = 0; seconds <= 999; ++seconds) {
    Set(param::kChangeDelay, static_cast<float>(seconds) / 999.0f);
    const float read = Get(param::kChangeDelay);
    Set(param::kChangeDelay, read);
    ASSERT_EQ(static_cast<int>(std::floor(read * 999.0f + 0.5f)), seconds);
  }
}

TEST_F(Parameters, OutOfRangeValuesAndIndicesChangeNothing)
{
  Set(param::kSendOnChange, 1.5f);
  EXPECT_EQ(Get(param::kSendOnChange), 0.0f);
  Set(param::kSendOnChange, -0.1f);
  Set(param::kUnused, 1.0f);
  EXPECT_EQ(Get(param::kUnused), 0.0f);
  Set(150, 0.5f);
  Set(-1, 0.5f);
  Set(param::kCountdownTick, 1.0f);
  EXPECT_EQ(Get(param::kCountdownTick), 0.0f);
  EXPECT_EQ(Get(-1), 0.0f);
  EXPECT_EQ(Get(100000), 0.0f);
  Set(param::kChannelA, std::nanf(""));
  EXPECT_EQ(Get(param::kChannelA), 0.0f);
}

TEST_F(Parameters, NonFiniteValuesOnEveryIndexChangeNothing)
{
  Start();
  Plugin().RunBlocks(2);
  Midi();
  const std::vector<uint8_t> before = Plugin().GetChunk(false);
  for (float value : {std::nanf(""), -std::nanf(""), INFINITY, -INFINITY, 1e30f, -1e30f}) {
    for (int32_t index = -1; index <= 142; ++index)
      Set(index, value);
  }
  EXPECT_EQ(Plugin().GetChunk(false), before);
  Plugin().RunBlocks(2);
  EXPECT_TRUE(Midi().empty()) << "not even a resend";
  for (int32_t index = 0; index < 142; ++index)
    EXPECT_TRUE(std::isfinite(Get(index))) << index;
}

TEST_F(Parameters, DelaysFromAChunkReadWithin999Seconds)
{
  std::vector<uint8_t> bank = Plugin().GetChunk(false);
  for (size_t p = 0; p < 128; ++p) {
    const int32_t init = INT32_MAX;
    const int32_t change = -5;
    std::memcpy(bank.data() + 276 * p + 268, &init, sizeof init);
    std::memcpy(bank.data() + 276 * p + 272, &change, sizeof change);
  }
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  EXPECT_EQ(Get(param::kInitDelay), 999.0f * (1.0f / 999.0f));
  EXPECT_EQ(Get(param::kChangeDelay), 0.0f);
  EXPECT_EQ(Plugin().GetChunk(false), bank) << "the stored bytes stay as loaded";
}

TEST_F(Parameters, GlobalOptionsAreWrittenIntoEveryProgram)
{
  Set(param::kSendOnChange, 1.0f);
  Set(param::kChangeDelay, 3.0f / 999.0f);
  Set(param::kPresetSwitching, 0.9f);
  Set(param::kThru, 1.0f); // per program
  for (int32_t program : {0, 64, 127}) {
    Plugin().SelectProgram(program);
    EXPECT_EQ(Get(param::kSendOnChange), 1.0f) << program;
    EXPECT_EQ(Get(param::kPresetSwitching), 1.0f) << program;
    EXPECT_FLOAT_EQ(Get(param::kChangeDelay) * 999.0f, 3.0f) << program;
    EXPECT_EQ(Get(param::kThru), program == 0 ? 1.0f : 0.0f) << program;
  }
}

TEST_F(Parameters, StripFieldsBelongToTheCurrentProgram)
{
  Plugin().SelectProgram(5);
  Set(param::kValueA + 3, 0.25f);
  Plugin().SelectProgram(6);
  EXPECT_EQ(Get(param::kValueA + 3), 0.0f);
  Plugin().SelectProgram(5);
  EXPECT_EQ(Get(param::kValueA + 3), 0.25f);
}

// Notices reach the editor only while it is open; built directly so that
// the editor's queue can be read.
class ParameterNotices : public ::testing::Test
{
protected:
  void SetUp() override
  {
    DirectHost::Reset();
    plugin = std::make_unique<VSTPlugin>(DirectHost::Callback, status);
    editor = EditorOf(*plugin);
  }
  void Open() { plugin->SetEditorClosed(false); }
  bool Pending(int32_t index) const { return editor->IndexPending(index); }

  int status = 0;
  std::unique_ptr<VSTPlugin> plugin;
  SPluginEditor* editor = nullptr;
};

TEST_F(ParameterNotices, ClosedEditorIsNeverNotified)
{
  plugin->setParameter(param::kChannelA, 0.5f);
  EXPECT_FALSE(Pending(param::kChannelA));
  EXPECT_FALSE(editor->IndexedUpdatePending());
}

TEST_F(ParameterNotices, ThruNotifiesOnlyOnAChange)
{
  plugin->setParameter(param::kThru, 1.0f); // while closed: stored, no notice
  Open();
  plugin->setParameter(param::kThru, 0.7f); // already on
  EXPECT_FALSE(Pending(param::kThru));
  plugin->setParameter(param::kThru, 0.2f);
  EXPECT_TRUE(Pending(param::kThru));
  EXPECT_TRUE(plugin->ReleaseRequested());
}

TEST_F(ParameterNotices, IgnoredCallsNotifyNobody)
{
  Open();
  plugin->setParameter(param::kUnused, 1.0f);
  plugin->setParameter(150, 0.5f);
  plugin->setParameter(-1, 0.5f);
  plugin->setParameter(param::kSendOnChange, 1.5f);
  EXPECT_FALSE(editor->IndexedUpdatePending());
}

TEST_F(ParameterNotices, NoticeIndicesStoreNothingButNotify)
{
  Open();
  plugin->setParameter(param::kCountdownTick, 0.0f);
  plugin->setParameter(137, 1.0f);
  EXPECT_TRUE(Pending(param::kCountdownTick));
  EXPECT_TRUE(Pending(137));
  EXPECT_EQ(plugin->getParameter(param::kCountdownTick), 0.0f);
  EXPECT_EQ(plugin->getParameter(137), 0.0f);
}

TEST_F(ParameterNotices, TurningThruOffRequestsTheRelease)
{
  plugin->setParameter(param::kThru, 1.0f);
  plugin->setProgram(0); // thru on: no release request from the selection
  plugin->setParameter(param::kThru, 0.2f);
  EXPECT_TRUE(plugin->ReleaseRequested());
  EXPECT_EQ(plugin->getParameter(param::kThru), 0.0f);
}

TEST_F(ParameterNotices, StripFieldsNotifyEvenWhenUnchanged)
{
  Open();
  plugin->setParameter(param::kNumberB + 2, 0.0f);
  EXPECT_TRUE(Pending(param::kNumberB + 2));
}

TEST_F(ParameterNotices, ResendNeverNotifies)
{
  Open();
  plugin->setParameter(param::kResend, 1.0f);
  plugin->setParameter(param::kResend, 0.0f);
  EXPECT_FALSE(Pending(param::kResend));
  EXPECT_FALSE(editor->IndexedUpdatePending());
}

TEST_F(ParameterNotices, LoadedProgramDifferingFromProgramZeroIgnoresEqualRequests)
{
  // A program chunk may leave the current program with options that differ
  // from program 0's copy; the switch compares with program 0.
  plugin->setProgram(4);
  plugin->Program(4).sendOnChange = 1;
  Open();
  plugin->setParameter(param::kSendOnChange, 0.0f); // equals program 0's value
  EXPECT_FALSE(Pending(param::kSendOnChange));
  EXPECT_EQ(plugin->getParameter(param::kSendOnChange), 1.0f);
}
