// The shared resources: the colour table, the caches, the id rules and the
// cursors.
#include <gtest/gtest.h>

#include "gui/SCursor.h"
#include "gui/SGlobals.h"
#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawPen.h"
#include "tests/gui/GuiTestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <vector>

using namespace vexo::gui;
using namespace vexo::gui::context;

namespace {

class SharedResources : public ::testing::Test
{
protected:
  void SetUp() override
  {
    display = guitest::Display();
    ASSERT_NE(display, nullptr) << "GUI tests run under scripts/xvfb-run-private";
  }

  // The image of the cursor shown while the pointer is over the window.
  std::vector<unsigned long> CursorOver(Window window, int* hotX = nullptr, int* hotY = nullptr,
                                        int* width = nullptr)
  {
    XWarpPointer(display, None, window, 0, 0, 0, 0, 5, 5);
    XSync(display, False);
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    std::vector<unsigned long> pixels;
    if (!image)
      return pixels;
    pixels.assign(image->pixels, image->pixels + image->width * image->height);
    if (hotX)
      *hotX = image->xhot;
    if (hotY)
      *hotY = image->yhot;
    if (width)
      *width = image->width;
    XFree(image);
    return pixels;
  }

  Display* display = nullptr;
};

} // namespace

TEST_F(SharedResources, ColourTableHasTheTwentyNineColoursInOrder)
{
  EXPECT_EQ(statdata.ColourCount(), 29);
  EXPECT_EQ(statdata.Colour(kColourBlack), static_cast<int>(SCOL(0, 0, 0)));
  EXPECT_EQ(statdata.Colour(kColourBlue), static_cast<int>(SCOL(0, 0, 255)));
  EXPECT_EQ(statdata.Colour(kColourDarkSlate), static_cast<int>(SCOL(77, 81, 84)));
  EXPECT_EQ(statdata.Colour(kColourWhite), static_cast<int>(SCOL(255, 255, 255)));
  EXPECT_EQ(statdata.Colour(kColourGraphite), static_cast<int>(SCOL(90, 90, 90)));
  EXPECT_EQ(statdata.Colour(kColourOrange), static_cast<int>(SCOL(255, 128, 0)));
  statdata.AddColours();
  EXPECT_EQ(statdata.ColourCount(), 29) << "the table is full";
  EXPECT_EQ(statdata.Colour(0), static_cast<int>(SCOL(255, 255, 255)));
}

TEST_F(SharedResources, SameColourTwiceGivesOneBrushAndOnePen)
{
  const int colour = static_cast<int>(SCOL(12, 34, 56));
  const size_t brushes = statdata.BrushCount();
  SDrawBrush* first = statdata.FindBrush(colour);
  SDrawBrush* second = statdata.FindBrush(colour);
  EXPECT_EQ(first, second);
  EXPECT_EQ(statdata.BrushCount(), brushes + 1);
  EXPECT_EQ(first->style, -1);
  EXPECT_EQ(first->colour, static_cast<unsigned long>(colour));

  const size_t pens = statdata.PenCount();
  SDrawPen* pen = statdata.FindPen(colour);
  EXPECT_EQ(statdata.FindPen(colour), pen);
  EXPECT_EQ(statdata.PenCount(), pens + 1);
  EXPECT_EQ(pen->width, 1);
  EXPECT_FALSE(pen->dashed);

  const size_t fonts = statdata.FontCount();
  SDrawFont* font = statdata.FindFont(9);
  EXPECT_EQ(statdata.FindFont(9), font);
  EXPECT_EQ(statdata.FontCount(), fonts + 1);
  EXPECT_FALSE(font->bold);
}

TEST_F(SharedResources, TopLevelWindowsRestartTheChildIds)
{
  SGlobals globals;
  EXPECT_EQ(globals.TopLevelId(), 0);
  EXPECT_EQ(globals.NextId(), 1);
  EXPECT_EQ(globals.NextId(), 2);
  EXPECT_EQ(globals.NextId(), 3);
  EXPECT_EQ(globals.TopLevelId(), 3) << "the number of children made so far";
  EXPECT_EQ(globals.NextId(), 1);
}

TEST_F(SharedResources, ControlTimersDrawTheirIdsFromTheGlobals)
{
  SGlobals globals;
  guitest::Probe control(&globals, nullptr, globals.TopLevelId(), 0, 0, 0, 10, 10);
  control.CreateTimer(1000, false);
  EXPECT_EQ(control.timerId, 1);
  EXPECT_NE(control.style & 0x100000, 0);
  control.CreateTimer(1000, false);
  EXPECT_EQ(control.timerId, 2);
  control.StopTimer(true);
  EXPECT_EQ(control.timerId, 0);
  EXPECT_EQ(control.timer, nullptr);
}

TEST_F(SharedResources, CursorTypesShowTheirShapes)
{
  const Window window = guitest::HostWindow(60, 60);
  auto shapeOf = [&](unsigned type) {
    SCursor cursor(type, window);
    return CursorOver(window);
  };
  auto fontCursor = [&](unsigned shape) {
    const Cursor cursor = XCreateFontCursor(display, shape);
    XDefineCursor(display, window, cursor);
    auto pixels = CursorOver(window);
    XUndefineCursor(display, window);
    XFreeCursor(display, cursor);
    return pixels;
  };
  const auto hand = fontCursor(60);
  const auto watch = fontCursor(150);
  const auto arrow = fontCursor(68);
  EXPECT_NE(hand, arrow);
  EXPECT_EQ(shapeOf(2), hand);
  EXPECT_EQ(shapeOf(3), watch);
  EXPECT_EQ(shapeOf(1), arrow);
  EXPECT_EQ(shapeOf(7), arrow);
  {
    SCursor invisible(0, window);
    EXPECT_EQ(invisible.invisible, 1);
    for (unsigned long pixel : CursorOver(window))
      EXPECT_EQ(pixel >> 24, 0u) << "fully transparent";
    invisible.Free();
    EXPECT_EQ(invisible.invisible, 0);
  }
  guitest::DestroyHostWindow(window);
}

TEST_F(SharedResources, DefaultCursorIsABlackOutlinedOrangeArrowWithItsHotSpotAtTheTip)
{
  const Window window = guitest::HostWindow(60, 60);
  {
    SCursorDefault cursor;
    cursor.window = window;
    cursor.CreateDefault();
    ASSERT_NE(cursor.cursor, 0u);
    EXPECT_FALSE(cursor.set);
    cursor.Set();
    EXPECT_TRUE(cursor.set);
    int hotX = -1, hotY = -1, width = 0;
    const auto pixels = CursorOver(window, &hotX, &hotY, &width);
    EXPECT_EQ(hotX, 0);
    EXPECT_EQ(hotY, 0);
    EXPECT_EQ(width, 24);
    int orange = 0, black = 0;
    for (unsigned long pixel : pixels) {
      orange += (pixel & 0xFFFFFFFFul) == 0xFFFF7F00ul;
      black += (pixel & 0xFFFFFFFFul) == 0xFF000000ul;
    }
    EXPECT_GT(orange, 50);
    EXPECT_GT(black, 30);
    cursor.Free();
    EXPECT_FALSE(cursor.set);
  }
  guitest::DestroyHostWindow(window);
}

TEST_F(SharedResources, CursorWithoutAWindowDoesNothing)
{
  SCursorDefault cursor;
  cursor.CreateDefault();
  cursor.Set();
  EXPECT_FALSE(cursor.set);
  cursor.Free();
}
