#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testsupport::PluginTest;

class Programs : public PluginTest
{
};

TEST_F(Programs, FreshBankIsNumberedAndEmpty)
{
  EXPECT_EQ(Plugin().ProgramNameIndexed(0), "001 - empty preset");
  EXPECT_EQ(Plugin().ProgramNameIndexed(9), "010 - empty preset");
  EXPECT_EQ(Plugin().ProgramNameIndexed(99), "100 - empty preset");
  EXPECT_EQ(Plugin().ProgramNameIndexed(127), "128 - empty preset");
  bool ok = true;
  char buffer[64] = "untouched";
  EXPECT_EQ(Plugin().Dispatch(effGetProgramNameIndexed, 128, 0, buffer), 0);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(Plugin().Dispatch(effGetProgramNameIndexed, -1, 0, buffer), 0);
  Plugin().ProgramNameIndexed(5, &ok);
  EXPECT_TRUE(ok);
}

TEST_F(Programs, LongNamesAreCutTo47Characters)
{
  std::string name(60, 'n');
  name[46] = 'L';
  Plugin().Dispatch(effSetProgramName, 0, 0, name.data());
  EXPECT_EQ(Plugin().ProgramName(), std::string(46, 'n') + "L");
  EXPECT_EQ(name.c_str(), std::string(46, 'n') + "L") << "cut in the caller's text too";

  char shorter[] = "Strings";
  Plugin().Dispatch(effSetProgramName, 0, 0, shorter);
  EXPECT_EQ(Plugin().ProgramName(), "Strings");
  EXPECT_EQ(Plugin().ProgramNameIndexed(1), "002 - empty preset");
}

TEST(ProgramRecord, FreshRecordHasStripZeroAndFiveSecondsInitDelay)
{
  testsupport::DirectHost::Reset();
  int status = 0;
  VSTPlugin plugin(testsupport::DirectHost::Callback, status);
  const VSTPluginProgram& program = plugin.Program(0);
  EXPECT_EQ(program.strips[0].inUse, 1);
  EXPECT_EQ(program.stripOrder[0], 0);
  for (int i = 1; i < 16; ++i) {
    EXPECT_EQ(program.stripOrder[i], 16);
    EXPECT_EQ(program.strips[i].inUse, 0);
  }
  EXPECT_EQ(program.stripCount, 1);
  EXPECT_EQ(program.initDelay, 5);
  EXPECT_EQ(program.changeDelay, 0);
  EXPECT_EQ(program.midiThru | program.presetSwitching | program.sendOnChange |
                program.sendOnInit | program.reserved,
            0);
  EXPECT_STREQ(plugin.CopyBuffer().name, "(default)");
  EXPECT_FALSE(plugin.CopyValid());
  // The whole record, alignment bytes included, is deterministic.
  VSTPluginProgram expected;
  InitProgram(expected, "001 - empty preset");
  EXPECT_EQ(std::memcmp(&expected, &program, sizeof expected), 0);
}

TEST(ProgramRecord, ConstructionSelectsProgramZeroAndRequestsARelease)
{
  testsupport::DirectHost::Reset();
  int status = 0;
  VSTPlugin plugin(testsupport::DirectHost::Callback, status);
  EXPECT_EQ(plugin.getProgram(), 0);
  EXPECT_FALSE(plugin.FirstProgramPending());
  EXPECT_FALSE(plugin.ChunkJustLoaded());
  EXPECT_FALSE(plugin.InitSendDone());
  EXPECT_TRUE(plugin.ReleaseRequested()) << "thru is off in a fresh program";
}
