// The dial: range operations, dragging thresholds with the left and right
// buttons, the middle click, the wheel, Ctrl+click reset, presses outside
// the handle zone, the value text and drawing through its buffer; all with
// real pointer input delivered through the event procedure.
#include <gtest/gtest.h>

#include "gui/SDial.h"
#include "gui/SStaticData.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SInput.h"
#include "gui/resources/TextLogo.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/WidgetTestSupport.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>

using namespace vexo::gui;
using guitest::Probe;

namespace {

class Dials : public ::testing::Test
{
protected:
  static constexpr int kW = 40;
  static constexpr int kH = 16;

  void SetUp() override
  {
    ASSERT_NE(guitest::Display(), nullptr) << "GUI tests run under scripts/xvfb-run-private";
    ASSERT_EQ(statdata.ColourCount(), 29);
    font = statdata.FindFont(8);
    panel.SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourDarkSlate), C(kColourWhite),
                     C(kColourWhite), C(kColourWhite), C(kColourWhite));
    panel.Show();
    widgettest::PointAt(panel, 290, 190);
    guitest::DeliverPending();
  }

  void TearDown() override
  {
    // No button stays down for the next test.
    for (unsigned button : {1u, 2u, 3u})
      widgettest::Release(button);
    guitest::DeliverPending();
  }

  static int C(int index) { return statdata.Colour(index); }
  static unsigned long U(int index) { return static_cast<unsigned long>(C(index)); }

  // A dial as the panel makes its strip dials.
  SDial<int>* MakeDial(int value, int min, int max, int def, int x = 50, int y = 50)
  {
    auto* dial = new SDial<int>(&globals, &panel, static_cast<unsigned>(globals.NextId()), "dial",
                                0x30, x, y, kW, kH, false, true, 0, value, min, max, def);
    dial->SetColours(C(kColourBlack), C(kColourBlack), C(kColourBlack), C(kColourWhite),
                     C(kColourWhite), C(kColourWhite), C(kColourWhite));
    dial->SetLabel("", font, 0);
    dial->SetValueFont(font);
    dial->SetLabelColours(C(kColourWhite), C(kColourGrey));
    dial->SetHoverColours(C(kColourGrey), C(kColourYellow));
    dial->SetControlColours(C(kColourBlack), C(kColourBlack), C(kColourBlack), C(kColourBlue));
    dial->AddEventListener(&panel, kEventDial);
    dial->Show();
    panel.Add(dial);
    guitest::DeliverPending();
    return dial;
  }

  // Presses a button over the dial at (x, y) and remembers where.
  void PressAt(SDial<int>& dial, int x, int y, unsigned button)
  {
    widgettest::PointAt(dial, x, y);
    ASSERT_TRUE(widgettest::DeliverUntilAt(dial, x, y));
    widgettest::Press(button);
    guitest::DeliverPending();
    pressedX = x;
    pressedY = y;
  }

  // Moves the pointer to dy pixels below the press (negative: above) and
  // delivers the motion before returning.
  void DragTo(SDial<int>& dial, int dy)
  {
    const Point at = widgettest::OnScreen(dial, pressedX, pressedY + dy);
    widgettest::MovePointer(at.x, at.y);
    ASSERT_TRUE(widgettest::DeliverUntilAt(dial, pressedX, pressedY + dy));
  }

  void ClickAt(SDial<int>& dial, int x, int y, unsigned button)
  {
    PressAt(dial, x, y, button);
    widgettest::Release(button);
    guitest::DeliverPending();
  }

  std::vector<int> Events() const { return widgettest::Values(panel, kEventDial); }

  SGlobals globals;
  Probe panel{&globals, nullptr, 0, 0, 100, 100, 300, 200};
  context::SDrawFont* font = nullptr;
  int pressedX = 0;
  int pressedY = 0;
};

} // namespace

TEST(DialRange, DefaultStaysInsideTheBoundsAndTheMiddleFollowsThem)
{
  SIControllable<int> range;
  range.SetValueRange(0, 128, 200);
  EXPECT_EQ(range.GetValueDef(), 128);
  EXPECT_EQ(range.GetValueMed(), 64);
  EXPECT_FLOAT_EQ(range.normFactor, 1.0f / 128.0f);
  range.SetValueMax(100);
  EXPECT_EQ(range.GetValueDef(), 100);
  EXPECT_EQ(range.GetValueMed(), 50);
  range.SetValueMin(-11);
  EXPECT_EQ(range.GetValueMed(), -11 + (111 >> 1));
  EXPECT_EQ(range.GetValueRange(), 111);
  EXPECT_TRUE(range.SetValueMed());
  EXPECT_EQ(range.GetValue(), 44);
  EXPECT_FALSE(range.SetValueMed());
  EXPECT_TRUE(range.SetValueClipped(1000));
  EXPECT_EQ(range.GetValue(), 100);
  range.SetValueRange(5, 5, 0);
  EXPECT_FLOAT_EQ(range.normFactor, 1.0f) << "an empty range";
  EXPECT_EQ(range.GetValueDef(), 5);
}

TEST_F(Dials, ConstructorStoresTheValueUnclippedAndClipsTheDefault)
{
  SDial<int>* dial = MakeDial(1200, 0, 999, -4);
  EXPECT_EQ(dial->GetValue(), 1200);
  EXPECT_EQ(dial->GetValueDef(), 0);
  EXPECT_EQ(dial->GetValueMed(), 499);
  EXPECT_EQ(dial->tableSize, 1000);
  EXPECT_EQ(dial->initialValue, 1200);
  EXPECT_TRUE(dial->style & kStyleOutlineOnHover);
  EXPECT_TRUE(dial->style & kStyleAutoCapture);
  EXPECT_EQ(dial->handleZone, (Rect{0, 0, kW, kH}));
  EXPECT_EQ(dial->type, kControlZone);
}

TEST_F(Dials, LeftDragStepsOnlyPastTheThreshold)
{
  SDial<int>* dial = MakeDial(500, 0, 999, 0);
  PressAt(*dial, 20, 8, 1);
  EXPECT_EQ(capture.load(), dial);
  DragTo(*dial, -5);
  EXPECT_EQ(dial->GetValue(), 500) << "5 pixels do nothing";
  DragTo(*dial, -6);
  EXPECT_EQ(dial->GetValue(), 501) << "the sixth pixel steps";
  DragTo(*dial, -36);
  EXPECT_EQ(dial->GetValue(), 502) << "a jump of 30 pixels steps once";
  DragTo(*dial, -31);
  EXPECT_EQ(dial->GetValue(), 502) << "moving back down by 5 pixels";
  DragTo(*dial, -30);
  EXPECT_EQ(dial->GetValue(), 501) << "down lowers";
  EXPECT_EQ(Events(), (std::vector<int>{501, 502, 501}));
}

TEST_F(Dials, RightDragNeedsMoreThanTwelvePixels)
{
  SDial<int>* dial = MakeDial(10, 0, 999, 0);
  PressAt(*dial, 20, 8, 3);
  DragTo(*dial, 12);
  EXPECT_EQ(dial->GetValue(), 10);
  DragTo(*dial, 13);
  EXPECT_EQ(dial->GetValue(), 9);
  EXPECT_EQ(Events(), (std::vector<int>{9}));
}

TEST_F(Dials, UnsteppedLeftDragMovesByThePixels)
{
  SDial<int>* dial = MakeDial(100, 0, 999, 0);
  dial->leftDragStepped = false;
  PressAt(*dial, 20, 8, 1);
  DragTo(*dial, -3);
  EXPECT_EQ(dial->GetValue(), 103);
  DragTo(*dial, 7);
  EXPECT_EQ(dial->GetValue(), 93);
  EXPECT_EQ(Events(), (std::vector<int>{103, 93}));
}

TEST_F(Dials, AtTheBottomOfTheRangeNoStepAndNoEvent)
{
  SDial<int>* dial = MakeDial(0, 0, 999, 0);
  PressAt(*dial, 20, 8, 1);
  DragTo(*dial, 6);
  DragTo(*dial, 20);
  widgettest::Release(1);
  guitest::DeliverPending();
  ClickAt(*dial, 20, 8, 5); // wheel down
  EXPECT_EQ(dial->GetValue(), 0);
  EXPECT_TRUE(Events().empty());
  ClickAt(*dial, 20, 8, 4); // wheel up
  EXPECT_EQ(dial->GetValue(), 1);
  EXPECT_EQ(Events(), (std::vector<int>{1}));
}

TEST_F(Dials, MiddleClickStepsTowardTheClickedHalf)
{
  SDial<int>* dial = MakeDial(127, 0, 128, 0);
  ClickAt(*dial, 30, 8, 2);
  EXPECT_EQ(dial->GetValue(), 128);
  // Far enough apart in time not to count as a double click either way.
  guitest::DeliverPending();
  ClickAt(*dial, 31, 8, 2);
  EXPECT_EQ(dial->GetValue(), 128) << "already at the top";
  EXPECT_EQ(Events(), (std::vector<int>{128}));
  ClickAt(*dial, 20, 8, 2);
  EXPECT_EQ(dial->GetValue(), 127) << "the middle itself counts as the left half";
  EXPECT_EQ(Events(), (std::vector<int>{128, 127}));
}

TEST_F(Dials, AWrappingDialStepsFromOneEndOfItsRangeToTheOther)
{
  SDial<int>* dial = MakeDial(1, 0, 2, 0);
  dial->wrapsAround = true;
  ClickAt(*dial, 30, 8, 2);
  EXPECT_EQ(dial->GetValue(), 2);
  guitest::DeliverPending();
  ClickAt(*dial, 31, 8, 2);
  EXPECT_EQ(dial->GetValue(), 0) << "past the top comes the bottom";
  guitest::DeliverPending();
  ClickAt(*dial, 20, 8, 2);
  EXPECT_EQ(dial->GetValue(), 2) << "and below the bottom the top";
  ClickAt(*dial, 20, 8, 4); // wheel up
  EXPECT_EQ(dial->GetValue(), 0);
  ClickAt(*dial, 20, 8, 5); // wheel down
  EXPECT_EQ(dial->GetValue(), 2);
  EXPECT_EQ(Events(), (std::vector<int>{2, 0, 2, 0, 2}));
}

TEST_F(Dials, CtrlClickResetsToTheDefaultAndSendsTheValue)
{
  SDial<int>* dial = MakeDial(7, 0, 16, 0);
  widgettest::Key(XK_Control_L, true);
  ClickAt(*dial, 20, 8, 1);
  widgettest::Key(XK_Control_L, false);
  guitest::DeliverPending();
  EXPECT_EQ(dial->GetValue(), 0);
  EXPECT_EQ(Events(), (std::vector<int>{0}));
  char buffer[16];
  EXPECT_STREQ(dial->ValueText(buffer, sizeof buffer), "0");

  widgettest::Key(XK_Control_L, true);
  ClickAt(*dial, 20, 8, 1);
  widgettest::Key(XK_Control_L, false);
  guitest::DeliverPending();
  EXPECT_EQ(Events(), (std::vector<int>{0})) << "no event when nothing changed";
}

TEST_F(Dials, PressOutsideTheHandleZoneChangesNothingAndReleasesTheCapture)
{
  SDial<int>* dial = MakeDial(50, 0, 100, 0);
  dial->SetHandleZone(Rect{0, 0, 10, kH});
  PressAt(*dial, 30, 8, 1);
  EXPECT_EQ(capture.load(), nullptr);
  EXPECT_FALSE(dial->MouseState()[context::kMouseCaptured]);
  widgettest::MovePointer(widgettest::OnScreen(*dial, 30, -20).x,
                          widgettest::OnScreen(*dial, 30, -20).y);
  guitest::DeliverPending();
  widgettest::Release(1);
  guitest::DeliverPending();
  ClickAt(*dial, 30, 8, 2);
  widgettest::Key(XK_Control_L, true);
  ClickAt(*dial, 30, 8, 1);
  widgettest::Key(XK_Control_L, false);
  guitest::DeliverPending();
  EXPECT_EQ(dial->GetValue(), 50);
  EXPECT_TRUE(Events().empty());

  PressAt(*dial, 10, 8, 1);
  EXPECT_EQ(capture.load(), dial) << "the zone's edge belongs to it";
}

TEST_F(Dials, WithoutMouseInputTheDialIgnoresEverything)
{
  SDial<int>* dial = MakeDial(50, 0, 100, 0);
  dial->mouseInput = false;
  PressAt(*dial, 20, 8, 1);
  DragTo(*dial, -20);
  widgettest::Release(1);
  ClickAt(*dial, 30, 8, 2);
  ClickAt(*dial, 30, 8, 4);
  EXPECT_EQ(dial->GetValue(), 50);
  EXPECT_TRUE(Events().empty());
}

TEST_F(Dials, SetValueRedrawsButSendsNothing)
{
  SDial<int>* dial = MakeDial(3, 0, 10, 0);
  EXPECT_FALSE(dial->SetValue(3, true));
  EXPECT_TRUE(dial->SetValue(4, true));
  EXPECT_TRUE(dial->SetValue(40, false)) << "not clipped";
  EXPECT_TRUE(Events().empty());
}

TEST_F(Dials, LabelTableGivesTheTextOfTheValue)
{
  SValueText labels[17];
  for (int i = 0; i < 17; ++i)
    labels[i].Append(8, "L%02i", i);
  SDial<int>* dial = MakeDial(0, 0, 16, 0);
  dial->labelTable = labels;
  dial->tableSize = 17;
  dial->useLabelTable = true;
  char buffer[16];
  EXPECT_STREQ(dial->ValueText(buffer, sizeof buffer), "L00");
  dial->SetValue(16, false);
  EXPECT_STREQ(dial->ValueText(buffer, sizeof buffer), "L16");
  dial->SetValue(17, false);
  EXPECT_STREQ(dial->ValueText(buffer, sizeof buffer), "17") << "never past the table";
  dial->SetValue(-1, false);
  EXPECT_STREQ(dial->ValueText(buffer, sizeof buffer), "-1");
  dial->labelTable = nullptr; // the table goes before the dial
}

TEST_F(Dials, DrawsHandleValueAndHoverOutlineThroughItsBuffer)
{
  SDial<int>* dial = MakeDial(7, 0, 16, 0);
  const auto outline = [&] { return guitest::Pixel(dial->window, 0, kH / 2); };
  ASSERT_TRUE(guitest::DeliverUntil([&] {
    return guitest::Pixel(dial->window, 4, kH / 2) == U(kColourBlue);
  })) << "the handle";
  EXPECT_EQ(outline(), U(kColourGrey)) << "hover colour A while not hovered";
  EXPECT_GT(widgettest::CountColour(dial->window, kW, kH, U(kColourWhite)), 3) << "the value";
  widgettest::SavePng(*dial, "dial");

  widgettest::PointAt(*dial, 20, 8);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourYellow); }));
  EXPECT_TRUE(dial->hovering);
  widgettest::PointAt(panel, 290, 190);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourGrey); }));

  dial->Enable(false);
  ASSERT_TRUE(guitest::DeliverUntil([&] {
    return widgettest::CountColour(dial->window, kW, kH, U(kColourGrey)) > 40;
  })) << "the value in the disabled label colour";
  dial->markEnabled = true;
  dial->markValue = 7;
  dial->markColour = C(kColourRed);
  dial->Refresh();
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return widgettest::CountColour(dial->window, kW, kH, U(kColourRed)) > 3; }));
}

TEST_F(Dials, ImagesTakeOverTheDrawingOnlyWhenBothLoad)
{
  SDial<int>* dial = MakeDial(7, 0, 16, 0, 50, 50);
  dial->SetBitmaps(new context::SDrawBitmap(vexo::images::text_logo, 50, 88, false),
                   new context::SDrawBitmap(vexo::images::text_logo, 50, 88, false));
  EXPECT_TRUE(dial->type & kControlBitmaps);
  EXPECT_EQ(dial->handleRect, (Rect{0, 0, 50, 88})) << "the handle takes the image's size";
  dial->SetDoubleBuffer();
  ASSERT_NE(dial->handleBufferBitmap, nullptr);
  EXPECT_EQ(dial->handleBufferBitmap->Width(), 50);
  dial->Refresh();
  // The back image's corner is its background colour.
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return guitest::Pixel(dial->window, 5, 5) == U(kColourDarkSlate); }));

  dial->SetBitmaps(new context::SDrawBitmap(vexo::images::text_logo, 50, 88, false), nullptr);
  EXPECT_FALSE(dial->type & kControlBitmaps);
  EXPECT_EQ(dial->backBitmap, nullptr) << "what it was given is freed";
  dial->Refresh();
  ASSERT_TRUE(guitest::DeliverUntil([&] {
    return guitest::Pixel(dial->window, 5, 5) == U(kColourBlue);
  })) << "drawn again, with the handle in its colour";
}
