// Tooltips on a real screen: the pointer (moved with XTest) enters and
// leaves controls, the events reach the toolkit through the event procedure
// as a host delivers them, and the tip's place, flips, pixels and the
// indicator square are read back from the server. The server of this
// program has one 1824 x 768 screen; the tests lay two monitors over it as a
// Xinerama server reports them (1024 x 768 at 0, 0 and 800 x 600 at 1024, 0;
// Xvfb itself stacks its Xinerama screens at one origin), so that the edge
// of a monitor differs from the edge of the screen.
#include <gtest/gtest.h>

#include "gui/SDisplay.h"
#include "gui/SGlobals.h"
#include "gui/SStaticData.h"
#include "gui/SToolTip.h"
#include "gui/SWindow.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SInput.h"
#include "support/system/SSystemData.h"
#include "tests/gui/GuiTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

using namespace vexo::gui;

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kOrange = 0xFF8000;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kSlate = 0x4D5154; // 77, 81, 84

int FloorHalf(int value)
{
  return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// A whole window read with XGetImage; colours as 0xRRGGBB.
class WindowImage
{
public:
  explicit WindowImage(Window window)
  {
    Display* display = guitest::Display();
    XSync(display, False);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    width = attributes.width;
    height = attributes.height;
    image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), AllPlanes, ZPixmap);
  }
  ~WindowImage()
  {
    if (image)
      XDestroyImage(image);
  }
  WindowImage(const WindowImage&) = delete;
  WindowImage& operator=(const WindowImage&) = delete;

  bool Valid() const { return image != nullptr; }
  // The default visual of these servers is 24-bit TrueColor (0xRRGGBB).
  uint32_t At(int x, int y) const
  {
    return static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
  }
  // How many pixels of the rectangle have the colour.
  int Count(const Rect& r, uint32_t colour) const
  {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        n += At(x, y) == colour;
    return n;
  }
  // Writes the image as a binary PPM.
  bool WritePpm(const std::string& path) const
  {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint32_t c = At(x, y);
        const char rgb[3] = {static_cast<char>(c >> 16), static_cast<char>(c >> 8),
                             static_cast<char>(c)};
        out.write(rgb, 3);
      }
    return static_cast<bool>(out);
  }

  int width = 0;
  int height = 0;

private:
  XImage* image = nullptr;
};

// Counts its drawings and openings.
class DrawnTip : public SToolTip
{
public:
  using SToolTip::SToolTip;
  void Draw(const Rect& rect) override
  {
    SToolTip::Draw(rect);
    ++draws;
  }
  void Open(SToolTipData* data, const Point& at) override
  {
    ++opens;
    SToolTip::Open(data, at);
  }
  std::atomic<int> draws{0};
  std::atomic<int> opens{0};
};

class ToolTipScreen : public ::testing::Test
{
protected:
  void SetUp() override
  {
    display = guitest::Display();
    ASSERT_NE(display, nullptr) << "GUI tests run on an X server";
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    ASSERT_EQ(visual->red_mask, 0xFF0000ul);
    ASSERT_EQ(DisplayWidth(display, DefaultScreen(display)), 1824);
    ASSERT_EQ(DisplayHeight(display, DefaultScreen(display)), 768);
    ASSERT_TRUE(sd.display);
    TwoMonitors();
    Park();
    owner = std::make_unique<SWindow>(&globals, nullptr, globals.TopLevelId(), "Panel", 0, 0, 0,
                                      1824, 768);
    owner->Show();
    tip = new DrawnTip(owner.get(), true);
    tip->EnableTooltips(true);
    guitest::DeliverPending();
  }

  void TearDown() override
  {
    Park();
    owner.reset();
    if (display)
      guitest::DeliverPending();
    // Back to what the server says.
    if (sd.display)
      vexo::gui::AllMonitorRects(*sd.display);
  }

  static void TwoMonitors()
  {
    SServerReport report;
    report.xineramaActive = true;
    report.xineramaScreens = {SScreenArea{0, 0, 1024, 768}, SScreenArea{1024, 0, 800, 600}};
    report.screenCount = 1;
    report.defaultWidth = 1824;
    report.defaultHeight = 768;
    sd.display->BuildLayout(report);
    ASSERT_EQ(sd.display->MonitorCount(), 2);
    ASSERT_EQ(sd.display->Monitors()[1], (Rect{1024, 0, 1824, 600}));
  }

  void MovePointer(int x, int y)
  {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
  }

  // Away from every control of these tests.
  void Park() { MovePointer(1800, 760); }

  // A control of the owner (whose window covers the root window, so these
  // are screen coordinates) with a tip.
  SControl* Control(int x, int y, const char* text, int side, int w = 40, int h = 16)
  {
    auto* control = new SControl(&globals, owner.get(), globals.NextId(), "control", 0, x, y, w, h);
    owner->Add(control);
    control->Show();
    if (text)
      control->SetTooltip(tip, text, side);
    guitest::DeliverPending();
    return control;
  }

  // The colours and fields the editor's panel gives its tooltip.
  void PanelStyle()
  {
    const int slate = static_cast<int>(SCOL(77, 81, 84));
    const int white = static_cast<int>(SCOL(255, 255, 255));
    tip->SetColours(slate, slate, slate, white, white, white, white);
    tip->textColours[0] = SCOL(255, 255, 255);
    tip->titleColouring = true;
    tip->titleColour = SCOL(255, 128, 0);
    tip->arrowColour = SCOL(255, 0, 0);
    tip->rounded = true;
    tip->boldSecondLine = true;
  }

  bool Viewable(Window window)
  {
    XWindowAttributes attributes{};
    XSync(display, False);
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
  }

  // The window's rectangle on the screen, from the server.
  Rect ScreenRect(Window window)
  {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return Rect{x, y, x + attributes.width, y + attributes.height};
  }

  // Moves the pointer into the control from outside and waits for the tip
  // to be shown and drawn.
  bool Enter(SControl* control, int ms = 8000)
  {
    Park();
    guitest::DeliverPending();
    const int drawn = tip->draws;
    const Rect r = ScreenRect(control->window);
    MovePointer(r.left + r.Width() / 2, r.top + r.Height() / 2);
    const bool shown = guitest::DeliverUntil(
        [&] { return tip->Shown() && Viewable(tip->window) && tip->draws > drawn; }, ms);
    guitest::DeliverPending();
    return shown;
  }

  Display* display = nullptr;
  SGlobals globals;
  std::unique_ptr<SWindow> owner;
  DrawnTip* tip = nullptr; // owned by the owner
};

} // namespace

TEST_F(ToolTipScreen, TipAboveIsCentredThreePixelsOverTheControl)
{
  SControl* control = Control(300, 300, "Option:\nToggle Midi Thru", kTipAbove);
  ASSERT_TRUE(Enter(control));
  const SToolTipData* data = control->tooltip;
  EXPECT_EQ(tip->CurrentData(), data);
  EXPECT_FALSE(tip->Flipped());
  const int x = 300 + FloorHalf(40 - data->width);
  const int y = 300 - data->height - 3;
  EXPECT_EQ(ScreenRect(tip->window), (Rect{x, y, x + data->width, y + data->height}));
}

TEST_F(ToolTipScreen, LeavingTheControlHidesTheTip)
{
  SControl* control = Control(300, 300, "Action:\nResend Values", kTipAbove);
  ASSERT_TRUE(Enter(control));
  MovePointer(600, 600);
  EXPECT_TRUE(guitest::DeliverUntil([&] { return !tip->Shown() && !Viewable(tip->window); }));
}

TEST_F(ToolTipScreen, WithTipsOffEnteringShowsNothingUntilTheyAreSwitchedOn)
{
  tip->EnableTooltips(false);
  SControl* control = Control(300, 300, "Option:\nToggle Midi Thru", kTipAbove);
  EXPECT_FALSE(Enter(control, 300));
  EXPECT_EQ(tip->opens, 0);
  EXPECT_FALSE(Viewable(tip->window));
  tip->ToggleTooltips();
  EXPECT_TRUE(Enter(control));
}

TEST_F(ToolTipScreen, ControlWithoutATipShowsNothing)
{
  SControl* control = Control(300, 300, nullptr, kTipAbove);
  control->EnableTooltip(true);
  EXPECT_FALSE(Enter(control, 300));
  EXPECT_EQ(tip->opens, 0);
}

TEST_F(ToolTipScreen, NearTheTopATipAboveGoesBelowWithTheArrowPointingUp)
{
  SControl* control = Control(300, 2, "Option:\nToggle Midi Thru", kTipAbove);
  ASSERT_TRUE(Enter(control));
  const SToolTipData* data = control->tooltip;
  EXPECT_TRUE(tip->Flipped());
  const Rect r = ScreenRect(tip->window);
  EXPECT_EQ(r.top, 2 + 16 + 3);
  EXPECT_EQ(r.left, 300 + FloorHalf(40 - data->width));
  WindowImage image(tip->window);
  ASSERT_TRUE(image.Valid());
  const int w = image.width;
  const int h = image.height;
  EXPECT_EQ(image.At(w / 2, 3), kOrange) << "arrow at the top edge";
  EXPECT_NE(image.At(w / 2, h - 3), kOrange) << "no arrow at the bottom edge";
}

TEST_F(ToolTipScreen, TipAboveDrawsItsArrowAtTheBottom)
{
  SControl* control = Control(300, 300, "Option:\nToggle Midi Thru", kTipAbove);
  ASSERT_TRUE(Enter(control));
  WindowImage image(tip->window);
  ASSERT_TRUE(image.Valid());
  EXPECT_EQ(image.At(image.width / 2, image.height - 3), kOrange);
  EXPECT_NE(image.At(image.width / 2, 3), kOrange);
}

TEST_F(ToolTipScreen, RightTipFlipsAtTheRightEdgeOfItsMonitor)
{
  // On the first monitor, 50 pixels from its right edge: the root window
  // goes on, but the monitor ends.
  SControl* nearEdge = Control(974, 300, "Option:\nToggle Midi Thru", kTipRight);
  ASSERT_TRUE(Enter(nearEdge));
  const SToolTipData* data = nearEdge->tooltip;
  EXPECT_TRUE(tip->Flipped());
  const int y = 300 + FloorHalf(16 - data->height);
  EXPECT_EQ(ScreenRect(tip->window), (Rect{974 - data->width - 3, y, 974 - 3, y + data->height}));
  {
    WindowImage image(tip->window);
    EXPECT_EQ(image.At(image.width - 3, image.height / 2), kOrange) << "arrow on the right";
    EXPECT_NE(image.At(2, image.height / 2), kOrange);
  }

  // The same distance from the left edge of the second monitor: room enough.
  SControl* onSecond = Control(1100, 300, "Option:\nToggle Midi Thru", kTipRight);
  ASSERT_TRUE(Enter(onSecond));
  EXPECT_FALSE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).left, 1100 + 40 + 3);
  {
    WindowImage image(tip->window);
    EXPECT_EQ(image.At(2, image.height / 2), kOrange) << "arrow on the left";
  }

  // And at the right edge of the screen.
  SControl* screenEdge = Control(1780, 300, "Option:\nToggle Midi Thru", kTipRight);
  ASSERT_TRUE(Enter(screenEdge));
  EXPECT_TRUE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).right, 1780 - 3);
}

TEST_F(ToolTipScreen, OnOneMonitorOnlyTheScreenEdgeFlips)
{
  vexo::gui::AllMonitorRects(*sd.display);
  ASSERT_EQ(sd.display->MonitorCount(), 1);
  SControl* control = Control(974, 300, "Option:\nToggle Midi Thru", kTipRight);
  ASSERT_TRUE(Enter(control));
  EXPECT_FALSE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).left, 974 + 40 + 3);
  SControl* low = Control(1300, 570, "Option:\nToggle Midi Thru", kTipBelow);
  ASSERT_TRUE(Enter(low));
  EXPECT_FALSE(tip->Flipped());
}

TEST_F(ToolTipScreen, TipBelowFlipsAtTheBottomOfItsMonitor)
{
  // The second monitor is 600 high; the root window is 768.
  SControl* onSecond = Control(1300, 570, "Option:\nToggle Midi Thru", kTipBelow);
  ASSERT_TRUE(Enter(onSecond));
  const SToolTipData* data = onSecond->tooltip;
  EXPECT_TRUE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).top, 570 - data->height - 3);
  {
    WindowImage image(tip->window);
    EXPECT_EQ(image.At(image.width / 2, image.height - 3), kOrange) << "arrow at the bottom";
  }

  SControl* onFirst = Control(300, 570, "Option:\nToggle Midi Thru", kTipBelow);
  ASSERT_TRUE(Enter(onFirst));
  EXPECT_FALSE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).top, 570 + 16 + 3);
  {
    WindowImage image(tip->window);
    EXPECT_EQ(image.At(image.width / 2, 3), kOrange) << "arrow at the top";
  }
}

TEST_F(ToolTipScreen, LeftTipFlipsAtTheLeftEdge)
{
  SControl* control = Control(2, 300, "Option:\nToggle Midi Thru", kTipLeft);
  ASSERT_TRUE(Enter(control));
  EXPECT_TRUE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).left, 2 + 40 + 3);

  SControl* roomy = Control(500, 300, "Option:\nToggle Midi Thru", kTipLeft);
  ASSERT_TRUE(Enter(roomy));
  EXPECT_FALSE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).right, 500 - 3);
}

TEST_F(ToolTipScreen, OffsetsMoveTheTipAndTheFlippedOneAppliesAfterAFlip)
{
  SControl* control = Control(300, 300, "Action:\nResend Values", kTipAbove);
  control->tooltip->SetOffset(Point{5, -7}, false);
  ASSERT_TRUE(Enter(control));
  const SToolTipData* data = control->tooltip;
  EXPECT_EQ(ScreenRect(tip->window).left, 300 + FloorHalf(40 - data->width) + 5);
  EXPECT_EQ(ScreenRect(tip->window).top, 300 - data->height - 3 - 7);

  SControl* top = Control(600, 2, "Action:\nResend Values", kTipAbove);
  top->tooltip->SetOffset(Point{1, 1}, false);
  tip->SetFlipped(true);
  top->tooltip->SetOffset(Point{-4, 9}, false);
  tip->SetFlipped(false);
  ASSERT_TRUE(Enter(top));
  EXPECT_TRUE(tip->Flipped());
  EXPECT_EQ(ScreenRect(tip->window).left, 600 + FloorHalf(40 - top->tooltip->width) - 4);
  EXPECT_EQ(ScreenRect(tip->window).top, 2 + 16 + 3 + 9);
}

TEST_F(ToolTipScreen, DrawnTipShowsBorderBackgroundTitleColourAndText)
{
  SControl* control = Control(300, 300, "Option:\nToggle Midi Thru", kTipAbove);
  ASSERT_TRUE(Enter(control));
  const SToolTipData* data = control->tooltip;
  WindowImage image(tip->window);
  ASSERT_TRUE(image.Valid());
  ASSERT_EQ(image.width, data->width);
  const int h = image.height;
  EXPECT_EQ(image.At(0, h / 2), kBlack) << "border";
  EXPECT_EQ(image.At(image.width - 1, h / 2), kBlack);
  EXPECT_EQ(image.At(image.width / 2, 0), kBlack);
  EXPECT_EQ(image.At(3, h / 2), kWhite) << "background";
  // The title in red, the description in black, each in its own line.
  EXPECT_GT(image.Count(data->lineRects[0], kRed), 10);
  EXPECT_EQ(image.Count(data->lineRects[0], kBlack), 0);
  EXPECT_GT(image.Count(data->lineRects[1], kBlack), 20);
  EXPECT_EQ(image.Count(data->lineRects[1], kRed), 0);
}

TEST_F(ToolTipScreen, PanelStyledTipIsRoundedGreyWithOrangeTitleAndBoldSecondLine)
{
  PanelStyle();
  // The same word twice: the bold one lights more pixels.
  SControl* control = Control(300, 300, "Option:\nMMMM\nMMMM", kTipAbove);
  ASSERT_TRUE(Enter(control));
  const SToolTipData* data = control->tooltip;
  WindowImage image(tip->window);
  ASSERT_TRUE(image.Valid());
  const int w = image.width;
  const int h = image.height;
  EXPECT_EQ(image.At(3, h / 2), kSlate);
  EXPECT_EQ(image.At(0, h / 2), kBlack) << "border";
  EXPECT_EQ(image.At(w / 2, h - 3), kRed) << "arrow";
  EXPECT_GT(image.Count(data->lineRects[0], kOrange), 10);
  const int bold = image.Count(data->lineRects[1], kWhite);
  const int normal = image.Count(data->lineRects[2], kWhite);
  EXPECT_GT(normal, 10);
  EXPECT_GT(bold, normal);

  // The window's corners are cut away.
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(display, tip->window, ShapeBounding, &count, &ordering);
  bool cornerInside = false;
  for (int i = 0; i < count; ++i)
    if (rects[i].x == 0 && rects[i].y == 0 && rects[i].width > 0 && rects[i].height > 0)
      cornerInside = true;
  if (rects)
    XFree(rects);
  EXPECT_GT(count, 1);
  EXPECT_FALSE(cornerInside);
}

TEST_F(ToolTipScreen, ScreenshotOfATipIsWrittenAsPng)
{
  PanelStyle();
  SControl* control = Control(
      300, 300, "Option:\nSelect Delay\n   \n(after which the values\nare sent on plugin init)",
      kTipAbove);
  ASSERT_TRUE(Enter(control));
  WindowImage image(tip->window);
  ASSERT_TRUE(image.Valid());
  const std::string ppm = std::string(QUILLET_BINARY_DIR) + "/tooltip.ppm";
  const std::string png = std::string(QUILLET_BINARY_DIR) + "/tooltip.png";
  std::remove(png.c_str());
  ASSERT_TRUE(image.WritePpm(ppm));
  ASSERT_EQ(access("/usr/bin/convert", X_OK), 0) << "ImageMagick is installed by scripts/setup";
  const std::string command = "/usr/bin/convert '" + ppm + "' '" + png + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::remove(ppm.c_str());
  std::ifstream in(png, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

namespace {

// A panel as the editor draws it: the marker frame, then the tooltip's
// indicator square; a press inside the square switches tips (a quick
// second press arrives as a double click).
class IndicatorPanel : public SWindow
{
public:
  explicit IndicatorPanel(SGlobals* globals)
      : SWindow(globals, nullptr, globals->TopLevelId(), "Indicator", kStyleMarker, 100, 400, 200,
                100)
  {
  }
  void Draw(const Rect& rect) override
  {
    SWindow::Draw(rect);
    if (tip)
      tip->DrawTiprect(drawing);
    ++draws;
  }
  void MouseStateChanged(bool* flags, int code) override
  {
    SWindow::MouseStateChanged(flags, code);
    using namespace context;
    const bool press = code == kMouseLeftDown || code == kMouseRightDown ||
                       code == kMouseMiddleDown || code == kMouseLeftDouble ||
                       code == kMouseRightDouble || code == kMouseMiddleDouble;
    if (!press || !tip)
      return;
    Display* display = ActiveDisplay();
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask);
    if (tip->indicatorRect.Contains(Point{x, y})) {
      tip->ToggleTooltips();
      tip->DrawTiprect(drawing);
    }
  }
  SToolTip* tip = nullptr;
  std::atomic<int> draws{0};
};

uint32_t Rgb(Window window, int x, int y)
{
  return static_cast<uint32_t>(guitest::Pixel(window, x, y)) & 0xFFFFFFu;
}

} // namespace

TEST_F(ToolTipScreen, PressOnTheIndicatorSwitchesEveryControlAndRecoloursTheSquare)
{
  SGlobals panelGlobals;
  IndicatorPanel panel(&panelGlobals);
  panel.tip = new SToolTip(&panel, true);
  SControl* controls[4];
  for (int i = 0; i < 4; ++i) {
    controls[i] =
        new SControl(&panelGlobals, &panel, panelGlobals.NextId(), "c", 0, 20 + 30 * i, 40, 24, 14);
    panel.Add(controls[i]);
    controls[i]->Show();
    controls[i]->SetTooltip(panel.tip, "Action:\nSomething", kTipAbove);
  }
  panel.Show();
  ASSERT_TRUE(guitest::DeliverUntil([&] { return panel.draws > 0; }));
  guitest::DeliverPending();
  EXPECT_EQ(Rgb(panel.window, 5, 5), kBlue) << "tips off";
  EXPECT_EQ(Rgb(panel.window, 10, 10), kBlue) << "the square is larger than the marker's";

  auto press = [&] {
    MovePointer(100 + 5, 400 + 5);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
  };
  press();
  ASSERT_TRUE(guitest::DeliverUntil([&] { return panel.tip->TipsEnabled(); }));
  guitest::DeliverPending();
  EXPECT_EQ(Rgb(panel.window, 5, 5), kGreen);
  EXPECT_EQ(Rgb(panel.window, 10, 10), kGreen);
  EXPECT_EQ(Rgb(panel.window, 11, 11), kBlack) << "nothing outside the square";
  for (SControl* control : controls)
    EXPECT_TRUE(control->state & kStateTooltip);

  press();
  ASSERT_TRUE(guitest::DeliverUntil([&] { return !panel.tip->TipsEnabled(); }));
  guitest::DeliverPending();
  EXPECT_EQ(Rgb(panel.window, 5, 5), kBlue);
  for (SControl* control : controls)
    EXPECT_FALSE(control->state & kStateTooltip);
  // A redraw of the panel keeps the state.
  const int drawn = panel.draws;
  panel.Refresh();
  ASSERT_TRUE(guitest::DeliverUntil([&] { return panel.draws > drawn; }));
  EXPECT_EQ(Rgb(panel.window, 10, 10), kBlue);
  Park();
}

namespace {

// What the idle thread does to the panel while a countdown runs: switch one
// control's tip off and back as the other control's switch says, refresh
// both, and close the tip now and then.
struct IdleRefresher
{
  SControl* dial = nullptr;
  SControl* thru = nullptr;
  SToolTip* tip = nullptr;
  std::atomic<int> passes{0};
};

void RefreshFromIdle(void* argument)
{
  auto* refresher = static_cast<IdleRefresher*>(argument);
  const int pass = refresher->passes;
  const bool counting = pass % 3 == 0;
  refresher->dial->EnableTooltip(counting ? false : (refresher->thru->state & kStateTooltip) != 0);
  refresher->dial->Refresh();
  refresher->thru->Refresh();
  (void)refresher->tip->IndicatorColour();
  (void)refresher->tip->TipsEnabled();
  if (pass % 7 == 0)
    refresher->dial->CloseTip();
  ++refresher->passes;
}

} // namespace

TEST_F(ToolTipScreen, TipShownAndHiddenOnTheGuiThreadWhileTheIdleThreadRefreshesControls)
{
  SControl* dial = Control(300, 300, "Option:\nSelect Delay", kTipAbove);
  SControl* thru = Control(400, 300, "Option:\nToggle Midi Thru", kTipBelow);
  IdleRefresher refresher;
  refresher.dial = dial;
  refresher.thru = thru;
  refresher.tip = tip;
  void (*function)(void*) = RefreshFromIdle;
  owner->CreateIdleTimer(2, false);
  owner->CreateIdleFunction(&function, &refresher);

  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
  int round = 0;
  while (std::chrono::steady_clock::now() < until) {
    SControl* target = (round % 2) ? dial : thru;
    MovePointer(target == dial ? 320 : 420, 308);
    guitest::DeliverPending();
    MovePointer(350, 500);
    guitest::DeliverPending();
    if (round % 10 == 9) {
      tip->ToggleTooltips();
      tip->ToggleTooltips();
    }
    ++round;
  }
  owner->DestroyIdleFunction();
  owner->DestroyIdleTimer();
  guitest::DeliverPending();
  EXPECT_GT(refresher.passes, 10);
  EXPECT_GT(tip->opens, 5);
  EXPECT_TRUE(tip->TipsEnabled());
}
