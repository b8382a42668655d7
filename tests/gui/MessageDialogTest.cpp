// The message box: its sizing rules, construction, the "OK" button, the
// window manager's close request, the modal loop, and SInfo showing the
// one box of the library with the pump drawing and operating it.
#include <gtest/gtest.h>

#include "tests/testsupport/WaitFor.h"

#include "gui/SButton.h"
#include "gui/SConnectionPump.h"
#include "gui/SDisplay.h"
#include "gui/SInfo.h"
#include "gui/SLabel.h"
#include "gui/SMessageDialog.h"
#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SDrawFont.h"
#include "support/system/SSystemData.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/WidgetTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

using namespace vexo::gui;

using testsupport::WaitFor;

namespace {

// A line is 13 pixels high and 6 pixels wide per character, "W" 20 high.
void FakeMeasure(const char* line, int32_t& width, int32_t& height)
{
  width = 6 * static_cast<int32_t>(std::strlen(line));
  height = std::strcmp(line, "W") == 0 ? 20 : 13;
}

struct Geometry
{
  int x = 0, y = 0, width = 0, height = 0;
};

Geometry OnScreen(Display* display, Window window)
{
  Geometry g;
  Window root = 0, child = 0;
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  XGetGeometry(display, window, &root, &x, &y, &w, &h, &border, &depth);
  XTranslateCoordinates(display, window, root, 0, 0, &g.x, &g.y, &child);
  g.width = static_cast<int>(w);
  g.height = static_cast<int>(h);
  return g;
}

std::string WindowName(Display* display, Window window)
{
  char* name = nullptr;
  std::string text;
  if (XFetchName(display, window, &name) && name)
    text = name;
  if (name)
    XFree(name);
  return text;
}

// The box's measures computed here from the fonts the box uses.
struct Expected
{
  int width;
  int height;
};

Expected ExpectedSize(const std::vector<std::string>& lines, const char* title)
{
  context::SDrawFont message(7, false, false, false, nullptr);
  context::SDrawFont bold(10, true, false, false, nullptr);
  int widest = 0;
  int sum = 0;
  for (const std::string& line : lines) {
    widest = std::max(widest, message.TextWidth(line.c_str()));
    sum += message.Ascent() + message.Descent();
  }
  const int m = std::max(widest, bold.TextWidth(title));
  return Expected{m + 64, sum + 88 + 40};
}

// Sends a window manager's close request for a window from a connection
// of its own, as a window manager would.
void SendCloseRequest(Window window)
{
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(other, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(XInternAtom(other, "WM_DELETE_WINDOW", False));
  XSendEvent(other, window, False, NoEventMask, &message);
  XSync(other, False);
  XCloseDisplay(other);
}

class MessageBoxes : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_NE(dps, nullptr) << "GUI tests run under scripts/xvfb-run-private";
    ASSERT_EQ(statdata.ColourCount(), 29);
    widgettest::MovePointer(5, 5);
    // Events of windows that earlier tests destroyed are not for the box.
    guitest::DeliverPending();
  }

  void TearDown() override
  {
    if (SMessageDialog* box = SInfoDialog()) {
      XLockDisplay(dps);
      if (box->shown)
        box->CloseDialog();
      XUnlockDisplay(dps);
    }
    ASSERT_TRUE(WaitFor([] { return !connectionPump.Running(); }))
        << "the pump ends with the last box closed";
  }

  static unsigned long U(int index) { return static_cast<unsigned long>(statdata.Colour(index)); }

  // Clicks the box's "OK" with real pointer input.
  static void PressOk(SMessageDialog& box)
  {
    widgettest::PointAt(*box.okButton, 20, 10);
    widgettest::Press(1);
    widgettest::Release(1);
  }
};

} // namespace

TEST(MessageLayout, OneLineOfThirteenPixelsGivesABoxOf141)
{
  int32_t w = 0, h = 0;
  SMessageDialog::MeasureMessage("Hello", FakeMeasure, w, h);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 13);
  const SMessageLayout layout = SMessageDialog::LayOut(w, h, 20);
  EXPECT_EQ(layout.height, 101);
  EXPECT_EQ(layout.messageLabel, (Rect{10, 40, 10 + 74, 40 + 51}));
  EXPECT_EQ(layout.titleLabel, (Rect{10, 10, 10 + 74, 30}));
  EXPECT_EQ(layout.okButton, (Rect{27, 101, 67, 121}));
  EXPECT_EQ(layout.dialogWidth, 94);
  EXPECT_EQ(layout.dialogHeight, 141);
}

TEST(MessageLayout, ThreeLinesGive167AndTheWidestLineSetsTheWidth)
{
  int32_t w = 0, h = 0;
  SMessageDialog::MeasureMessage("a\nthe widest\nbb", FakeMeasure, w, h);
  const SMessageLayout layout = SMessageDialog::LayOut(w, h, 0);
  EXPECT_EQ(layout.dialogHeight, 167);
  EXPECT_EQ(layout.dialogWidth, 64 + 60);
}

TEST(MessageLayout, EmptyLinesCountTheLineBeforeTheFirstOfThem)
{
  int32_t w = 0, h = 0;
  SMessageDialog::MeasureMessage("a\n\nc", FakeMeasure, w, h);
  EXPECT_EQ(h, 39) << "the empty middle line is as high as the first";
  // With lines of different heights the first empty line fixes the height
  // for every later one.
  const auto varying = [](const char* line, int32_t& width, int32_t& height) {
    width = 1;
    height = 12 + static_cast<int32_t>(std::strlen(line));
  };
  SMessageDialog::MeasureMessage("a\nbb\n\nccc\n\nd", varying, w, h);
  EXPECT_EQ(h, 13 + 14 + 14 + 15 + 14 + 13);
}

TEST(MessageLayout, LeadingEmptyLineCountsTheHeightOfW)
{
  int32_t w = 0, h = 0;
  SMessageDialog::MeasureMessage("\nA", FakeMeasure, w, h);
  EXPECT_EQ(h, 20 + 13);
  SMessageDialog::MeasureMessage("\n\nA", FakeMeasure, w, h);
  EXPECT_EQ(h, 20 + 20 + 13);
}

TEST(MessageLayout, EmptyMessageLeavesTitleAndButton)
{
  int32_t w = 7, h = 7;
  SMessageDialog::MeasureMessage("", FakeMeasure, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  SMessageDialog::MeasureMessage(nullptr, FakeMeasure, w, h);
  EXPECT_EQ(h, 0);
  const SMessageLayout layout = SMessageDialog::LayOut(w, h, 40);
  EXPECT_EQ(layout.height, 88);
  EXPECT_EQ(layout.dialogHeight, 128);
  EXPECT_EQ(layout.messageLabel.Height(), 38);
}

TEST(MessageLayout, TitleWiderThanTheMessageSetsTheWidth)
{
  const SMessageLayout layout = SMessageDialog::LayOut(30, 13, 100);
  EXPECT_EQ(layout.width, 100);
  EXPECT_EQ(layout.dialogWidth, 164);
  EXPECT_EQ(layout.titleLabel.Width(), 144);
  EXPECT_EQ(layout.okButton.left, (164 >> 1) - 20);
}

TEST_F(MessageBoxes, ConstructionBuildsAHiddenTopLevelBoxWithItsOwnIds)
{
  SMessageDialog dialog;
  ASSERT_NE(dialog.window, 0u);
  EXPECT_EQ(dialog.id, 0u) << "a fresh resources object gives the top-level id 0";
  EXPECT_EQ(dialog.titleLabel->id, 1u);
  EXPECT_EQ(dialog.messageLabel->id, 2u);
  EXPECT_EQ(dialog.okButton->id, 3u);
  EXPECT_EQ(dialog.style.load(), 0x880101 | kStyleHasChildren);
  const std::string name = dialog.SControl::GetLabel().Text();
  EXPECT_EQ(name.rfind("SDialog (ID ", 0), 0u) << name;
  EXPECT_EQ(name.back(), ')');
  EXPECT_EQ(std::string(dialog.okButton->SControl::GetLabel().Text()), name + " - MessageButton");
  EXPECT_STREQ(dialog.okButton->GetLabel().Text(), "OK");
  EXPECT_EQ(dialog.okButton->type, kButtonTrigger);
  EXPECT_EQ(dialog.okButton->WindowRect(), (Rect{140, 200, 180, 220}));
  EXPECT_EQ(dialog.messageLabel->WindowRect(), (Rect{10, 40, 310, 190}));
  EXPECT_EQ(widgettest::MapState(dps, dialog.window), IsUnmapped);
  XWindowAttributes attributes{};
  XGetWindowAttributes(dps, dialog.window, &attributes);
  EXPECT_TRUE(attributes.override_redirect);
  EXPECT_EQ(attributes.width, 320);
  EXPECT_EQ(attributes.height, 240);
}

TEST_F(MessageBoxes, SInfoShowsTheBoxSizedByItsTextsAndCentred)
{
  testing::internal::CaptureStderr();
  SInfo("Hello there", "Quillet Test");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Quillet Test: Hello there\n"), std::string::npos) << err;
  SMessageDialog* box = SInfoDialog();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->shown);
  EXPECT_TRUE(connectionPump.Running()) << "the box lives on the toolkit's own connection";
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsViewable; }));
  EXPECT_EQ(WindowName(dps, box->window), "Quillet Test");

  const Expected expected = ExpectedSize({"Hello there"}, "Quillet Test");
  const Geometry g = OnScreen(dps, box->window);
  EXPECT_EQ(g.width, expected.width);
  EXPECT_EQ(g.height, expected.height);
  ASSERT_GE(sd.display->MonitorCount(), 1);
  const Rect monitor = sd.display->Monitors()[0];
  EXPECT_EQ(g.x, monitor.left + ((monitor.Width() - g.width) >> 1));
  EXPECT_EQ(g.y, monitor.top + ((monitor.Height() - g.height) >> 1));
  const Geometry ok = OnScreen(dps, box->okButton->window);
  EXPECT_EQ(ok.x - g.x, (g.width >> 1) - 20);
  EXPECT_EQ(ok.y - g.y, g.height - 40);
  EXPECT_EQ(ok.width, 40);

  // The pump draws it: the dark frame of the marker style, the labels'
  // background, the button.
  ASSERT_TRUE(WaitFor([&] {
    return guitest::Pixel(box->okButton->window, 4, 10) == U(kColourCharcoal);
  })) << "the button is drawn";
  ASSERT_TRUE(WaitFor([&] {
    return guitest::Pixel(box->window, 4, g.height / 2) == U(kColourBlack) &&
           guitest::Pixel(box->messageLabel->window, 2, 2) == U(kColourDarkSlate);
  }));
  EXPECT_GT(widgettest::CountColour(box->titleLabel->window, box->titleLabel->Width(), 20,
                                    U(kColourWhite)),
            10)
      << "the title";
  widgettest::SavePng(box->window, 0, 0, g.width, g.height, "message-box");
}

TEST_F(MessageBoxes, OkHidesTheBoxAndTheNextSInfoShowsItWithTheNewText)
{
  SInfo("First", "Quillet Test");
  SMessageDialog* box = SInfoDialog();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsViewable; }));
  ASSERT_TRUE(
      WaitFor([&] { return guitest::Pixel(box->okButton->window, 4, 10) == U(kColourCharcoal); }));
  PressOk(*box);
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsUnmapped; }));
  EXPECT_FALSE(box->shown);
  ASSERT_TRUE(WaitFor([] { return !connectionPump.Running(); }));

  SInfo("Second\nline two\nline three", "Quillet Test");
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsViewable; }));
  EXPECT_EQ(SInfoDialog(), box) << "one box for every call";
  XLockDisplay(dps);
  const std::string text = box->messageLabel->GetLabel().Text();
  const size_t lines = box->messageLabel->lines.size();
  XUnlockDisplay(dps);
  EXPECT_EQ(text, "Second\nline two\nline three");
  EXPECT_EQ(lines, 3u);
  const Expected expected = ExpectedSize({"Second", "line two", "line three"}, "Quillet Test");
  EXPECT_EQ(OnScreen(dps, box->window).height, expected.height);
  EXPECT_TRUE(connectionPump.Running());
  PressOk(*box);
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsUnmapped; }));
}

TEST_F(MessageBoxes, SecondSInfoWhileShownReplacesTheText)
{
  SInfo("One", "Quillet Test");
  SInfo("A longer message than the first one", "Quillet Test");
  SMessageDialog* box = SInfoDialog();
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsViewable; }));
  const Expected expected = ExpectedSize({"A longer message than the first one"}, "Quillet Test");
  const Geometry g = OnScreen(dps, box->window);
  EXPECT_EQ(g.width, expected.width);
  EXPECT_EQ(connectionPump.Holds(), 1) << "one hold for one box";
}

TEST_F(MessageBoxes, WindowManagersCloseRequestClosesTheBox)
{
  SInfo("Close me", "Quillet Test");
  SMessageDialog* box = SInfoDialog();
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsViewable; }));
  SendCloseRequest(box->window);
  ASSERT_TRUE(WaitFor([&] { return !box->shown; }));
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(dps, box->window) == IsUnmapped; }));
}

TEST_F(MessageBoxes, ShowModalEndsWithOkPressedFromAnotherClient)
{
  SMessageDialog dialog;
  const Window button = dialog.okButton->window;
  std::thread user([button] {
    Display* own = XOpenDisplay(nullptr);
    ASSERT_NE(own, nullptr);
    ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(own, button) == IsViewable; }));
    const Geometry at = OnScreen(own, button);
    XTestFakeMotionEvent(own, -1, at.x + 20, at.y + 10, CurrentTime);
    XTestFakeButtonEvent(own, 1, True, CurrentTime);
    XTestFakeButtonEvent(own, 1, False, CurrentTime);
    XSync(own, False);
    XCloseDisplay(own);
  });
  EXPECT_EQ(dialog.ShowModal("Modal", "Title"), 0);
  user.join();
  EXPECT_FALSE(dialog.shown);
  EXPECT_FALSE(dialog.modalRunning);
  EXPECT_EQ(widgettest::MapState(dps, dialog.window), IsUnmapped);
  EXPECT_FALSE(connectionPump.Running()) << "a modal loop reads its events itself";
}

TEST_F(MessageBoxes, ShowModalEndsWithTheCloseRequestAndClosesTheDialog)
{
  SMessageDialog dialog;
  const Window window = dialog.window;
  std::thread manager([window] {
    Display* own = XOpenDisplay(nullptr);
    ASSERT_NE(own, nullptr);
    ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(own, window) == IsViewable; }));
    XCloseDisplay(own);
    SendCloseRequest(window);
  });
  EXPECT_EQ(dialog.ShowModal("Modal", "Title"), 0);
  manager.join();
  EXPECT_FALSE(dialog.shown);
  EXPECT_FALSE(dialog.modalRunning);
  EXPECT_EQ(widgettest::MapState(dps, dialog.window), IsUnmapped);
}
