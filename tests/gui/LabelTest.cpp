// Labels: the text layout (single and multi-line, the block and the
// alignment flags), drawing with and without the rounded style, outlines,
// highlight, and the press reports.
#include <gtest/gtest.h>

#include "gui/SLabel.h"
#include "gui/SStaticData.h"
#include "gui/context/SDrawFont.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/WidgetTestSupport.h"

#include <X11/Xlib.h>

using namespace vexo::gui;
using guitest::Probe;

namespace {

class Labels : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_NE(guitest::Display(), nullptr) << "GUI tests run under scripts/xvfb-run-private";
    ASSERT_EQ(statdata.ColourCount(), 29);
    font = statdata.FindFont(8);
    ASSERT_TRUE(font->Loaded());
    lineHeight = font->Ascent() + font->Descent();
    panel.SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourDarkSlate), C(kColourWhite),
                     C(kColourWhite), C(kColourWhite), C(kColourWhite));
    panel.Show();
  }

  static int C(int index) { return statdata.Colour(index); }

  SLabel<false>* MakeLabel(int x, int y, int w, int h, int style = 0)
  {
    auto* label = new SLabel<false>(&globals, &panel, static_cast<unsigned>(globals.NextId()),
                                    "label", style, x, y, w, h);
    panel.Add(label);
    return label;
  }

  SGlobals globals;
  Probe panel{&globals, nullptr, 0, 0, 100, 100, 300, 200};
  context::SDrawFont* font = nullptr;
  int lineHeight = 0;
};

} // namespace

TEST_F(Labels, TextWithoutAFontIsNotStored)
{
  SLabel<false>* label = MakeLabel(0, 0, 40, 16);
  label->SetLabel("Thru");
  EXPECT_STREQ(label->GetLabel().Text(), "");
  EXPECT_TRUE(label->lines.empty());
  label->SetColours(C(kColourBlack), C(kColourBlack), C(kColourBlack), 0, 0, 0, 0);
  label->SetLabelColours(C(kColourWhite), C(kColourWhite));
  label->Show();
  ASSERT_TRUE(guitest::DeliverUntil([&] {
    return guitest::Pixel(label->window, 20, 8) == static_cast<unsigned long>(C(kColourBlack));
  }));
  EXPECT_EQ(widgettest::CountColour(label->window, 40, 16, C(kColourWhite)), 0)
      << "nothing is drawn";
}

TEST_F(Labels, SingleLineFillsTheControlAndFollowsItsSize)
{
  SLabel<false>* label = MakeLabel(0, 0, 40, 16);
  label->SetLabel("Resend", font, 0);
  ASSERT_EQ(label->lines.size(), 1u);
  EXPECT_STREQ(label->lines[0].Text(), "Resend");
  EXPECT_EQ(label->lineRects, (std::vector<Rect>{Rect{0, 0, 40, 16}}));
  EXPECT_EQ(label->textWidth, 1) << "a single line is not measured";
  label->SetSize(60, 20);
  EXPECT_EQ(label->lineRects, (std::vector<Rect>{Rect{0, 0, 60, 20}}));
}

TEST_F(Labels, EmptyMiddleLineIsMeasuredButNotLaidOut)
{
  SLabel<false>* label = MakeLabel(0, 0, 100, 60);
  label->SetLabel("Top\n\nBottom", font, 0);
  EXPECT_EQ(label->textHeight, 3 * lineHeight) << "the empty line is as tall as the first";
  EXPECT_EQ(label->textWidth, font->TextWidth("Bottom"));
  ASSERT_EQ(label->lines.size(), 2u);
  EXPECT_STREQ(label->lines[0].Text(), "Top");
  EXPECT_STREQ(label->lines[1].Text(), "Bottom");
  const int tw = label->textWidth;
  const int th = label->textHeight;
  const int left = (100 - tw) >> 1;
  const int top = (60 - th) >> 1;
  const int step = th / 2;
  EXPECT_EQ(label->lineRects, (std::vector<Rect>{Rect{left, top, left + tw, top + step},
                                                 Rect{left, top + step, left + tw, top + th}}));
}

TEST_F(Labels, EmptyFirstLineTakesTheHeightOfW)
{
  SLabel<false>* label = MakeLabel(0, 0, 100, 60);
  label->SetLabel("\nA", font, 0);
  int width = 0, ascent = 0, descent = 0;
  font->TextExtents("W", width, ascent, descent);
  EXPECT_EQ(label->textHeight, 2 * (ascent + descent));
  EXPECT_EQ(label->lines.size(), 1u);
  EXPECT_EQ(label->lineRects.size(), 1u);
}

TEST_F(Labels, AlignmentFlagsPlaceTheBlock)
{
  const int W = 120;
  const int H = 80;
  SLabel<false>* label = MakeLabel(0, 0, W, H);
  struct Case
  {
    int flags;
    int left;
    int top;
  };
  label->SetLabel("One\nTwo\nThree", font, 0);
  const int tw = label->textWidth;
  const int th = label->textHeight;
  ASSERT_GT(tw, 1);
  ASSERT_EQ(th, 3 * lineHeight);
  const Case cases[] = {
      {4, W - tw, (H - th) >> 1}, // right edge, vertically centred
      {12, W - tw, H - th},       // bottom right
      {9, 0, 0},                  // 8 keeps the place the left flag gave: top left
      {5, W - tw, (H - th) >> 1}, // 4 wins over 1
      {2, (W - tw) >> 1, 0},      // centred, at the top
  };
  for (const Case& c : cases) {
    label->SetLabel("One\nTwo\nThree", font, c.flags);
    ASSERT_EQ(label->lineRects.size(), 3u) << c.flags;
    const int step = th / 3;
    EXPECT_EQ(label->lineRects[0], (Rect{c.left, c.top, c.left + tw, c.top + step})) << c.flags;
    EXPECT_EQ(label->lineRects[2], (Rect{c.left, c.top + 2 * step, c.left + tw, c.top + th}))
        << c.flags;
  }
}

TEST_F(Labels, BlockLargerThanTheControlRoundsTowardMinusInfinity)
{
  const std::vector<Rect> rects = SLabel<false>::LayOutLines(0, 10, 10, 15, 15, 2);
  // (10 - 15) >> 1 is -3, not -2.
  EXPECT_EQ(rects, (std::vector<Rect>{Rect{-3, -3, 12, 4}, Rect{-3, 4, 12, 12}}));
}

TEST_F(Labels, RedrawLabelKeepsTheMeasuresAfterAResize)
{
  SLabel<false>* label = MakeLabel(0, 0, 100, 60);
  label->SetLabel("A\nBB", font, 4);
  const int tw = label->textWidth;
  const int th = label->textHeight;
  label->SetSize(200, 100);
  ASSERT_EQ(label->lineRects.size(), 2u);
  EXPECT_EQ(label->lineRects[0].left, 200 - tw);
  EXPECT_EQ(label->lineRects[1].bottom, ((100 - th) >> 1) + th);
  label->SetAlignment(1);
  EXPECT_EQ(label->lineRects[0].left, 200 - tw) << "SetAlignment does not lay out again";
}

TEST_F(Labels, PlainLabelDrawsBackgroundTextAndFrame)
{
  SLabel<false>* label = MakeLabel(10, 10, 80, 30, kStyleFrame);
  label->SetColours(C(kColourBlack), C(kColourBlack), C(kColourDarkSlate), 0, 0, 0, 0);
  label->SetFrameColour(C(kColourRed), C(kColourRed), C(kColourGrey));
  label->SetLabel("Label", font, 0);
  label->SetLabelColours(C(kColourYellow), C(kColourGrey));
  label->Show();
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return widgettest::CountColour(label->window, 80, 30, C(kColourYellow)) > 10; }));
  EXPECT_EQ(guitest::Pixel(label->window, 0, 15), static_cast<unsigned long>(C(kColourRed)))
      << "the frame";
  EXPECT_EQ(guitest::Pixel(label->window, 79, 15), static_cast<unsigned long>(C(kColourRed)));
  EXPECT_EQ(guitest::Pixel(label->window, 3, 3), static_cast<unsigned long>(C(kColourBlack)));
  widgettest::SavePng(*label, "label");

  label->Enable(false);
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return widgettest::CountColour(label->window, 80, 30, C(kColourYellow)) == 0; }));
  EXPECT_GT(widgettest::CountColour(label->window, 80, 30, C(kColourGrey)), 10)
      << "disabled text colour (and frame)";
}

TEST_F(Labels, RoundedLabelLeavesTheCornersToTheParentBackground)
{
  SLabel<false>* label = MakeLabel(10, 50, 80, 30, kStyleRounded);
  label->SetColours(C(kColourBlue), C(kColourBlue), C(kColourGreen), 0, 0, 0, 0);
  label->SetLabel("", font, 0);
  label->Show();
  ASSERT_TRUE(guitest::DeliverUntil([&] {
    return guitest::Pixel(label->window, 40, 15) == static_cast<unsigned long>(C(kColourBlue));
  }));
  EXPECT_EQ(guitest::Pixel(label->window, 0, 0), static_cast<unsigned long>(C(kColourGreen)));
  EXPECT_EQ(guitest::Pixel(label->window, 79, 29), static_cast<unsigned long>(C(kColourGreen)));
}

TEST_F(Labels, HighlightDrawsTheOutlineInItsColourOnlyWhenTheStateChanges)
{
  SLabel<false>* label = MakeLabel(10, 90, 60, 20);
  label->SetColours(C(kColourBlack), C(kColourBlack), C(kColourBlack), 0, 0, 0, 0);
  label->Show();
  guitest::DeliverPending();
  label->Highlight(true, C(kColourMagenta), 5, 5);
  EXPECT_TRUE(label->highlighted);
  ASSERT_TRUE(guitest::DeliverUntil([&] {
    return guitest::Pixel(label->window, 0, 10) == static_cast<unsigned long>(C(kColourMagenta));
  }));
  label->Highlight(true, C(kColourCyan), 0, 0);
  EXPECT_EQ(label->highlightColour, C(kColourCyan)) << "the colour is always stored";
  guitest::DeliverPending();
  EXPECT_EQ(guitest::Pixel(label->window, 0, 10), static_cast<unsigned long>(C(kColourMagenta)))
      << "no redraw without a change of state";
}

TEST_F(Labels, PressesReportTheMouseButton)
{
  SLabel<false>* label = MakeLabel(100, 10, 60, 20);
  label->AddEventListener(&panel, kEventValue);
  label->Show();
  guitest::DeliverPending();
  for (unsigned button : {1u, 3u, 2u}) {
    widgettest::Click(*label, 30, 10, button);
    // Keep the presses apart so that none counts as a double press.
    guitest::DeliverPending();
  }
  ASSERT_TRUE(guitest::DeliverUntil([&] { return panel.events.size() >= 3; }));
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(panel.events[0].sender, label);
  EXPECT_EQ(panel.events[0].kind, kPayloadValue);
}
