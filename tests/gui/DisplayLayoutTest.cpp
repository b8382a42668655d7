// The monitor layout computed from plain numbers, as a server would report
// them, and the centring built on it.
#include "gui/SDisplay.h"

#include <gtest/gtest.h>

#include <vector>

using SDisplay = vexo::system::SMonitorLayout;
using vexo::gui::SScreenArea;
using vexo::gui::SServerReport;
using Rect = SDisplay::Rect;
using Pt = SDisplay::Pt;

namespace {

SServerReport SingleScreen(int32_t width, int32_t height)
{
  SServerReport report;
  report.screenCount = 1;
  report.defaultWidth = width;
  report.defaultHeight = height;
  return report;
}

SDisplay Layout(const SServerReport& report)
{
  SDisplay display;
  display.BuildLayout(report);
  return display;
}

} // namespace

TEST(DisplayLayout, OneScreenOf1280x1024IsOneMonitorNotEstimated)
{
  const SDisplay display = Layout(SingleScreen(1280, 1024));
  EXPECT_EQ(display.MonitorCount(), 1);
  EXPECT_EQ(display.Monitors(), (std::vector<Rect>{{0, 0, 1280, 1024}}));
  EXPECT_EQ(display.BoundingBox(), (Rect{0, 0, 1280, 1024}));
  EXPECT_FALSE(display.Estimated());
}

TEST(DisplayLayout, WideScreenOf3840x1024IsThreeEstimatedMonitors)
{
  const SDisplay display = Layout(SingleScreen(3840, 1024));
  EXPECT_EQ(display.MonitorCount(), 3);
  EXPECT_EQ(display.Monitors(),
            (std::vector<Rect>{{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}, {2560, 0, 3840, 1024}}));
  EXPECT_EQ(display.BoundingBox(), (Rect{0, 0, 3840, 1024}));
  EXPECT_TRUE(display.Estimated());
}

TEST(DisplayLayout, TallScreenIsStackedEstimatedMonitors)
{
  // v = 2048 / (0.8 * 640) = 4: four bands of 512.
  const SDisplay display = Layout(SingleScreen(640, 2048));
  EXPECT_TRUE(display.Estimated());
  EXPECT_EQ(
      display.Monitors(),
      (std::vector<Rect>{
          {0, 0, 640, 512}, {0, 512, 640, 1024}, {0, 1024, 640, 1536}, {0, 1536, 640, 2048}}));
}

TEST(DisplayLayout, EstimateRoundsTheCountAndTheBand)
{
  // u = 0.8 * 2560 / 1024 = 2.0 gives two monitors of 1280; u = 1.5 exactly
  // is not above 1.5 and gives one.
  EXPECT_EQ(Layout(SingleScreen(2560, 1024)).Monitors(),
            (std::vector<Rect>{{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}}));
  const SDisplay border = Layout(SingleScreen(1920, 1024));
  EXPECT_FALSE(border.Estimated());
  EXPECT_EQ(border.MonitorCount(), 1);
  // u = 0.8 * 4500 / 1000 = 3.6 rounds to 4 bands of round(4500 / 3.6) =
  // 1250: the guess may reach past the screen, the box does not.
  const SDisplay rounded = Layout(SingleScreen(4500, 1000));
  EXPECT_EQ(rounded.MonitorCount(), 4);
  EXPECT_EQ(rounded.Monitors().back(), (Rect{3750, 0, 5000, 1000}));
  EXPECT_EQ(rounded.BoundingBox(), (Rect{0, 0, 4500, 1000}));
}

TEST(DisplayLayout, EstimateBordersAreExactOnEveryProcessor)
{
  // v = 768 / (0.8 * 640) = 1.5 exactly: not above, one monitor.
  EXPECT_FALSE(Layout(SingleScreen(640, 768)).Estimated());
  // One pixel taller: v = 1.502 rounds to 2 bands of 0.8 * 640 = 512.
  const SDisplay tall = Layout(SingleScreen(640, 769));
  EXPECT_TRUE(tall.Estimated());
  EXPECT_EQ(tall.Monitors(), (std::vector<Rect>{{0, 0, 640, 512}, {0, 512, 640, 1024}}));
  // u = 0.8 * 3200 / 1024 = 2.5 rounds up to 3 bands of 1.25 * 1024 = 1280.
  const SDisplay half = Layout(SingleScreen(3200, 1024));
  EXPECT_EQ(half.MonitorCount(), 3);
  EXPECT_EQ(half.Monitors()[2], (Rect{2560, 0, 3840, 1024}));
  // Band widths round to the nearest pixel: 1.25 * 1001 = 1251.25.
  EXPECT_EQ(Layout(SingleScreen(4004, 1001)).Monitors()[1], (Rect{1251, 0, 2502, 1001}));
}

TEST(DisplayLayout, TwoXineramaScreensGiveTwoRectangles)
{
  SServerReport report = SingleScreen(3840, 1080);
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.MonitorCount(), 2);
  EXPECT_EQ(display.Monitors(), (std::vector<Rect>{{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}));
  EXPECT_EQ(display.BoundingBox(), (Rect{0, 0, 3840, 1080}));
  EXPECT_FALSE(display.Estimated());
}

TEST(DisplayLayout, BoundingBoxMinimumOnlyDecreasesFromZero)
{
  SServerReport report;
  report.xineramaActive = true;
  report.xineramaScreens = {{100, 50, 800, 600}, {-1024, 200, 1024, 768}};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.BoundingBox(), (Rect{-1024, 0, 900, 968}));
}

TEST(DisplayLayout, XineramaWinsOverWorkAreas)
{
  SServerReport report = SingleScreen(1280, 1024);
  report.screenCount = 2;
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1280, 1024}};
  report.workAreas = {SScreenArea{0, 30, 1280, 994}, SScreenArea{0, 0, 800, 600}};
  EXPECT_EQ(Layout(report).Monitors(), (std::vector<Rect>{{0, 0, 1280, 1024}}));
}

TEST(DisplayLayout, ActiveXineramaWithoutScreensFallsBackToTheEstimate)
{
  SServerReport report = SingleScreen(3840, 1024);
  report.xineramaActive = true;
  const SDisplay display = Layout(report);
  EXPECT_TRUE(display.Estimated());
  EXPECT_EQ(display.MonitorCount(), 3);
}

TEST(DisplayLayout, WorkAreasOfSeveralScreensBecomeMonitors)
{
  SServerReport report = SingleScreen(1280, 1024);
  report.screenCount = 3;
  report.workAreas = {SScreenArea{0, 24, 1280, 1000}, std::nullopt, SScreenArea{0, 0, 800, 600}};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.MonitorCount(), 2) << "the screen without a work area adds nothing";
  EXPECT_EQ(display.Monitors(), (std::vector<Rect>{{0, 24, 1280, 1024}, {0, 0, 800, 600}}));
  EXPECT_EQ(display.BoundingBox(), (Rect{0, 0, 1280, 1024}));
  EXPECT_FALSE(display.Estimated());
}

TEST(DisplayLayout, WorkAreaOfASingleScreenIsIgnored)
{
  SServerReport report = SingleScreen(3840, 1024);
  report.workAreas = {SScreenArea{0, 24, 3840, 1000}};
  const SDisplay display = Layout(report);
  EXPECT_TRUE(display.Estimated());
  EXPECT_EQ(display.MonitorCount(), 3);
}

TEST(DisplayLayout, SeveralScreensWithoutWorkAreasAreEstimatedFromTheDefaultScreen)
{
  SServerReport report = SingleScreen(1280, 1024);
  report.screenCount = 2;
  report.workAreas = {std::nullopt, std::nullopt};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.Monitors(), (std::vector<Rect>{{0, 0, 1280, 1024}}));
  EXPECT_FALSE(display.Estimated());
}

TEST(DisplayLayout, AbsurdWorkAreaValuesDoNotOverflow)
{
  SServerReport report;
  report.screenCount = 2;
  report.workAreas = {SScreenArea{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, std::nullopt};
  const SDisplay display = Layout(report);
  ASSERT_EQ(display.MonitorCount(), 1);
  EXPECT_EQ(display.Monitors()[0], (Rect{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}));
}

TEST(DisplayLayout, ScreenWithoutAreaIsOneEmptyMonitor)
{
  const SDisplay display = Layout(SingleScreen(0, 0));
  EXPECT_EQ(display.MonitorCount(), 1);
  EXPECT_FALSE(display.Estimated());
  EXPECT_EQ(display.Monitors()[0], (Rect{0, 0, 0, 0}));
}

TEST(DisplayLayout, RebuildingReplacesTheLayout)
{
  SDisplay display = Layout(SingleScreen(3840, 1024));
  display.BuildLayout(SingleScreen(1280, 1024));
  EXPECT_EQ(display.MonitorCount(), 1);
  EXPECT_FALSE(display.Estimated());
  EXPECT_EQ(display.BoundingBox(), (Rect{0, 0, 1280, 1024}));
}

TEST(DisplayLayout, MonitorRectFindsTheMonitorWithEdgesIncluded)
{
  SServerReport report;
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.MonitorRect({100, 100}), (Rect{0, 0, 1920, 1080}));
  EXPECT_EQ(display.MonitorRect({2000, 500}), (Rect{1920, 0, 3840, 1080}));
  // x = 1920 lies on both; the first one wins.
  EXPECT_EQ(display.MonitorRect({1920, 500}), (Rect{0, 0, 1920, 1080}));
  EXPECT_EQ(display.MonitorRect({3840, 1080}), (Rect{1920, 0, 3840, 1080}));
  // Outside every monitor: the first.
  EXPECT_EQ(display.MonitorRect({5000, 5000}), (Rect{0, 0, 1920, 1080}));
  EXPECT_EQ(display.MonitorRect({-1, 0}), (Rect{0, 0, 1920, 1080}));
}

TEST(DisplayLayout, CentringA200x100WindowOn1920x1080GivesOrigin860x490)
{
  SServerReport report;
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1920, 1080}};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.CenteredOrigin(Rect{0, 0, 200, 100}), (Pt{860, 490}));
  EXPECT_EQ(display.CenteredOrigin(Rect{1500, 900, 1700, 1000}), (Pt{860, 490}));
}

TEST(DisplayLayout, CentringUsesTheMonitorOfTheWindowsCentre)
{
  SServerReport report;
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  const SDisplay display = Layout(report);
  // Centre at (2100, 50): the second monitor.
  EXPECT_EQ(display.CenteredOrigin(Rect{2000, 0, 2200, 100}), (Pt{1920 + 540, 462}));
  // Left edge on the first monitor, centre on the second.
  EXPECT_EQ(display.CenteredOrigin(Rect{1900, 0, 2100, 100}), (Pt{2460, 462}));
  // Centre outside every monitor: the first.
  EXPECT_EQ(display.CenteredOrigin(Rect{9000, 9000, 9200, 9100}), (Pt{860, 490}));
}

TEST(DisplayLayout, CentringOnAPointUsesThatPointsMonitor)
{
  SServerReport report;
  report.xineramaActive = true;
  report.xineramaScreens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  const SDisplay display = Layout(report);
  EXPECT_EQ(display.CenteredOrigin(Rect{0, 0, 200, 100}, Pt{3000, 10}), (Pt{2460, 462}));
  EXPECT_EQ(display.CenteredOrigin(Rect{2000, 0, 2200, 100}, Pt{10, 10}), (Pt{860, 490}));
}

TEST(DisplayLayout, WindowLargerThanItsMonitorIsHalvedByArithmeticShift)
{
  const SDisplay display = Layout(SingleScreen(1280, 1024));
  // (1280 - 1301) >> 1 = -11 (rounded down, not towards zero).
  EXPECT_EQ(display.CenteredOrigin(Rect{0, 0, 1301, 1025}), (Pt{-11, -1}));
  EXPECT_EQ(display.CenteredOrigin(Rect{0, 0, 201, 101}), (Pt{539, 461}));
}

TEST(DisplayLayout, WithoutMonitorsNothingCrashesAndWindowsStay)
{
  const SDisplay display;
  EXPECT_EQ(display.MonitorCount(), 0);
  EXPECT_TRUE(display.Monitors().empty());
  EXPECT_EQ(display.MonitorRect({10, 10}), (Rect{}));
  EXPECT_EQ(display.CenteredOrigin(Rect{30, 40, 230, 140}), (Pt{30, 40}));
  EXPECT_EQ(display.CenteredOrigin(Rect{30, 40, 230, 140}, Pt{5, 5}), (Pt{30, 40}));
}
