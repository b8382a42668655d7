// Buttons: the push, toggle, trigger, passive and report-release types
// driven by real pointer input, the colours by state, the hover outline
// and its precedence, the alternative text, images and ClearState.
#include <gtest/gtest.h>

#include "gui/SButton.h"
#include "gui/SStaticData.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SInput.h"
#include "gui/resources/TextLogo.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/WidgetTestSupport.h"

#include <X11/Xlib.h>

using namespace vexo::gui;
using guitest::Probe;

namespace {

class Buttons : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_NE(guitest::Display(), nullptr) << "GUI tests run under scripts/xvfb-run-private";
    ASSERT_EQ(statdata.ColourCount(), 29);
    font = statdata.FindFont(8);
    panel.SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourDarkSlate), C(kColourWhite),
                     C(kColourWhite), C(kColourWhite), C(kColourWhite));
    panel.Show();
    // The pointer starts away from every button.
    widgettest::PointAt(panel, 290, 190);
    guitest::DeliverPending();
  }

  static int C(int index) { return statdata.Colour(index); }
  static unsigned long U(int index) { return static_cast<unsigned long>(C(index)); }

  // A button as the panel makes them: rounded, black off, magenta on,
  // white text, white hover outline.
  SButton<false>* MakeButton(int type, int x = 20, int y = 20, int w = 60, int h = 20)
  {
    auto* button = new SButton<false>(&globals, &panel, static_cast<unsigned>(globals.NextId()),
                                      "button", kStyleRounded, x, y, w, h);
    button->SetColours(C(kColourBlack), C(kColourMagenta), C(kColourDarkSlate), C(kColourWhite),
                       C(kColourWhite), C(kColourWhite), C(kColourWhite));
    button->SetLabelColours(C(kColourWhite), C(kColourGrey));
    button->SetLabel("T", font, 0);
    button->SetType(type);
    button->SetHoverColours(C(kColourYellow), C(kColourCyan));
    button->AddEventListener(&panel, kEventValue);
    button->Show();
    panel.Add(button);
    guitest::DeliverPending();
    return button;
  }

  // Presses and releases at the button's middle; the events are delivered
  // before the next step, so two clicks are no double click.
  void ClickOn(SButton<false>& button, unsigned which = 1)
  {
    widgettest::PointAt(button, button.Width() / 2, button.Height() / 2);
    guitest::DeliverPending();
    widgettest::Press(which);
    guitest::DeliverPending();
    widgettest::Release(which);
    guitest::DeliverPending();
  }

  // The background at the left of the text, inside the rounded fill.
  unsigned long Background(SButton<false>& button) const
  {
    return guitest::Pixel(button.window, 6, button.Height() / 2);
  }

  SGlobals globals;
  Probe panel{&globals, nullptr, 0, 0, 100, 100, 300, 200};
  context::SDrawFont* font = nullptr;
};

} // namespace

TEST_F(Buttons, TogglePressedTwiceSendsOneThenZero)
{
  SButton<false>* toggle = MakeButton(kButtonToggle);
  ClickOn(*toggle);
  EXPECT_EQ(toggle->GetValue(), 1);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return Background(*toggle) == U(kColourMagenta); }));
  widgettest::SavePng(*toggle, "button-on");
  ClickOn(*toggle);
  EXPECT_EQ(toggle->GetValue(), 0);
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1, 0}));
  ASSERT_TRUE(guitest::DeliverUntil([&] { return Background(*toggle) == U(kColourBlack); }));
}

TEST_F(Buttons, PushSendsOnlyOneAndEndsAtZero)
{
  SButton<false>* push = MakeButton(kButtonPush);
  widgettest::PointAt(*push, 30, 10);
  guitest::DeliverPending();
  widgettest::Press(1);
  guitest::DeliverPending();
  EXPECT_EQ(push->GetValue(), 1);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return Background(*push) == U(kColourMagenta); }));
  widgettest::Release(1);
  guitest::DeliverPending();
  EXPECT_EQ(push->GetValue(), 0);
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1}));
}

TEST_F(Buttons, PushWhosePointerLeavesWhilePressedEndsAtZeroSilently)
{
  SButton<false>* push = MakeButton(kButtonPush);
  widgettest::PointAt(*push, 30, 10);
  guitest::DeliverPending();
  widgettest::Press(1);
  guitest::DeliverPending();
  ASSERT_EQ(push->GetValue(), 1);
  widgettest::PointAt(*push, 150, 100);
  guitest::DeliverPending();
  EXPECT_EQ(push->GetValue(), 0) << "leaving drops it";
  EXPECT_FALSE(push->hovering);
  widgettest::Release(1);
  guitest::DeliverPending();
  EXPECT_EQ(push->GetValue(), 0);
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1}));
}

TEST_F(Buttons, PushWithReportReleaseAlsoSendsTheDrop)
{
  SButton<false>* push = MakeButton(kButtonPush | kButtonReportRelease);
  ClickOn(*push);
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1, 0}));
}

TEST_F(Buttons, TriggerReportsTheMouseButtonAndShowsZero)
{
  SButton<false>* trigger = MakeButton(kButtonTrigger);
  ClickOn(*trigger, 3);
  EXPECT_EQ(trigger->GetValue(), 0);
  ClickOn(*trigger, 1);
  EXPECT_EQ(trigger->GetValue(), 0);
  ClickOn(*trigger, 2);
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{3, 1, 2}));
  ASSERT_TRUE(guitest::DeliverUntil([&] { return Background(*trigger) == U(kColourBlack); }));
}

TEST_F(Buttons, PassiveIgnoresPressesAndOtherTypesIgnoreOtherButtons)
{
  SButton<false>* passive = MakeButton(kButtonPassive);
  ClickOn(*passive);
  EXPECT_EQ(passive->GetValue(), 0);
  SButton<false>* toggle = MakeButton(kButtonToggle, 100, 20);
  ClickOn(*toggle, 3);
  ClickOn(*toggle, 2);
  EXPECT_EQ(toggle->GetValue(), 0);
  EXPECT_TRUE(panel.events.empty());
  passive->SetValue(1, true);
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1}))
      << "the program sets a passive button";
}

TEST_F(Buttons, WithoutMouseInputNothingReacts)
{
  SButton<false>* toggle = MakeButton(kButtonToggle);
  toggle->mouseInput = false;
  ClickOn(*toggle);
  EXPECT_EQ(toggle->GetValue(), 0);
  EXPECT_FALSE(toggle->hovering);
  EXPECT_TRUE(panel.events.empty());
}

TEST_F(Buttons, ActiveColourMustBeSetAfterTheLabelColours)
{
  SButton<false>* toggle = MakeButton(kButtonToggle);
  toggle->SetLabelColourActive(C(kColourBlack));
  toggle->SetLabelColours(C(kColourWhite), C(kColourGrey));
  EXPECT_EQ(toggle->labelColourActive, C(kColourWhite));
  toggle->SetLabelColourActive(C(kColourBlack));
  toggle->SetValue(1, false);
  EXPECT_EQ(toggle->GetLabelColour(), C(kColourBlack));
  toggle->SetValue(2, false);
  EXPECT_EQ(toggle->GetLabelColour(), C(kColourWhite)) << "active only at exactly 1";
}

TEST_F(Buttons, DisabledButtonDrawsItsTextInTheDisabledColourWhateverItsValue)
{
  SButton<false>* toggle = MakeButton(kButtonToggle, 20, 20, 60, 30);
  toggle->SetLabel("WWW", font, 0);
  toggle->SetLabelColours(C(kColourYellow), C(kColourGreen));
  toggle->SetValue(1, false);
  toggle->Refresh();
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return widgettest::CountColour(toggle->window, 60, 30, U(kColourYellow)) > 10; }));
  toggle->Enable(false);
  EXPECT_EQ(toggle->GetLabelColour(), C(kColourGreen));
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return widgettest::CountColour(toggle->window, 60, 30, U(kColourGreen)) > 10; }));
  EXPECT_EQ(widgettest::CountColour(toggle->window, 60, 30, U(kColourYellow)), 0);
  ClickOn(*toggle);
  EXPECT_EQ(toggle->GetValue(), 1) << "a disabled button takes no input";
}

TEST_F(Buttons, HoverOutlineFollowsThePointerAndTheValue)
{
  SButton<false>* toggle = MakeButton(kButtonToggle);
  const auto outline = [&] { return guitest::Pixel(toggle->window, 0, 10); };
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourDarkSlate); }))
      << "without hover the outline is the parent's background";
  widgettest::PointAt(*toggle, 30, 10);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourYellow); }));
  EXPECT_TRUE(toggle->hovering);
  widgettest::SavePng(*toggle, "button-hovered");
  ClickOn(*toggle);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourCyan); }))
      << "B while the value is 1";
  toggle->Highlight(true, C(kColourRed), 0, 0);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourRed); }))
      << "the highlight comes first";
  toggle->Highlight(false, C(kColourRed), 0, 0);
  widgettest::PointAt(panel, 290, 190);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return outline() == U(kColourDarkSlate); }));
  EXPECT_FALSE(toggle->hovering);
}

TEST_F(Buttons, OffButtonDrawsItsBackgroundAndText)
{
  SButton<false>* button = MakeButton(kButtonToggle);
  ASSERT_TRUE(guitest::DeliverUntil([&] { return Background(*button) == U(kColourBlack); }));
  EXPECT_GT(widgettest::CountColour(button->window, 60, 20, U(kColourWhite)), 5) << "the text";
  EXPECT_EQ(guitest::Pixel(button->window, 0, 0), U(kColourDarkSlate)) << "rounded corner";
  widgettest::SavePng(*button, "button-off");
}

TEST_F(Buttons, AlternativeTextIsDrawnWhileOn)
{
  SButton<false>* toggle = MakeButton(kButtonToggle, 20, 20, 60, 30);
  toggle->SetLabel("", font, 0);
  EXPECT_TRUE(toggle->SetLabelAlternative("WW", true));
  toggle->Refresh();
  guitest::DeliverPending();
  EXPECT_EQ(widgettest::CountColour(toggle->window, 60, 30, U(kColourWhite)), 0);
  toggle->SetValue(1, false);
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return widgettest::CountColour(toggle->window, 60, 30, U(kColourWhite)) > 10; }));
  EXPECT_FALSE(toggle->SetLabelAlternative(nullptr, false));
  EXPECT_STREQ(toggle->alternativeLabel.Text(), "");
}

TEST_F(Buttons, SetValueRedrawsAndReportsOnlyWhenAskedAndChanged)
{
  SButton<false>* toggle = MakeButton(kButtonToggle);
  EXPECT_FALSE(toggle->SetValue(0, true));
  EXPECT_TRUE(toggle->SetValue(1, false));
  EXPECT_TRUE(panel.events.empty());
  toggle->Reset();
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{0}));
  toggle->Toggle();
  toggle->Toggle();
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{0, 1, 0}));
}

TEST_F(Buttons, ImagesReplaceBackgroundAndTextWhenBothLoad)
{
  SButton<false>* button = MakeButton(kButtonToggle, 20, 20, 50, 88);
  button->SetBitmaps(vexo::images::text_logo, vexo::images::text_logo, 50, 88);
  EXPECT_TRUE(button->type & kButtonBitmap);
  ASSERT_NE(button->deviceOff, nullptr);
  button->Refresh();
  // The logo's background colour fills its corners.
  ASSERT_TRUE(guitest::DeliverUntil(
      [&] { return guitest::Pixel(button->window, 5, 44) == U(kColourDarkSlate); }));

  // A missing image falls back to the drawn button and frees the other.
  button->SetBitmaps(new context::SDrawBitmap(vexo::images::text_logo, 50, 88, false), nullptr);
  EXPECT_FALSE(button->type & kButtonBitmap);
  EXPECT_EQ(button->bitmapOff, nullptr);
  EXPECT_EQ(button->deviceOff, nullptr);
}

TEST_F(Buttons, ClearStateDropsAPressedPushButtonWithoutAnEvent)
{
  SButton<false>* push = MakeButton(kButtonPush);
  widgettest::PointAt(*push, 30, 10);
  guitest::DeliverPending();
  widgettest::Press(1);
  guitest::DeliverPending();
  ASSERT_EQ(push->GetValue(), 1);
  ASSERT_TRUE(push->MouseState()[context::kMouseLeftDown]);
  push->ClearState();
  EXPECT_EQ(push->GetValue(), 0);
  EXPECT_FALSE(push->hovering);
  EXPECT_FALSE(push->MouseState()[context::kMouseLeftDown]);
  EXPECT_EQ(Background(*push), U(kColourBlack)) << "drawn at once";
  widgettest::Release(1);
  guitest::DeliverPending();
  EXPECT_EQ(widgettest::Values(panel, kEventValue), (std::vector<int>{1}));
}
