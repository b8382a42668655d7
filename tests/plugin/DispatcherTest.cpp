#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using testsupport::PluginTest;

class Dispatcher : public PluginTest
{
};

TEST_F(Dispatcher, AnswersFixedQueries)
{
  EXPECT_EQ(Plugin().Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(Plugin().Dispatch(effGetVstVersion), 2300);
  EXPECT_EQ(Plugin().Dispatch(effGetPlugCategory), 2);
  EXPECT_EQ(Plugin().Dispatch(effGetVu), 0);
  EXPECT_EQ(Plugin().Dispatch(effGetVendorVersion), 101);
  EXPECT_EQ(Plugin().Dispatch(effCanBeAutomated, 0), 1);
  EXPECT_EQ(Plugin().Dispatch(effGetNumProgramCategories), 1);
  EXPECT_EQ(Plugin().Dispatch(effKeysRequired), 1);
  EXPECT_EQ(Plugin().Dispatch(effGetCurrentMidiProgram), -1);
  EXPECT_EQ(Plugin().Dispatch(effConnectInput, 0, 1), 1);
  EXPECT_EQ(Plugin().Dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
  EXPECT_EQ(Plugin().EffectName(), "Quillet");
  EXPECT_EQ(Plugin().ProductString(), "Quillet");
  EXPECT_EQ(Plugin().VendorString(), "quillet.example");
}

TEST_F(Dispatcher, KeyOpcodesTakeAnyFloatAsModifier)
{
  const VstIntPtr down = Plugin().Dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f);
  const VstIntPtr up = Plugin().Dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f);
  for (float opt : {std::nanf(""), INFINITY, -INFINITY, 3e9f, -3e9f, 1e38f, 4.0f}) {
    EXPECT_EQ(Plugin().Dispatch(effEditKeyDown, 'a', 0, nullptr, opt), down) << opt;
    EXPECT_EQ(Plugin().Dispatch(effEditKeyUp, 'a', 0, nullptr, opt), up) << opt;
  }
  // Other opcodes that take a float from the host.
  for (float opt : {std::nanf(""), INFINITY, 0.0f}) {
    Plugin().Dispatch(effSetSampleRate, 0, 0, nullptr, opt);
    Plugin().Dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, opt);
    Plugin().Dispatch(effSetPanLaw, 0, 0, nullptr, opt);
    Plugin().Dispatch(effVendorSpecific, 0, 0, nullptr, opt);
  }
  Start();
  Plugin().RunBlocks(2);
  EXPECT_EQ(Plugin().CurrentProgram(), 0) << "still running";
}

TEST_F(Dispatcher, CanDoComparesWholeStrings)
{
  for (const char* yes : {"sendVstMidiEvent", "sendVstEvents", "receiveVstEvents",
                          "receiveVstMidiEvent", "receiveVstTimeInfo"})
    EXPECT_EQ(Plugin().CanDo(yes), 1) << yes;
  for (const char* no : {"receiveVstMidiEvents", "ReceiveVstMidiEvent", "sendVstTimeInfo", "",
                         "offline", "bypass"})
    EXPECT_EQ(Plugin().CanDo(no), -1) << no;
}

TEST_F(Dispatcher, ProgramSelectionHasOnlyAnUpperBound)
{
  Plugin().SelectProgram(127);
  EXPECT_EQ(Plugin().CurrentProgram(), 127);
  Plugin().SelectProgram(128);
  EXPECT_EQ(Plugin().CurrentProgram(), 127);
  Plugin().SelectProgram(-1);
  EXPECT_EQ(Plugin().CurrentProgram(), 127) << "the plug-in ignores negative programs";
  Plugin().SelectProgram(3);
  EXPECT_EQ(Plugin().ProgramName(), "004 - empty preset");
}

TEST_F(Dispatcher, OpcodesOutsideTheTableDoNothing)
{
  for (int32_t opcode : {77, 78, 200, -1, -100, 0x7FFFFFFF})
    EXPECT_EQ(Plugin().Dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
  for (int32_t opcode : {16, 17, 18, 20, 21})
    EXPECT_EQ(Plugin().Dispatch(opcode), 0) << opcode;
}

TEST_F(Dispatcher, NullPointersAreRefusedWithoutEffect)
{
  for (int32_t opcode :
       {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
        effGetParamName, effEditGetRect, effEditOpen, effGetChunk, effSetChunk, effProcessEvents,
        effGetProgramNameIndexed, effGetInputProperties, effGetOutputProperties,
        effGetEffectName, effGetVendorString, effGetProductString, effCanDo, effString2Parameter})
    EXPECT_EQ(Plugin().Dispatch(opcode, 0, 10, nullptr), 0) << opcode;
  EXPECT_EQ(Plugin().ProgramName(), "001 - empty preset");
}

TEST_F(Dispatcher, EditorRectangleBeforeAnyOpen)
{
  ERect* rect = nullptr;
  EXPECT_NE(Plugin().Dispatch(effEditGetRect, 0, 0, &rect), 0);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 238);
  EXPECT_EQ(rect->right, 120);
  EXPECT_EQ(Plugin().Dispatch(effEditIdle), 0);
  EXPECT_EQ(Plugin().Dispatch(effEditClose), 1) << "a close before any open does nothing";
}

TEST_F(Dispatcher, SpeakerArrangementAnswersNoneAndClearsThePointers)
{
  void* in = reinterpret_cast<void*>(0x1234);
  void* out = reinterpret_cast<void*>(0x5678);
  EXPECT_EQ(Plugin().Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out),
            0);
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(out, nullptr);
}

TEST_F(Dispatcher, CloseDestroysThePluginAndAnswersOne)
{
  Plugin().StartUp();
  EXPECT_EQ(Plugin().Close(), 1);
  EXPECT_FALSE(Plugin().Loaded());
}

TEST_F(Dispatcher, ResumeAsksForMidiEveryTime)
{
  Plugin().ClearCallbacks();
  Plugin().Resume();
  Plugin().Suspend();
  Plugin().Resume();
  EXPECT_EQ(Plugin().CountCallbacks(audioMasterWantMidi), 2);
  EXPECT_EQ(Plugin().CountCallbacks(audioMasterGetDirectory), 1) << "asked on the first resume";
}
