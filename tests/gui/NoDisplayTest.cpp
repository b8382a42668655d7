// Without any X connection (no server at load, no host display) every
// toolkit entry point does nothing harmful and reports nothing.
#include <gtest/gtest.h>

#include "gui/SCursor.h"
#include "gui/SGlobals.h"
#include "gui/SImageLabel.h"
#include "gui/SStaticData.h"
#include "gui/SWindow.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawing.h"
#include "gui/resources/TextLogo.h"
#include "tests/gui/GuiTestSupport.h"

#include <X11/Xlib.h>

using namespace vexo::gui;
using namespace vexo::gui::context;

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

void Idle(void*) {}

} // namespace

TEST(NoDisplay, ControlsContextsCursorsAndFontsDoNothingHarmful)
{
  testing::internal::CaptureStderr();
  {
    WithoutDisplay none;
    SGlobals globals;
    SWindow window(&globals, nullptr, globals.TopLevelId(), "window", 0x880101, 0, 0, 100, 100);
    EXPECT_EQ(window.window, 0u);
    auto* child = new guitest::Probe(&globals, &window, globals.NextId(), 0x80008, 0, 0, 10, 10);
    window.Add(child);
    window.Show();
    window.Refresh();
    window.RefreshOutlines();
    window.RefreshArea(1);
    window.Focus(true);
    window.FocusTopParent();
    window.Reparent(0);
    window.SetRoundShape(true);
    window.SetSize(50, 50);
    window.Move(1, 1);
    window.MouseSetCapture();
    window.MouseReleaseCapture();
    window.WindowMinimize(true);
    window.SetTitleText("title");
    window.Draw(Rect{0, 0, 10, 10});
    child->Draw(Rect{0, 0, 10, 10});
    EXPECT_EQ(window.Loop(), 0);
    int x = 1, y = 2;
    window.GetClient2Screen(&x, &y);
    EXPECT_EQ(x, 1);

    window.CreateIdleTimer(10, false);
    void (*function)(void*) = Idle;
    window.CreateIdleFunction(&function, &window);
    window.DestroyIdleFunction();
    window.DestroyIdleTimer();

    EXPECT_EQ(SCOL(1, 2, 3), 0u);
    SDrawFont font(10, false, false, false, nullptr);
    EXPECT_FALSE(font.Loaded());
    SDrawing drawing(&window, &globals);
    drawing.SetFont(&font);
    drawing.DrawLabel("text", Rect{0, 0, 10, 10}, 0, Point{0, 0});
    drawing.DrawRotatedText("text", Rect{0, 0, 10, 10}, 90, 0, Point{0, 0});
    drawing.FillRect(0, 0, 5, 5);
    drawing.SetLogic(3);
    SDrawBitmap bitmap(vexo::images::text_logo, 50, 88, false);
    EXPECT_EQ(bitmap.Width(), 0);
    SImageLabel logo(&globals, &window, globals.NextId(), "logo", 0, 0, 0, 50, 88);
    logo.LoadBackground(vexo::images::text_logo, 50, 88);
    logo.Draw(Rect{0, 0, 50, 88});
    SCursorDefault cursor(2, 0);
    cursor.CreateDefault();
    cursor.Set();
    cursor.Free();
    XEvent event{};
    event.xany.type = Expose;
    event.xany.window = 123;
    EXPECT_EQ(SControl::eventProc(&event), 0);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
