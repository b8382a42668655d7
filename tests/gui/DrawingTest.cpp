// The drawing context, checked pixel by pixel with XGetImage.
#include <gtest/gtest.h>

#include "gui/SGlobals.h"
#include "gui/SImageLabel.h"
#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"
#include "gui/resources/TextLogo.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/testsupport/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <string>
#include <vector>

using namespace vexo::gui;
using namespace vexo::gui::context;
using guitest::Probe;

namespace {

// A control that draws whatever the test gives it on its next Expose.
class Canvas : public SWindow
{
public:
  Canvas(SGlobals* globals, int width, int height, int style = 0)
      : SWindow(globals, nullptr, 0, "canvas", style, 0, 0, width, height)
  {
  }
  void Draw(const Rect& rect) override
  {
    if (painter)
      painter(*drawing);
    else
      SWindow::Draw(rect);
    ++draws;
  }
  std::function<void(SDrawing&)> painter;
  int draws = 0;
};

class Drawing : public ::testing::Test
{
protected:
  void SetUp() override
  {
    display = guitest::Display();
    ASSERT_NE(display, nullptr) << "GUI tests run under scripts/xvfb-run-private";
    ASSERT_EQ(statdata.ColourCount(), 29);
    black = statdata.Colour(kColourBlack);
    white = statdata.Colour(kColourWhite);
  }

  // Shows the canvas and lets it paint once with the painter.
  void Paint(Canvas& canvas, std::function<void(SDrawing&)> painter)
  {
    canvas.painter = [painter, this](SDrawing& drawing) {
      drawing.SetPen(statdata.FindPen(black));
      drawing.SetBrush(statdata.FindBrush(black));
      drawing.FillRect(0, 0, 1000, 1000);
      painter(drawing);
    };
    const int before = canvas.draws;
    if (canvas.state & 0x4)
      canvas.Refresh();
    else
      canvas.Show();
    ASSERT_TRUE(guitest::DeliverUntil([&] { return canvas.draws > before; }));
    XSync(display, False);
  }

  // The pixels of the canvas that are not black, as a grid of '#' and '.'.
  std::vector<std::string> Grid(Canvas& canvas, int width, int height)
  {
    XImage* image = XGetImage(display, canvas.window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
      std::string row;
      for (int x = 0; x < width; ++x)
        row += XGetPixel(image, x, y) == static_cast<unsigned long>(black) ? '.' : '#';
      rows.push_back(row);
    }
    XDestroyImage(image);
    return rows;
  }

  Display* display = nullptr;
  SGlobals globals;
  int black = 0;
  int white = 0;
};

} // namespace

TEST_F(Drawing, DrawRectOutlinesPixelsZeroToNine)
{
  Canvas canvas(&globals, 20, 20);
  Paint(canvas, [&](SDrawing& d) {
    d.SetPen(statdata.FindPen(white));
    d.DrawRect(0, 0, 10, 10);
  });
  const auto grid = Grid(canvas, 12, 12);
  EXPECT_EQ(grid[0], "##########..");
  EXPECT_EQ(grid[1], "#........#..");
  EXPECT_EQ(grid[9], "##########..");
  EXPECT_EQ(grid[10], "............");
}

TEST_F(Drawing, FillRectCoversTenByTenPixels)
{
  Canvas canvas(&globals, 20, 20);
  Paint(canvas, [&](SDrawing& d) {
    d.SetBrush(statdata.FindBrush(white));
    d.FillRect(Rect{0, 0, 10, 10});
  });
  const auto grid = Grid(canvas, 12, 12);
  for (int y = 0; y < 10; ++y)
    EXPECT_EQ(grid[y], "##########..") << y;
  EXPECT_EQ(grid[10], "............");
}

TEST_F(Drawing, MarkerFrameOfStyle80000)
{
  Canvas canvas(&globals, 60, 40, 0x80000);
  canvas.SetColours(white, white, white, white, white, white, white);
  canvas.Show();
  ASSERT_TRUE(guitest::DeliverUntil([&] { return canvas.draws > 0; }));
  const auto blue = static_cast<unsigned long>(statdata.Colour(kColourBlue));
  const auto dark = static_cast<unsigned long>(black);
  const Window w = canvas.window;
  EXPECT_EQ(guitest::Pixel(w, 0, 0), blue) << "outline";
  EXPECT_EQ(guitest::Pixel(w, 59, 20), blue);
  EXPECT_EQ(guitest::Pixel(w, 30, 39), blue);
  EXPECT_EQ(guitest::Pixel(w, 5, 5), blue) << "corner square";
  EXPECT_EQ(guitest::Pixel(w, 9, 9), blue);
  EXPECT_EQ(guitest::Pixel(w, 10, 10), static_cast<unsigned long>(white));
  EXPECT_EQ(guitest::Pixel(w, 5, 20), dark) << "left band";
  EXPECT_EQ(guitest::Pixel(w, 55, 20), dark) << "right band";
  EXPECT_EQ(guitest::Pixel(w, 30, 5), dark) << "top band";
  EXPECT_EQ(guitest::Pixel(w, 30, 35), dark) << "bottom band";
  EXPECT_EQ(guitest::Pixel(w, 30, 20), static_cast<unsigned long>(white)) << "background";
}

TEST_F(Drawing, OutlinesOfStyle40000UseTheFrameColourByEnabledState)
{
  Canvas canvas(&globals, 30, 30, 0x40000);
  const int red = statdata.Colour(kColourRed);
  canvas.SetColours(black, black, black, white, white, white, white);
  canvas.SetFrameColour(red, white, statdata.Colour(kColourGreen));
  canvas.Show();
  ASSERT_TRUE(guitest::DeliverUntil([&] { return canvas.draws > 0; }));
  EXPECT_EQ(guitest::Pixel(canvas.window, 0, 15), static_cast<unsigned long>(red));
  canvas.Enable(false);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return canvas.draws > 1; }));
  EXPECT_EQ(guitest::Pixel(canvas.window, 0, 15),
            static_cast<unsigned long>(statdata.Colour(kColourGreen)));
}

TEST_F(Drawing, RotatedTextAtNinetyDegreesHasItsFirstCharacterAtTheBottom)
{
  SDrawFont font(14, false, false, false, nullptr);
  ASSERT_TRUE(font.Loaded());
  Canvas canvas(&globals, 60, 100);
  Paint(canvas, [&](SDrawing& d) {
    d.SetFont(&font);
    d.SetTextColour(white, false);
    d.SetForegroundColour(true);
    d.DrawRotatedText("MMM.", Rect{0, 0, 60, 100}, 90, 0, Point{0, 0});
  });
  const auto grid = Grid(canvas, 60, 100);
  int top = 100, bottom = -1, left = 60, right = -1;
  long count = 0, sumX = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 60; ++x)
      if (grid[y][x] == '#') {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        left = std::min(left, x);
        right = std::max(right, x);
        ++count;
        sumX += x;
      }
  ASSERT_GT(count, 20) << "something was drawn";
  EXPECT_GT(bottom - top, right - left) << "the text runs upwards";
  // The period, the last character, sits at the top, on the baseline side:
  // the tops of the glyphs face left, so the baseline is on the right.
  long periodCount = 0, periodX = 0;
  for (int y = top; y < top + 4; ++y)
    for (int x = left; x <= right; ++x)
      if (grid[y][x] == '#') {
        ++periodCount;
        periodX += x;
      }
  ASSERT_GT(periodCount, 0);
  EXPECT_GT(periodX * count, sumX * periodCount) << "the period lies right of the middle";
  // The Ms fill the lower part.
  int lowerHalf = 0, upperHalf = 0;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x)
      if (grid[y][x] == '#')
        (y > (top + bottom) / 2 ? lowerHalf : upperHalf)++;
  EXPECT_GT(lowerHalf, upperHalf);
}

TEST_F(Drawing, RotatedTextByAWholeTurnDrawsAsALabel)
{
  SDrawFont font(10, false, false, false, nullptr);
  ASSERT_TRUE(font.Loaded());
  std::vector<std::string> grids[3];
  const int angles[3] = {0, 360, -720};
  for (int i = 0; i < 3; ++i) {
    Canvas canvas(&globals, 80, 30);
    Paint(canvas, [&](SDrawing& d) {
      d.SetFont(&font);
      d.SetTextColour(white, false);
      if (i == 0)
        d.DrawLabel("Level", Rect{0, 0, 80, 30}, 0, Point{0, 0});
      else
        d.DrawRotatedText("Level", Rect{0, 0, 80, 30}, angles[i], 0, Point{0, 0});
    });
    grids[i] = Grid(canvas, 80, 30);
  }
  EXPECT_EQ(grids[1], grids[0]);
  EXPECT_EQ(grids[2], grids[0]);
  bool any = false;
  for (const auto& row : grids[0])
    any = any || row.find('#') != std::string::npos;
  EXPECT_TRUE(any);
}

TEST_F(Drawing, VerticalLabelTurnsAQuarterCounterClockwise)
{
  SDrawFont font(14, false, false, false, nullptr);
  Canvas canvas(&globals, 40, 80);
  Paint(canvas, [&](SDrawing& d) {
    d.SetFont(&font);
    d.SetTextColour(white, false);
    d.DrawVerticalLabel("MM.", Rect{0, 0, 40, 80}, 0, 0, Point{0, 0});
  });
  const auto grid = Grid(canvas, 40, 80);
  int top = 80, bottom = -1;
  for (int y = 0; y < 80; ++y)
    if (grid[y].find('#') != std::string::npos) {
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  ASSERT_GE(bottom, top);
  int lower = 0, upper = 0;
  for (int y = top; y <= bottom; ++y)
    for (char c : grid[y])
      if (c == '#')
        (y > (top + bottom) / 2 ? lower : upper)++;
  EXPECT_GT(lower, upper) << "the Ms at the bottom";
}

TEST_F(Drawing, LabelAlignmentFollowsTheFlags)
{
  SDrawFont font(10, false, false, false, nullptr);
  ASSERT_TRUE(font.Loaded());
  const int width = font.TextWidth("II");
  Canvas canvas(&globals, 100, 40);
  Paint(canvas, [&](SDrawing& d) {
    d.SetFont(&font);
    d.SetTextColour(white, false);
    d.DrawLabel("II", Rect{0, 0, 100, 40}, 1 | 2, Point{0, 0});
    d.DrawLabel("II", Rect{0, 0, 100, 40}, 4 | 8, Point{0, 0});
  });
  const auto grid = Grid(canvas, 100, 40);
  auto columns = [&](int y0, int y1) {
    int first = 100, last = -1;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < 100; ++x)
        if (grid[y][x] == '#') {
          first = std::min(first, x);
          last = std::max(last, x);
        }
    return std::make_pair(first, last);
  };
  const auto topText = columns(0, font.Ascent() + font.Descent());
  EXPECT_LT(topText.first, 3) << "left edge";
  const auto bottomText = columns(40 - font.Ascent() - font.Descent(), 40);
  EXPECT_GT(bottomText.second, 100 - 4) << "right edge";
  EXPECT_GE(bottomText.first, 100 - width - 1);
}

TEST_F(Drawing, PixelNumbersAreDrawnAsSegments)
{
  Canvas canvas(&globals, 40, 20);
  Paint(canvas, [&](SDrawing& d) {
    d.SetPen(statdata.FindPen(white));
    d.DrawPixelNumber(0, 0, 7);
    d.DrawPixelNumber(10, 0, 10); // not a digit: nothing
    d.DrawPixelNumber(20, 0, 4);
  });
  const auto grid = Grid(canvas, 30, 12);
  // 7: the top from x 1 to 5 at y 3 (the end point is left out), the right
  // side at x 5 from y 3 to 9.
  EXPECT_EQ(grid[3].substr(0, 7), ".#####.");
  EXPECT_EQ(grid[6].substr(0, 7), ".....#.");
  EXPECT_EQ(grid[8].substr(0, 7), ".....#.");
  for (const auto& row : grid)
    EXPECT_EQ(row.substr(10, 10), "..........");
  // 4: upper left at x 21 from y 3, the middle at y 6.
  EXPECT_EQ(grid[4][21], '#');
  EXPECT_EQ(grid[6].substr(21, 4), "####");
  EXPECT_EQ(grid[8][21], '.');
}

TEST_F(Drawing, BackgroundIsOnlyDrawnWithGlobals)
{
  Canvas canvas(&globals, 20, 20);
  Paint(canvas, [&](SDrawing& d) {
    d.SetBackground(white, true);
    d.DrawBackground(Rect{0, 0, 5, 5}, false);
    SDrawing bare(&canvas, nullptr);
    bare.SetBackground(white, true);
    bare.DrawBackground(Rect{10, 10, 15, 15}, false);
  });
  EXPECT_EQ(guitest::Pixel(canvas.window, 2, 2), static_cast<unsigned long>(white));
  EXPECT_EQ(guitest::Pixel(canvas.window, 12, 12), static_cast<unsigned long>(black));
}

TEST_F(Drawing, ColoursChangeByStateAndLogicNinetyNineIsCopy)
{
  Canvas canvas(&globals, 10, 10);
  SDrawing& d = *canvas.drawing;
  d.SetColours(1, 2, 3, 4, 5, 6, 7);
  EXPECT_EQ(d.GetBackgroundColour(), 1);
  EXPECT_EQ(d.SetBackgroundColour(true), 2);
  EXPECT_EQ(d.GetParentBackgroundColour(), 3);
  EXPECT_EQ(d.GetForegroundColour(), 4);
  d.SetForegroundColour(true);
  EXPECT_EQ(d.GetForegroundColour(), 5);
  EXPECT_EQ(d.GetTextColour(false), 6);
  EXPECT_EQ(d.GetTextColour(true), 7);
  EXPECT_EQ(d.GetFrameColour(true, false), 1);
  EXPECT_EQ(d.GetFrameColour(true, true), 1);
  EXPECT_EQ(d.GetFrameColour(false, true), static_cast<int>(SCOL(138, 145, 150)));
  d.SetLogic(1);
  XGCValues values{};
  XGetGCValues(display, d.GetDevice()->Get(), GCFunction, &values);
  EXPECT_EQ(values.function, GXxor);
  d.SetLogic(99);
  XGetGCValues(display, d.GetDevice()->Get(), GCFunction, &values);
  EXPECT_EQ(values.function, GXcopy);
  EXPECT_EQ(d.GetLogic(), 99);
}

TEST_F(Drawing, FontPatternsFollowTheSizeRules)
{
  const auto medium = SDrawFont::Patterns(12, false, false, nullptr);
  ASSERT_EQ(medium.size(), 8u) << "sizes 19 down to 13, then the fallback";
  EXPECT_EQ(medium.front(), "-adobe-helvetica-medium-r-normal--19-*-*-*-*-*-iso8859-1");
  EXPECT_EQ(medium[6], "-adobe-helvetica-medium-r-normal--13-*-*-*-*-*-iso8859-1");
  EXPECT_EQ(medium.back(), "-adobe-helvetica-bold-r-normal--34-*-*-*-*-*-iso8859-1");
  EXPECT_EQ(SDrawFont::Patterns(5, false, false, nullptr),
            (std::vector<std::string>{"-misc-fixed-medium-r-*--6-*-*-*-*-*-iso8859-1"}));
  EXPECT_EQ(SDrawFont::Patterns(8, true, true, nullptr),
            (std::vector<std::string>{"-adobe-helvetica-bold-o-*--10-*-*-*-*-*-iso8859-1"}));
  EXPECT_EQ(SDrawFont::Patterns(10, false, false, nullptr),
            (std::vector<std::string>{"-adobe-helvetica-medium-r-*--12-*-*-*-*-*-iso8859-1"}));
  EXPECT_EQ(SDrawFont::Patterns(12, true, true, "adobe-courier"),
            (std::vector<std::string>{"-adobe-courier-bold-i-bold--15-*-*-*-*-*-iso8859-1"}));
  EXPECT_EQ(SDrawFont::Patterns(20, true, true, nullptr).front(),
            "-adobe-helvetica-bold-r-normal--29-*-*-*-*-*-iso8859-1")
      << "italic is not asked for from 13 pixels on";

  SDrawFont twelve(12, false, false, false, nullptr);
  EXPECT_TRUE(twelve.Loaded());
  EXPECT_STREQ(twelve.name.Text(), medium.front().c_str()) << "the first pattern loads here";
  SDrawFont five(5, false, false, false, nullptr);
  EXPECT_TRUE(five.Loaded());
  EXPECT_EQ(five.Ascent() + five.Descent(), 6);
}

TEST_F(Drawing, LargeFontsFallBackWhenNoHelveticaIsInstalled)
{
  // A server whose font path has only the misc fonts.
  testsupport::XvfbServer server({"-fp", "/usr/share/fonts/X11/misc"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Display* small = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(small, nullptr);
  Display* own = dps;
  dps = small;
  {
    SDrawFont missing(12, false, false, false, nullptr);
    EXPECT_FALSE(missing.Loaded());
    EXPECT_STREQ(missing.name.Text(), "-adobe-helvetica-bold-r-normal--34-*-*-*-*-*-iso8859-1")
        << "every size and then the fallback were tried";
    SDrawFont fixed(5, false, false, false, nullptr);
    EXPECT_TRUE(fixed.Loaded());
    SDrawFont family(10, false, false, false, "no-such-family");
    EXPECT_FALSE(family.Loaded()) << "a family has no fallback";
  }
  dps = own;
  XCloseDisplay(small);
}

TEST_F(Drawing, TextWithoutALoadedFontDrawsNothing)
{
  SDrawFont none(10, false, false, false, "no-such-family");
  Canvas canvas(&globals, 40, 20);
  Paint(canvas, [&](SDrawing& d) {
    d.SetFont(&none);
    d.SetTextColour(white, false);
    d.DrawLabel("Text", Rect{0, 0, 40, 20}, 0, Point{0, 0});
    d.DrawText("Text", 0, 0);
    d.DrawRotatedText("Text", Rect{0, 0, 40, 20}, 90, 0, Point{0, 0});
    d.DrawPoly(nullptr, 3);
    const Point one[1] = {{1, 1}};
    d.DrawPoly(one, 1);
  });
  for (const auto& row : Grid(canvas, 40, 20))
    EXPECT_EQ(row, std::string(40, '.'));
}

TEST_F(Drawing, MemoryDeviceCopiesAnOffScreenBitmap)
{
  Canvas canvas(&globals, 30, 30);
  SDrawBitmap bitmap(nullptr, 8, 8, false);
  ASSERT_EQ(bitmap.Width(), 8);
  SDrawMemoryDevice memory(canvas.drawing->GetDevice(), &bitmap);
  XSetForeground(display, memory.Get(), static_cast<unsigned long>(white));
  XFillRectangle(display, memory.GetDrawable(), memory.Get(), 0, 0, 8, 8);
  Paint(canvas, [&](SDrawing& d) {
    d.DrawMemory(&memory, 10, 12, 0, 0, 4, 3);
    d.DrawMemory(nullptr, 0, 0, 0, 0, 4, 4);
  });
  const auto grid = Grid(canvas, 20, 20);
  EXPECT_EQ(grid[12].substr(9, 6), ".####.");
  EXPECT_EQ(grid[14].substr(9, 6), ".####.");
  EXPECT_EQ(grid[15].substr(9, 6), "......");
}

TEST_F(Drawing, UndecodableXpmLeavesAnEmptyBitmap)
{
  static const char* const broken[] = {"this is not", "an image"};
  SDrawBitmap bitmap(broken, 10, 10, false);
  EXPECT_EQ(bitmap.Pixmap(), 0u);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
}

TEST_F(Drawing, ImageLabelShowsTheLogoOnItsDarkSlateBackground)
{
  SImageLabel logo(&globals, nullptr, 0, "(QLTX) Label: Logo", 0, 0, 0, 50, 88);
  logo.LoadBackground(vexo::images::text_logo, 50, 88);
  ASSERT_NE(logo.Image(), nullptr);
  EXPECT_EQ(logo.Image()->Width(), 50);
  EXPECT_EQ(logo.Image()->Height(), 88);
  logo.Show();
  guitest::DeliverPending();
  XSync(display, False);
  const unsigned long slate = SCOL(77, 81, 84);
  EXPECT_EQ(guitest::Pixel(logo.window, 0, 0), slate);
  EXPECT_EQ(guitest::Pixel(logo.window, 49, 87), slate);
  // Yellow to orange text: some pixel with a strong red and no blue.
  XImage* image = XGetImage(display, logo.window, 0, 0, 50, 88, AllPlanes, ZPixmap);
  int warm = 0;
  for (int y = 0; y < 88; ++y)
    for (int x = 0; x < 50; ++x) {
      XColor colour{};
      colour.pixel = XGetPixel(image, x, y);
      XQueryColor(display, DefaultColormap(display, 0), &colour);
      if (colour.red > 0xE000 && colour.blue < 0x3000)
        ++warm;
    }
  XDestroyImage(image);
  EXPECT_GT(warm, 100);
}

TEST_F(Drawing, ImageLabelWithoutImageDrawsNothingAndReportsPresses)
{
  SImageLabel label(&globals, nullptr, 0, "label", 0, 0, 0, 20, 20);
  Probe listener(&globals, nullptr, 1, 0, 0, 0, 10, 10);
  label.AddEventListener(&listener, 3);
  label.Draw(Rect{0, 0, 20, 20}); // no image: no drawing, no crash
  for (unsigned button : {3u, 1u, 2u}) {
    XEvent press{};
    press.xbutton.type = ButtonPress;
    press.xbutton.display = display;
    press.xbutton.window = label.window;
    press.xbutton.button = button;
    press.xbutton.time = 1000 * button;
    SControl::eventProc(&press);
    XEvent release = press;
    release.xbutton.type = ButtonRelease;
    SControl::eventProc(&release);
  }
  ASSERT_EQ(listener.events.size(), 3u);
  EXPECT_EQ(listener.events[0].value, 3);
  EXPECT_EQ(listener.events[0].kind, 1);
  EXPECT_EQ(listener.events[0].code, 3);
  EXPECT_EQ(listener.events[1].value, 1);
  EXPECT_EQ(listener.events[2].value, 2);
}
