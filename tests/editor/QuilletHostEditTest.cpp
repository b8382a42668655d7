// quillet-host edit in each host model, as a user tries them by hand: the
// editor opens, a screenshot shows it drawn, and the run ends cleanly.
#include "host/HostStyle.h"
#include "tests/editor/EditorHost.h"
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
