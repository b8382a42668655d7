// The LV2 edition on a machine without a display: loading it tries no X
// connection and prints nothing about X (the VST 2 build's line at load,
// tests/module/EntryTest.cpp, stays), and MIDI flows.
#include "tests/testsupport/Subprocess.h"

#include <gtest/gtest.h>

namespace {

TEST(Lv2Headless, LoadsWithoutADisplayQuietlyAndPassesMidi)
{
  // No DISPLAY at all, and one that no server listens on: an attempt to
  // connect to the latter would print the line.
  for (const char* display : {"", ":4077"}) {
    const testsupport::ProcessResult result =
        testsupport::Run(QUILLET_LV2_PROBE_PATH, {}, {{"DISPLAY", display}});
    EXPECT_EQ(result.exitCode, 0) << display << ": " << result.out;
    EXPECT_EQ(result.out, "1034: 90 3C 64\n") << display;
    EXPECT_EQ(result.err, "") << display;
  }
}

} // namespace
