// The tooltip's text layout (sizes, lines, colours and fonts of the lines),
// its on/off switch over the registered controls, the lifetime of tip data
// and tooltip, and the tooltip without any display connection.
#include <gtest/gtest.h>

#include "gui/SDrawObject.h"
#include "gui/SGlobals.h"
#include "gui/SStaticData.h"
#include "gui/SToolTip.h"
#include "gui/SWindow.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SInput.h"
#include "tests/gui/GuiTestSupport.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

using namespace vexo::gui;

namespace {

// The tooltip's normal font loaded again by its name, so that the expected
// sizes come from the server and not from the code under test.
class ServerFont
{
public:
  explicit ServerFont(const char* name)
      : display(guitest::Display()), font(XLoadQueryFont(display, name))
  {
  }
  ~ServerFont()
  {
    if (font)
      XFreeFont(display, font);
  }
  bool Loaded() const { return font != nullptr; }
  int Width(const char* text) const
  {
    return XTextWidth(font, text, static_cast<int>(std::strlen(text)));
  }
  int Height() const { return font->ascent + font->descent; }

private:
  Display* display;
  XFontStruct* font;
};

class ToolTipLayout : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_NE(guitest::Display(), nullptr) << "GUI tests run on an X server";
    owner = std::make_unique<SWindow>(&globals, nullptr, globals.TopLevelId(), "Panel", 0, 0, 0,
                                      200, 100);
    tip = new SToolTip(owner.get(), true);
    ASSERT_TRUE(tip->normalFont->Loaded());
    font = std::make_unique<ServerFont>(tip->normalFont->name.Text());
    ASSERT_TRUE(font->Loaded());
  }

  // A control of the owner with a tip.
  SControl* Control(const char* text, int side = kTipAbove)
  {
    auto* control =
        new SControl(&globals, owner.get(), globals.NextId(), "control", 0, 10, 10, 40, 16);
    owner->Add(control);
    if (text)
      control->SetTooltip(tip, text, side);
    return control;
  }

  const STextObjectX* Line(const SToolTipData* data, size_t index)
  {
    return dynamic_cast<const STextObjectX*>(data->Object(index));
  }

  SGlobals globals;
  std::unique_ptr<SWindow> owner;
  SToolTip* tip = nullptr; // owned by the owner
  std::unique_ptr<ServerFont> font;
};

} // namespace

TEST_F(ToolTipLayout, TooltipIsARootPopupNamedAfterItsOwner)
{
  EXPECT_STREQ(tip->label.Text(), "Panel (Tooltip)");
  EXPECT_EQ(tip->style.load(), 0x400100);
  EXPECT_EQ(tip->parent, owner.get());
  ASSERT_EQ(owner->children.size(), 1u);
  EXPECT_EQ(owner->children[0].control, tip);
  EXPECT_EQ(tip->id, 1u) << "the id after the owner's";
  EXPECT_EQ(tip->WindowRect(), (Rect{100, 100, 300, 132}));
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  ASSERT_TRUE(XQueryTree(guitest::Display(), tip->window, &root, &up, &children, &count));
  if (children)
    XFree(children);
  EXPECT_EQ(up, root) << "in the root window, not in the owner's";
  EXPECT_FALSE(tip->TipsEnabled());
  EXPECT_EQ(tip->IndicatorColour(),
            static_cast<unsigned long>(statdata.Colour(kTipsOffColourIndex)));
  EXPECT_NE(tip->boldFont, nullptr);
  EXPECT_TRUE(tip->boldFont->bold);
  EXPECT_EQ(tip->normalFont->size, 10);
}

TEST_F(ToolTipLayout, LongOwnerNamesAreCutTo64Characters)
{
  const std::string name(100, 'n');
  SWindow longOwner(&globals, nullptr, globals.TopLevelId(), name.c_str(), 0, 0, 0, 10, 10);
  auto* other = new SToolTip(&longOwner, false);
  EXPECT_EQ(std::strlen(other->label.Text()), 64u);
}

TEST_F(ToolTipLayout, OneLineTipIsTheTextPlus48By20)
{
  SControl* control = Control("Resend Values");
  const SToolTipData* data = control->tooltip;
  ASSERT_NE(data, nullptr);
  const int w = font->Width("Resend Values");
  const int h = font->Height();
  EXPECT_EQ(data->width, w + 48);
  EXPECT_EQ(data->height, h + 20);
  ASSERT_EQ(data->lines.size(), 1u);
  EXPECT_STREQ(data->lines[0].Text(), "Resend Values");
  // The block is centred: 24 from the left, (tip - inner - 4) / 2 from the top.
  EXPECT_EQ(data->bounds, (Rect{24, 6, 24 + w, 6 + h + 4}));
  ASSERT_EQ(data->ObjectCount(), 1u);
  EXPECT_EQ(data->Object(0)->rect, data->bounds);
}

TEST_F(ToolTipLayout, TitleLineIsColouredAndTheWidthIsThatOfTheWidestLine)
{
  SControl* control = Control("Option:\nToggle Midi Thru");
  const SToolTipData* data = control->tooltip;
  const int h = font->Height();
  EXPECT_EQ(data->width, font->Width("Toggle Midi Thru") + 48);
  EXPECT_EQ(data->height, 2 * h + 20);
  ASSERT_EQ(data->ObjectCount(), 2u);
  EXPECT_EQ(static_cast<unsigned long>(Line(data, 0)->textColour), tip->titleColour);
  EXPECT_EQ(static_cast<unsigned long>(Line(data, 1)->textColour), tip->textColours[0]);
  EXPECT_EQ(tip->titleColour, SCOL(255, 0, 0));
  EXPECT_NE(tip->titleColour, tip->textColours[0]);
  EXPECT_EQ(Line(data, 1)->font, tip->normalFont) << "bold second line is off by default";
  // Each line takes an even band of the inner height.
  const int band = (2 * h + 4) / 2;
  EXPECT_EQ(data->lineRects[0].top, 6);
  EXPECT_EQ(data->lineRects[1].top, 6 + band);
  EXPECT_EQ(data->lineRects[1].Height(), band);
  EXPECT_EQ(data->lineRects[0].Width(), font->Width("Toggle Midi Thru"));
}

TEST_F(ToolTipLayout, PanelSettingsColourTheTitleAndEmboldenTheSecondLine)
{
  const unsigned long white = SCOL(255, 255, 255);
  tip->textColours[0] = white;
  tip->titleColour = SCOL(255, 128, 0);
  tip->boldSecondLine = true;
  SControl* control = Control("Action:\nCopy Preset\nnow");
  const SToolTipData* data = control->tooltip;
  ASSERT_EQ(data->ObjectCount(), 3u);
  EXPECT_EQ(static_cast<unsigned long>(Line(data, 0)->textColour), SCOL(255, 128, 0));
  EXPECT_EQ(static_cast<unsigned long>(Line(data, 1)->textColour), white);
  EXPECT_EQ(Line(data, 0)->font, tip->normalFont);
  EXPECT_EQ(Line(data, 1)->font, tip->boldFont);
  EXPECT_EQ(Line(data, 2)->font, tip->normalFont);

  tip->titleColouring = false;
  SControl* plain = Control("Action:\nCopy Preset");
  EXPECT_EQ(static_cast<unsigned long>(Line(plain->tooltip, 0)->textColour), white);
}

TEST_F(ToolTipLayout, OneLineIsNeverEmboldened)
{
  tip->boldSecondLine = true;
  SControl* control = Control("Thru");
  ASSERT_EQ(control->tooltip->ObjectCount(), 1u);
  EXPECT_EQ(Line(control->tooltip, 0)->font, tip->normalFont);
}

TEST_F(ToolTipLayout, EmptyLineTakesTheHeightOfTheLineBeforeIt)
{
  SControl* control = Control("Option:\nSelect Delay\n\n(after which)");
  const SToolTipData* data = control->tooltip;
  ASSERT_EQ(data->lines.size(), 4u);
  EXPECT_STREQ(data->lines[2].Text(), "");
  EXPECT_EQ(data->height, 4 * font->Height() + 20);
  EXPECT_EQ(data->width, std::max(font->Width("Select Delay"), font->Width("(after which)")) + 48);
}

TEST_F(ToolTipLayout, LeadingEmptyLineIsAsHighAsAW)
{
  SControl* control = Control("\nText");
  EXPECT_EQ(control->tooltip->lines.size(), 2u);
  EXPECT_EQ(control->tooltip->height, 2 * font->Height() + 20);
}

TEST_F(ToolTipLayout, TabsAndReturnsBreakLinesTooButATrailingBreakAddsNone)
{
  SControl* control = Control("Action:\tRemove\rStrip\n");
  const SToolTipData* data = control->tooltip;
  ASSERT_EQ(data->lines.size(), 3u);
  EXPECT_STREQ(data->lines[0].Text(), "Action:");
  EXPECT_STREQ(data->lines[1].Text(), "Remove");
  EXPECT_STREQ(data->lines[2].Text(), "Strip");
  EXPECT_EQ(data->height, 3 * font->Height() + 20);
}

TEST_F(ToolTipLayout, EmptyTextGivesA48By20Tip)
{
  SControl* control = Control("");
  const SToolTipData* data = control->tooltip;
  EXPECT_EQ(data->width, 48);
  EXPECT_EQ(data->height, 20);
  EXPECT_EQ(data->bounds.Width(), 0);
  EXPECT_EQ(data->bounds.Height(), 4);
}

TEST_F(ToolTipLayout, SideTipsKeepTheTextAwayFromTheArrow)
{
  const int w = font->Width("Thru");
  EXPECT_EQ(Control("Thru", kTipRight)->tooltip->bounds.left, 28);
  EXPECT_EQ(Control("Thru", kTipLeft)->tooltip->bounds.left, 20);
  EXPECT_EQ(Control("Thru", kTipBelow)->tooltip->bounds.left, 24);
  EXPECT_EQ(Control("Thru", kTipRight)->tooltip->bounds.right, 28 + w);
}

TEST_F(ToolTipLayout, FreshDataIs16By16AndTakesObjectsAndTexts)
{
  SToolTipData data(tip, nullptr, kTipAbove);
  EXPECT_EQ(data.width, 16);
  EXPECT_EQ(data.height, 16);
  auto* box = new SDrawObject();
  box->rect = Rect{5, 5, 20, 10};
  data.AddObject(box);
  EXPECT_EQ(data.bounds, (Rect{5, 5, 20, 10}));
  data.AddText("wide", Rect{0, 12, 40, 20});
  // The box grew wider: every object spans it.
  EXPECT_EQ(data.bounds, (Rect{0, 5, 40, 20}));
  EXPECT_EQ(data.Object(0)->rect, (Rect{0, 5, 40, 10}));
  const auto* text = dynamic_cast<const STextObjectX*>(data.Object(1));
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text->label.Text(), "wide");
  EXPECT_EQ(text->font, tip->normalFont);
  data.AddObject(nullptr);
  EXPECT_EQ(data.ObjectCount(), 2u);
}

TEST_F(ToolTipLayout, SettingATextAgainReplacesTheData)
{
  SControl* control = Control("Action:\nFirst");
  const SToolTipData* first = control->tooltip;
  control->SetTooltip(tip, Label("Action:\nSecond\nThird"), kTipBelow);
  ASSERT_NE(control->tooltip, nullptr);
  EXPECT_NE(control->tooltip, first);
  EXPECT_EQ(control->tooltip->lines.size(), 3u);
  EXPECT_EQ(control->tooltip->side, kTipBelow);
  EXPECT_EQ(control->tooltip->control, control);
  EXPECT_EQ(tip->RegisteredCount(), 1u) << "registered once";
  control->SetTooltip(tip, static_cast<SToolTipData*>(nullptr), 0);
  EXPECT_EQ(control->tooltip, nullptr);
  EXPECT_EQ(tip->RegisteredCount(), 0u);
}

TEST_F(ToolTipLayout, OffsetFollowsTheFlippedState)
{
  SControl* control = Control("Thru");
  SToolTipData* data = control->tooltip;
  data->SetOffset(Point{5, 7}, true);
  tip->SetFlipped(true);
  data->SetOffset(Point{-2, -9}, false);
  EXPECT_EQ(data->GetOffset(), (Point{-2, -9}));
  tip->SetFlipped(false);
  EXPECT_EQ(data->GetOffset(), (Point{5, 7}));
}

TEST_F(ToolTipLayout, ToggleAndEnableSwitchEveryRegisteredControl)
{
  SControl* controls[5];
  for (SControl*& control : controls)
    control = Control("Option:\nSomething");
  SControl* without = Control(nullptr);
  ASSERT_EQ(tip->RegisteredCount(), 5u);
  for (SControl* control : controls)
    EXPECT_FALSE(control->state & kStateTooltip);

  tip->ToggleTooltips();
  EXPECT_TRUE(tip->TipsEnabled());
  for (SControl* control : controls)
    EXPECT_TRUE(control->state & kStateTooltip);
  EXPECT_FALSE(without->state & kStateTooltip) << "a control without a tip is not switched";
  EXPECT_EQ(tip->IndicatorColour(),
            static_cast<unsigned long>(statdata.Colour(kTipsOnColourIndex)));
  EXPECT_NE(tip->IndicatorColour(),
            static_cast<unsigned long>(statdata.Colour(kTipsOffColourIndex)));

  // A control that gets its tip later follows the switch.
  SControl* late = Control("Late");
  EXPECT_TRUE(late->state & kStateTooltip);

  tip->EnableTooltips(false);
  for (SControl* control : controls)
    EXPECT_FALSE(control->state & kStateTooltip);
  EXPECT_FALSE(late->state & kStateTooltip);
  EXPECT_EQ(tip->IndicatorColour(),
            static_cast<unsigned long>(statdata.Colour(kTipsOffColourIndex)));

  tip->EnableTooltips(true);
  tip->EnableTooltips(true);
  EXPECT_TRUE(tip->TipsEnabled()) << "enabling twice is still on";
  tip->ToggleTooltips();
  EXPECT_FALSE(tip->TipsEnabled());
}

TEST_F(ToolTipLayout, DeletedControlsLeaveTheSwitchList)
{
  SControl* gone = Control("Gone");
  SControl* kept = Control("Kept");
  ASSERT_TRUE(tip->IsRegistered(gone));
  owner->Remove(gone, true);
  EXPECT_EQ(tip->RegisteredCount(), 1u);
  EXPECT_TRUE(tip->IsRegistered(kept));
  tip->ToggleTooltips();
  EXPECT_TRUE(kept->state & kStateTooltip);
}

TEST_F(ToolTipLayout, DataMovedToAnotherTooltipLeavesTheFirst)
{
  auto* second = new SToolTip(owner.get(), true);
  SControl* control = Control("Thru");
  SToolTipData* data = control->tooltip;
  tip->Open(data, Point{10, 10});
  control->SetTooltip(second, data, kTipBelow);
  EXPECT_EQ(control->tooltip, data) << "the same data is kept";
  EXPECT_EQ(data->tooltip, second);
  EXPECT_EQ(data->side, kTipBelow);
  EXPECT_FALSE(tip->IsRegistered(control));
  EXPECT_TRUE(second->IsRegistered(control));
  EXPECT_FALSE(tip->Shown()) << "the first tooltip no longer shows the data";
  EXPECT_EQ(tip->CurrentData(), nullptr);
  owner->Remove(control, true);
  EXPECT_EQ(second->RegisteredCount(), 0u);
  tip->ToggleTooltips();
  second->ToggleTooltips();
}

TEST_F(ToolTipLayout, DeletingShownDataClosesTheTip)
{
  SControl* control = Control("Thru");
  tip->Open(control->tooltip, Point{10, 10});
  EXPECT_TRUE(tip->Shown());
  EXPECT_EQ(tip->CurrentData(), control->tooltip);
  owner->Remove(control, true);
  EXPECT_FALSE(tip->Shown());
  EXPECT_EQ(tip->CurrentData(), nullptr);
}

TEST_F(ToolTipLayout, DeletingTheTooltipFirstDetachesTheControls)
{
  SControl* before = new SControl(&globals, owner.get(), globals.NextId(), "c", 0, 0, 0, 10, 10);
  before->SetTooltip(tip, "Before", kTipAbove);
  tip->Open(before->tooltip, Point{10, 10});
  owner->Remove(tip, true);
  tip = nullptr;
  ASSERT_NE(before->tooltip, nullptr);
  EXPECT_EQ(before->tooltip->tooltip, nullptr);
  before->ShowTooltip(Point{0, 0});
  before->HideTooltip();
  before->CloseTip();
  delete before; // no tooltip left to tell
}

TEST_F(ToolTipLayout, OpeningNullAndClosingAClosedTipDoNothing)
{
  tip->Open(nullptr, Point{10, 10});
  EXPECT_FALSE(tip->Shown());
  EXPECT_EQ(tip->CurrentData(), nullptr);
  tip->Close();
  EXPECT_FALSE(tip->Shown());
  EXPECT_EQ(tip->SetData(nullptr), 0);

  SControl* control = Control("Option:\nToggle Midi Thru");
  EXPECT_EQ(tip->SetData(control->tooltip), 1);
  EXPECT_FALSE(tip->Shown()) << "SetData does not show";
  EXPECT_EQ(tip->CurrentData(), control->tooltip);
  EXPECT_EQ(tip->Width(), control->tooltip->width);
  EXPECT_EQ(tip->Height(), control->tooltip->height);
}

TEST_F(ToolTipLayout, LeavingTheTipClosesIt)
{
  SControl* control = Control("Thru");
  tip->Open(control->tooltip, Point{10, 10});
  bool flags[vexo::gui::context::kMouseFlags] = {};
  flags[vexo::gui::context::kMouseOver] = true;
  tip->MouseStateChanged(flags, vexo::gui::context::kMouseMoving);
  EXPECT_TRUE(tip->Shown()) << "the pointer is still inside";
  tip->MouseStateChanged(flags, vexo::gui::context::kMouseLeft);
  EXPECT_FALSE(tip->Shown());
  tip->Open(control->tooltip, Point{10, 10});
  flags[vexo::gui::context::kMouseOver] = false;
  tip->MouseStateChanged(flags, vexo::gui::context::kMouseMoving);
  EXPECT_FALSE(tip->Shown());
}

namespace {

// Takes the toolkit's connection away for the scope.
class WithoutDisplay
{
public:
  WithoutDisplay() : saved(dps) { dps = nullptr; }
  ~WithoutDisplay() { dps = saved; }

private:
  Display* saved;
};

} // namespace

TEST(ToolTipNoDisplay, TooltipsWithoutAConnectionDoNothingHarmful)
{
  testing::internal::CaptureStderr();
  {
    WithoutDisplay none;
    SGlobals globals;
    SWindow owner(&globals, nullptr, globals.TopLevelId(), "Panel", 0, 0, 0, 100, 100);
    auto* tip = new SToolTip(&owner, true);
    EXPECT_EQ(tip->window, 0u);
    EXPECT_FALSE(tip->normalFont->Loaded());
    auto* control = new SControl(&globals, &owner, globals.NextId(), "c", 0, 0, 0, 10, 10);
    owner.Add(control);
    control->SetTooltip(tip, "Option:\nToggle Midi Thru", kTipAbove);
    ASSERT_NE(control->tooltip, nullptr);
    EXPECT_EQ(control->tooltip->width, 48) << "nothing to measure with";
    EXPECT_EQ(control->tooltip->height, 20);
    tip->rounded = true;
    tip->ToggleTooltips();
    EXPECT_TRUE(control->state & kStateTooltip);
    control->ShowTooltip(Point{5, 5});
    tip->Draw(Rect{0, 0, 10, 10});
    tip->DrawTiprect(owner.drawing);
    control->HideTooltip();
    control->CloseTip();
    tip->SetData(control->tooltip);
    tip->EnableTooltips(false);
    owner.Remove(control, true);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
