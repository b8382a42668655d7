// The monitor query against real X servers in every layout Xvfb can make:
// one screen (Xinerama reported through RandR), several screens with and
// without Xinerama, and no Xinerama at all.
#include "tests/testsupport/XvfbServer.h"

#include <gtest/gtest.h>

#include "gui/SDisplay.h"
#include "gui/XDisplay.h"
#include "support/system/SSystemData.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using testsupport::XvfbServer;
using SDisplay = vexo::system::SMonitorLayout;
using Rect = SDisplay::Rect;

namespace {

struct CloseDisplay
{
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using Connection = std::unique_ptr<Display, CloseDisplay>;

Connection Connect(const XvfbServer& server)
{
  return Connection(XOpenDisplay(server.Name().c_str()));
}

// What the server itself says about Xinerama, asked directly.
std::vector<Rect> XineramaRects(Display* display)
{
  std::vector<Rect> rects;
  int eventBase = 0;
  int errorBase = 0;
  if (!XineramaQueryExtension(display, &eventBase, &errorBase) || !XineramaIsActive(display))
    return rects;
  int count = 0;
  XineramaScreenInfo* screens = XineramaQueryScreens(display, &count);
  for (int i = 0; i < count; ++i)
    rects.push_back(Rect{screens[i].x_org, screens[i].y_org, screens[i].x_org + screens[i].width,
                         screens[i].y_org + screens[i].height});
  if (screens)
    XFree(screens);
  return rects;
}

// Plays the window manager: stores a work area on a screen's root window.
void SetWorkArea(Display* display, int screen, std::vector<long> values, Atom type = XA_CARDINAL,
                 int format = 32)
{
  const Atom workArea = XInternAtom(display, "_NET_WORKAREA", False);
  if (format == 32) {
    XChangeProperty(display, RootWindow(display, screen), workArea, type, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
  } else {
    std::vector<short> shorts(values.begin(), values.end());
    XChangeProperty(display, RootWindow(display, screen), workArea, type, 16, PropModeReplace,
                    reinterpret_cast<unsigned char*>(shorts.data()),
                    static_cast<int>(shorts.size()));
  }
  XSync(display, False);
}

SDisplay Query(Display* display)
{
  SDisplay layout;
  vexo::gui::AllMonitorRects(layout, display);
  return layout;
}

} // namespace

TEST(DisplayServer, OneScreenIsOneMonitorOfItsSize)
{
  XvfbServer server({"-screen", "0", "1280x1024x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);

  const SDisplay layout = Query(display.get());
  EXPECT_EQ(layout.Monitors(), (std::vector<Rect>{{0, 0, 1280, 1024}}));
  EXPECT_EQ(layout.MonitorCount(), 1);
  EXPECT_EQ(layout.BoundingBox(), (Rect{0, 0, 1280, 1024}));
  EXPECT_FALSE(layout.Estimated());
  // This server reports its one screen through Xinerama.
  EXPECT_EQ(layout.Monitors(), XineramaRects(display.get()));
}

TEST(DisplayServer, OneWideScreenReportedThroughXineramaIsNotSplit)
{
  XvfbServer server({"-screen", "0", "3840x1024x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);

  const SDisplay layout = Query(display.get());
  ASSERT_FALSE(XineramaRects(display.get()).empty());
  EXPECT_EQ(layout.Monitors(), (std::vector<Rect>{{0, 0, 3840, 1024}}));
  EXPECT_FALSE(layout.Estimated());
}

TEST(DisplayServer, SeveralScreensWithXineramaGiveItsScreens)
{
  XvfbServer server({"+xinerama", "-screen", "0", "1920x1080x24", "-screen", "1", "1280x1024x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);

  const std::vector<Rect> reported = XineramaRects(display.get());
  ASSERT_EQ(reported.size(), 2u);
  const SDisplay layout = Query(display.get());
  EXPECT_EQ(layout.Monitors(), reported);
  EXPECT_EQ(layout.MonitorCount(), 2);
  EXPECT_EQ(layout.Monitors()[0].Width(), 1920);
  EXPECT_EQ(layout.Monitors()[1].Width(), 1280);
  EXPECT_EQ(layout.Monitors()[1].Height(), 1024);
  EXPECT_FALSE(layout.Estimated());
  Rect box{0, 0, 0, 0};
  for (const Rect& r : reported) {
    box.right = std::max(box.right, r.right);
    box.bottom = std::max(box.bottom, r.bottom);
  }
  EXPECT_EQ(layout.BoundingBox(), box);
}

TEST(DisplayServer, SeveralScreensWithoutXineramaOrWorkAreasAreEstimatedFromTheDefault)
{
  XvfbServer server({"-screen", "0", "3840x1024x24", "-screen", "1", "800x600x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  ASSERT_TRUE(XineramaRects(display.get()).empty());
  ASSERT_EQ(ScreenCount(display.get()), 2);

  const SDisplay layout = Query(display.get());
  EXPECT_TRUE(layout.Estimated());
  EXPECT_EQ(layout.Monitors(),
            (std::vector<Rect>{{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}, {2560, 0, 3840, 1024}}));
  EXPECT_EQ(layout.BoundingBox(), (Rect{0, 0, 3840, 1024}));
}

TEST(DisplayServer, WorkAreasOfSeveralScreensBecomeMonitors)
{
  XvfbServer server({"-screen", "0", "1280x1024x24", "-screen", "1", "800x600x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  SetWorkArea(display.get(), 0, {0, 24, 1280, 1000});
  SetWorkArea(display.get(), 1, {10, 0, 790, 600});

  const SDisplay both = Query(display.get());
  EXPECT_EQ(both.Monitors(), (std::vector<Rect>{{0, 24, 1280, 1024}, {10, 0, 800, 600}}));
  EXPECT_EQ(both.MonitorCount(), 2);
  EXPECT_EQ(both.BoundingBox(), (Rect{0, 0, 1280, 1024}));
  EXPECT_FALSE(both.Estimated());

  // A window manager with several desktops stores four values per desktop.
  SetWorkArea(display.get(), 1, {0, 0, 400, 300, 0, 0, 800, 600});
  EXPECT_EQ(Query(display.get()).Monitors()[1], (Rect{0, 0, 400, 300}));
}

TEST(DisplayServer, MalformedWorkAreasAreIgnored)
{
  XvfbServer server({"-screen", "0", "1280x1024x24", "-screen", "1", "800x600x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  SetWorkArea(display.get(), 0, {0, 24, 1280, 1000});
  SetWorkArea(display.get(), 1, {0, 0, 800, 600}, XA_INTEGER);
  EXPECT_EQ(Query(display.get()).Monitors(), (std::vector<Rect>{{0, 24, 1280, 1024}}));

  SetWorkArea(display.get(), 1, {0, 0, 800, 600}, XA_CARDINAL, 16);
  EXPECT_EQ(Query(display.get()).MonitorCount(), 1);

  SetWorkArea(display.get(), 1, {0, 0, 800});
  EXPECT_EQ(Query(display.get()).MonitorCount(), 1);

  // With no usable work area at all, the default screen's shape decides.
  SetWorkArea(display.get(), 0, {0, 0});
  const SDisplay layout = Query(display.get());
  EXPECT_EQ(layout.Monitors(), (std::vector<Rect>{{0, 0, 1280, 1024}}));
  EXPECT_FALSE(layout.Estimated());
}

TEST(DisplayServer, QueryDoesNotCreateTheWorkAreaAtom)
{
  XvfbServer server({"-screen", "0", "1280x1024x24", "-screen", "1", "800x600x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  Query(display.get());
  EXPECT_EQ(XInternAtom(display.get(), "_NET_WORKAREA", True), static_cast<Atom>(None));
}

TEST(DisplayServer, WithoutXineramaOneWideScreenIsEstimated)
{
  // Without RandR this server offers no Xinerama at all.
  XvfbServer server({"-extension", "RANDR", "-screen", "0", "3840x1024x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  ASSERT_TRUE(XineramaRects(display.get()).empty());

  const SDisplay layout = Query(display.get());
  EXPECT_TRUE(layout.Estimated());
  EXPECT_EQ(layout.MonitorCount(), 3);
  EXPECT_EQ(layout.Monitors()[1], (Rect{1280, 0, 2560, 1024}));
}

TEST(DisplayServer, WithoutXineramaOneUsualScreenIsOneMonitor)
{
  XvfbServer server(
      {"-extension", "RANDR", "-extension", "XINERAMA", "-screen", "0", "1280x1024x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  ASSERT_TRUE(XineramaRects(display.get()).empty());
  // A single screen's work area is not consulted.
  SetWorkArea(display.get(), 0, {0, 24, 1280, 1000});

  const SDisplay layout = Query(display.get());
  EXPECT_EQ(layout.Monitors(), (std::vector<Rect>{{0, 0, 1280, 1024}}));
  EXPECT_FALSE(layout.Estimated());
}

TEST(DisplayServer, XineramaSwitchedOffWithSeveralScreensUsesWorkAreas)
{
  XvfbServer server({"-extension", "XINERAMA", "-screen", "0", "1024x768x24", "-screen", "1",
                     "1024x768x24", "-screen", "2", "640x480x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Connection display = Connect(server);
  ASSERT_TRUE(display);
  ASSERT_TRUE(XineramaRects(display.get()).empty());
  SetWorkArea(display.get(), 2, {0, 0, 640, 450});

  const SDisplay layout = Query(display.get());
  EXPECT_EQ(layout.Monitors(), (std::vector<Rect>{{0, 0, 640, 450}}));
  EXPECT_EQ(layout.MonitorCount(), 1);
}

// The toolkit asks its own connection, whatever a host handed over: it makes
// no call on a host's connection.
TEST(DisplayServer, QueryAsksTheToolkitsOwnConnection)
{
  XvfbServer own({"-screen", "0", "1280x1024x24"});
  ASSERT_TRUE(own.Running()) << own.Error();
  Connection ownDisplay = Connect(own);
  ASSERT_TRUE(ownDisplay);

  Display* const savedOwn = dps;
  dps = ownDisplay.get();
  SDisplay layout;
  vexo::gui::AllMonitorRects(layout);
  const Rect asked = layout.BoundingBox();
  dps = savedOwn;

  EXPECT_EQ(asked, (Rect{0, 0, 1280, 1024}));
}

TEST(DisplayServer, WithoutAnyConnectionTheLayoutIsEmptyAndCentringIsHarmless)
{
  Display* const savedOwn = dps;
  dps = nullptr;
  // A layout made earlier is emptied too.
  vexo::gui::SServerReport earlier;
  earlier.screenCount = 1;
  earlier.defaultWidth = 1280;
  earlier.defaultHeight = 1024;
  SDisplay layout;
  layout.BuildLayout(earlier);
  vexo::gui::AllMonitorRects(layout);
  // The system information made at load in this situation.
  vexo::system::SSystemData data;
  data.getDisplayInfos(vexo::gui::AllMonitorRects);
  dps = savedOwn;

  EXPECT_EQ(layout.MonitorCount(), 0);
  EXPECT_TRUE(layout.Monitors().empty());
  EXPECT_EQ(layout.BoundingBox(), (Rect{}));
  EXPECT_FALSE(layout.Estimated());
  EXPECT_EQ(layout.CenteredOrigin(Rect{5, 6, 205, 106}), (SDisplay::Pt{5, 6}));
  EXPECT_EQ(layout.MonitorRect({0, 0}), (Rect{}));
  ASSERT_NE(data.display, nullptr);
  EXPECT_EQ(data.display->MonitorCount(), 0);
  EXPECT_EQ(data.display->CenteredOrigin(Rect{0, 0, 200, 100}), (SDisplay::Pt{0, 0}));
}
