// quillet-host edit in each host model, as a user tries them by hand: the
// editor opens, a screenshot shows it drawn, and the run ends cleanly.
#include "model/VSTPluginProgram.h"
#include "host/HostStyle.h"
#include "files/PresetFile.h"
#include "tests/editor/EditorHost.h"
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

using testing::HasSubstr;
using testsupport::RunHost;

class QuilletHostEdit : public ::testing::TestWithParam<qhost::HostStyle>
{
};

TEST_P(QuilletHostEdit, OpensTheEditorInTheModelAndEndsCleanly)
{
  const std::string style = qhost::Traits(GetParam()).name;
  const std::string shot = std::string(QUILLET_BINARY_DIR) + "/edit-" + style + ".png";
  std::remove(shot.c_str());
  const testsupport::ProcessResult result =
      RunHost({"edit", QUILLET_PLUGIN_PATH, "--host-style", style, "--seconds", "1.2",
               "--screenshot", shot + "@1"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("editor open in window"));
  EXPECT_THAT(result.out, HasSubstr("host style " + style));
  // ImageMagick may be missing where the screenshot is not needed.
  if (FILE* file = std::fopen("/usr/bin/convert", "r")) {
    std::fclose(file);
    FILE* png = std::fopen(shot.c_str(), "rb");
    EXPECT_NE(png, nullptr) << "the screenshot was written";
    if (png)
      std::fclose(png);
  }
  std::remove(shot.c_str());
}

INSTANTIATE_TEST_SUITE_P(HostModels, QuilletHostEdit, ::testing::ValuesIn(qhost::AllHostStyles()),
                         [](const auto& info) { return edittest::StyleTestName(info.param); });

TEST(QuilletHostEditOptions, AnUnknownHostStyleNamesTheKnownOnes)
{
  const testsupport::ProcessResult result =
      RunHost({"edit", QUILLET_PLUGIN_PATH, "--host-style", "cubase"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("--host-style wants " + qhost::HostStyleNames()));
}

// What a user does to restore a synth, by the command line: clicks open the
// drawer and switch learning on, the synth's controller arrives meanwhile,
// and the saved bank holds it (with the spacing set beside it).
TEST(QuilletHostEditOptions, ClicksLearnFromMidiInAndTheBankIsSaved)
{
  const std::string bank = std::string(QUILLET_BINARY_DIR) + "/edit-learned.fxb";
  std::remove(bank.c_str());
  const testsupport::ProcessResult result = RunHost(
      {"edit", QUILLET_PLUGIN_PATH, "--set", "232=0.4", "--click", "50,231@0.3", "--click",
       "30,252@0.7", "--midi-in", "1100 B2 4A 28", "--seconds", "1.6", "--save-bank", bank});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(bank, preset, error)) << error;
  ASSERT_EQ(preset.chunk.size(), 43544u) << "the spacing needs the extension";
  int32_t spacing = 0;
  std::memcpy(&spacing, preset.chunk.data() + 35328 + 8, sizeof spacing);
  EXPECT_EQ(spacing, 100);
  VSTPluginProgram program{};
  std::memcpy(&program, preset.chunk.data(), sizeof program);
  EXPECT_EQ(program.strips[0].channelA, 3) << "learned from channel 3";
  EXPECT_EQ(program.strips[0].numberA, 0x4A + 1);
  EXPECT_EQ(program.strips[0].valueA, 0x28 + 1);
  std::remove(bank.c_str());
}

TEST(QuilletHostEditOptions, MalformedNewOptionsAreRefusedWithTheirForm)
{
  const std::pair<std::string, std::string> cases[] = {
      {"--click", "50;231@1"},
      {"--click", "50,231"},
      {"--set", "232"},
      {"--midi-in", "100"},
  };
  for (const auto& [option, text] : cases) {
    const testsupport::ProcessResult result = RunHost({"edit", QUILLET_PLUGIN_PATH, option, text});
    EXPECT_EQ(result.exitCode, 2) << option << " " << text;
    EXPECT_THAT(result.err, HasSubstr(option + " wants")) << option << " " << text;
  }
}
