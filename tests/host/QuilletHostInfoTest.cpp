#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;
using testsupport::RunHost;

TEST(QuilletHostInfo, PrintsWhatAHostLearnsAtLoad)
{
  const auto result = RunHost({"info", QUILLET_PLUGIN_PATH});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string& out = result.out;
  EXPECT_THAT(out, HasSubstr("magic          0x56737450 'VstP'"));
  EXPECT_THAT(out, HasSubstr("programs       128"));
  EXPECT_THAT(out, HasSubstr("parameters     2"));
  EXPECT_THAT(out, HasSubstr("inputs         2"));
  EXPECT_THAT(out, HasSubstr("outputs        2"));
  EXPECT_THAT(out, HasSubstr("flags          0x139 (editor, mono, replacing, chunks, synth)"));
  EXPECT_THAT(out, HasSubstr("unique id      0x514C5458 'QLTX'"));
  EXPECT_THAT(out, HasSubstr("version        1"));
  EXPECT_THAT(out, HasSubstr("effect name    Quillet"));
  EXPECT_THAT(out, HasSubstr("vendor version 101"));
  EXPECT_THAT(out, HasSubstr("category       2"));
  EXPECT_THAT(out, HasSubstr("receiveVstMidiEvent  1"));
  EXPECT_THAT(out, HasSubstr("sendVstTimeInfo      -1"));
  EXPECT_THAT(out, HasSubstr("0  AC: Resend"));
  EXPECT_THAT(out, HasSubstr("1  OP: Thru"));
  EXPECT_THAT(out, HasSubstr("    0  001 - empty preset"));
  EXPECT_THAT(out, HasSubstr("  127  128 - empty preset"));
}

TEST(QuilletHostInfo, ReportsTheRefusalOfTheUnsupportedHost)
{
  const auto result = RunHost({"info", QUILLET_PLUGIN_PATH, "--host-product", "Usine 5"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_THAT(result.out, HasSubstr("Load refused"));
  EXPECT_THAT(result.err,
              HasSubstr("Failed to load plugin\n(Reason: Host not supported (Usine))"));
}

TEST(QuilletHostInfo, LoadsWithDisplayUnset)
{
  const auto result = RunHost({"info", QUILLET_PLUGIN_PATH}, {{"DISPLAY", ""}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("programs       128"));
}

TEST(QuilletHostInfo, BadCommandLinesGetAMessageAndAnError)
{
  EXPECT_NE(RunHost({}).exitCode, 0);
  EXPECT_NE(RunHost({"frobnicate"}).exitCode, 0);
  const auto missing = RunHost({"info", "/nonexistent/quillet.so"});
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_THAT(missing.err, HasSubstr("cannot load"));
  const auto badNumber = RunHost({"info", QUILLET_PLUGIN_PATH, "--host-version", "x2"});
  EXPECT_NE(badNumber.exitCode, 0);
  EXPECT_THAT(badNumber.err, HasSubstr("wants a number"));
}
