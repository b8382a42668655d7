#include "support/system/SSystemData.h"
#include "tests/testsupport/ProcFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using testing::HasSubstr;
using testing::Not;
using vexo::system::SSystemData;

namespace {

// A machine of the given kernel release and processor flags.
struct Machine
{
  Machine(const std::string& release, const std::string& flags)
  {
    folder.WriteKernel("Linux\n", release + "\n", "#1 SMP\n");
    folder.Write("cpuinfo", testsupport::CpuInfo(flags));
    data.getOSInfos(folder.Path());
    data.getCPUInfos(folder.Path());
  }

  testsupport::ProcFolder folder;
  SSystemData data;
};

} // namespace

TEST(SystemData, TextsStartEmptyWithRoomFor32Bytes)
{
  const SSystemData data;
  EXPECT_EQ(data.cpuText.Capacity(), 32);
  EXPECT_TRUE(data.cpuText.Empty());
  EXPECT_EQ(data.osText.Capacity(), 32);
  EXPECT_TRUE(data.osText.Empty());
  EXPECT_EQ(data.display, nullptr);
}

TEST(SystemData, OsInfosCopyTheDescriptionAndVerdict)
{
  const Machine machine("2.4.20", "mmx");
  EXPECT_STREQ(machine.data.osText.Text(), "Linux\n2.4.20\n#1 SMP\n");
  EXPECT_FALSE(machine.data.osQualifies);
}

TEST(SystemData, CpuInfosComposeTheDescriptionAndFlags)
{
  const Machine machine("6.1.0", "fpu mmx sse sse2 3dnow");
  const SSystemData& data = machine.data;
  EXPECT_STREQ(data.cpuText.Text(), "CPU Type: GenuineIntel\n"
                                    "CPU Model: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\n"
                                    "CPU Count: 6");
  EXPECT_EQ(data.processorMHz, 3192);
  EXPECT_EQ(data.processorCount, 6);
  EXPECT_TRUE(data.hasMMX);
  EXPECT_TRUE(data.hasSSE);
  EXPECT_TRUE(data.hasSSE2);
  EXPECT_TRUE(data.has3DNow);
}

TEST(SystemData, RefillingReplacesEarlierTexts)
{
  Machine machine("6.1.0", "mmx");
  testsupport::ProcFolder other;
  other.WriteKernel("Other\n", "5.4\n", "#9\n");
  other.Write("cpuinfo", "vendor_id : AuthenticAMD\n");
  machine.data.getOSInfos(other.Path());
  machine.data.getCPUInfos(other.Path());
  EXPECT_STREQ(machine.data.osText.Text(), "Other\n5.4\n#9\n");
  EXPECT_STREQ(machine.data.cpuText.Text(), "CPU Type: AuthenticAMD\nCPU Model: \nCPU Count: 0");
  EXPECT_FALSE(machine.data.hasMMX);
}

TEST(SystemData, RecentKernelWithMmxQualifies)
{
  const Machine machine("2.6.9", "mmx");
  EXPECT_TRUE(machine.data.Qualifies(false, false));
}

TEST(SystemData, Kernel24FailsEvenWithEveryExtension)
{
  const Machine machine("2.4.20", "mmx sse sse2");
  EXPECT_FALSE(machine.data.Qualifies(false, false));
  EXPECT_FALSE(machine.data.Qualifies(true, true));
}

TEST(SystemData, MissingMmxFails)
{
  const Machine machine("6.1.0", "fpu sse sse2");
  EXPECT_FALSE(machine.data.Qualifies(false, false));
}

TEST(SystemData, SseRequirementsFollowTheTable)
{
  const Machine mmxOnly("6.1.0", "mmx");
  EXPECT_FALSE(mmxOnly.data.Qualifies(true, false));
  EXPECT_FALSE(mmxOnly.data.Qualifies(false, true));

  const Machine withSse("6.1.0", "mmx sse");
  EXPECT_TRUE(withSse.data.Qualifies(true, false));
  EXPECT_FALSE(withSse.data.Qualifies(false, true));
  EXPECT_FALSE(withSse.data.Qualifies(true, true));

  const Machine withSse2("6.1.0", "mmx sse2");
  EXPECT_TRUE(withSse2.data.Qualifies(true, false));
  EXPECT_TRUE(withSse2.data.Qualifies(false, true));
}

TEST(SystemData, UnreadableProcessorInformationFails)
{
  testsupport::ProcFolder folder;
  folder.WriteKernel("Linux\n", "6.1.0\n", "#1\n");
  SSystemData data;
  data.getOSInfos(folder.Path());
  testing::internal::CaptureStderr();
  data.getCPUInfos(folder.Path());
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(data.osQualifies);
  EXPECT_FALSE(data.Qualifies(false, false));
}

TEST(SystemData, ErrorMessageListsWhatIsMissing)
{
  const Machine machine("6.1.0", "fpu");
  const std::string report = machine.data.ErrorMessage(false, false).Text();
  const std::string frame(40, '=');
  EXPECT_EQ(report.rfind(frame + "\nE R R O R\n" + frame + "\n", 0), 0u) << report;
  EXPECT_THAT(report, HasSubstr("This Computer doesn't meet\nthe following necessary reqs\n"
                                "to operate this software:\n"));
  EXPECT_THAT(report, HasSubstr("\nMMX: not available."));
  EXPECT_THAT(report, Not(HasSubstr("SSE")));
  EXPECT_THAT(report, Not(HasSubstr("Kernel")));
  EXPECT_EQ(report.substr(report.size() - 41), frame + "\n");
}

TEST(SystemData, ErrorMessageNamesSseOnlyWhenRequested)
{
  const Machine machine("6.1.0", "mmx");
  EXPECT_THAT(std::string(machine.data.ErrorMessage(false, false).Text()),
              Not(HasSubstr("not available")));
  const std::string sse = machine.data.ErrorMessage(true, false).Text();
  EXPECT_THAT(sse, HasSubstr("\nSSE: not available."));
  EXPECT_THAT(sse, Not(HasSubstr("SSE2")));
  const std::string sse2 = machine.data.ErrorMessage(false, true).Text();
  EXPECT_THAT(sse2, HasSubstr("\nSSE: not available."));
  EXPECT_THAT(sse2, HasSubstr("\nSSE2: not available."));
}

TEST(SystemData, ErrorMessageNamesAnOldKernel)
{
  const Machine machine("2.4.20", "mmx");
  EXPECT_THAT(std::string(machine.data.ErrorMessage(false, false).Text()),
              HasSubstr("\nLinux Kernel 2.5: not available."));
}

TEST(SystemData, FeatureMessageDescribesTheSystem)
{
  Machine machine("6.1.0", "mmx sse");
  vexo::system::SServerReport report;
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  machine.data.display = std::make_unique<vexo::system::SMonitorLayout>();
  machine.data.display->BuildLayout(report);
  const std::string text = machine.data.FeatureMessage().Text();
  EXPECT_EQ(text.rfind(std::string(40, '=') + "\nS Y S T E M\n", 0), 0u) << text;
  EXPECT_THAT(text, HasSubstr("Linux\n6.1.0\n#1 SMP\n" + std::string(39, '-') + "\nCPU Type: "));
  EXPECT_THAT(text, HasSubstr("\n[ MMX: available ]\n[ SSE: available ]\n"
                              "[ SSE2: not available ]"));
  EXPECT_THAT(text, HasSubstr("Screensize: 3200 x 1080"));
  EXPECT_THAT(text, HasSubstr("\nDisplay 1: 1920 x 1080 @ [X=0, Y=0]"));
  EXPECT_THAT(text, HasSubstr("\nDisplay 2: 1280 x 1024 @ [X=1920, Y=0]"));
  EXPECT_THAT(text, Not(HasSubstr("estimation")));
}

TEST(SystemData, FeatureMessageMarksAnEstimatedLayout)
{
  Machine machine("6.1.0", "mmx");
  vexo::system::SServerReport report;
  report.screenCount = 1;
  report.defaultWidth = 3840;
  report.defaultHeight = 1024;
  machine.data.display = std::make_unique<vexo::system::SMonitorLayout>();
  machine.data.display->BuildLayout(report);
  const std::string text = machine.data.FeatureMessage().Text();
  EXPECT_THAT(text, HasSubstr("\nestimation (due to lack of information): "));
  EXPECT_THAT(text, HasSubstr("\nDisplay 3: 1280 x 1024 @ [X=2560, Y=0]"));
}

TEST(SystemData, DisplayInfosAreMadeOnce)
{
  static int fills = 0;
  fills = 0;
  auto fill = [](vexo::system::SMonitorLayout& layout) {
    ++fills;
    vexo::system::SServerReport report;
    report.screenCount = 1;
    report.defaultWidth = 1280;
    report.defaultHeight = 1024;
    layout.BuildLayout(report);
  };
  SSystemData data;
  data.getDisplayInfos(fill);
  ASSERT_NE(data.display, nullptr);
  EXPECT_EQ(data.display->MonitorCount(), 1);
  const vexo::system::SMonitorLayout* first = data.display.get();
  data.getDisplayInfos(fill);
  EXPECT_EQ(data.display.get(), first);
  EXPECT_EQ(fills, 1);
}

TEST(SystemData, DisplayInfosWithoutAFillAreEmpty)
{
  SSystemData data;
  data.getDisplayInfos(nullptr);
  ASSERT_NE(data.display, nullptr);
  EXPECT_EQ(data.display->MonitorCount(), 0);
  EXPECT_THAT(std::string(data.FeatureMessage().Text()), HasSubstr("Screensize: 0 x 0"));
}
