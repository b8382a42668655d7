// Controls as X windows: the three kinds of window, their attributes,
// properties and hints as the server reports them, redraw requests, the
// child list and the enable chain.
#include <gtest/gtest.h>

#include "gui/SControlRegistry.h"
#include "gui/SDisplay.h"
#include "gui/SGlobals.h"
#include "gui/SWindow.h"
#include "gui/XDisplay.h"
#include "support/system/SSystemData.h"
#include "tests/gui/GuiTestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <memory>

using namespace vexo::gui;
using guitest::Probe;

namespace {

class ControlWindow : public ::testing::Test
{
protected:
  void SetUp() override
  {
    display = guitest::Display();
    ASSERT_NE(display, nullptr) << "GUI tests run under scripts/xvfb-run-private";
    // Window managers create these atoms; the toolkit only uses known ones.
    for (const char* name :
         {"WM_DELETE_WINDOW", "_MOTIF_WM_HINTS", "_WIN_HINTS", "KWM_WIN_DECORATION",
          "_NET_WM_WINDOW_TYPE", "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", "_NET_WM_WINDOW_TYPE_NORMAL"})
      XInternAtom(display, name, False);
  }

  Window ParentOf(Window window)
  {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    if (children)
      XFree(children);
    return parent;
  }

  XWindowAttributes Attributes(Window window)
  {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    return attributes;
  }

  bool HasProperty(Window window, const char* name)
  {
    int count = 0;
    Atom* atoms = XListProperties(display, window, &count);
    const Atom wanted = XInternAtom(display, name, False);
    bool found = false;
    for (int i = 0; i < count; ++i)
      found = found || atoms[i] == wanted;
    if (atoms)
      XFree(atoms);
    return found;
  }

  // Synthetic Expose events queued for the window.
  int QueuedExposes(Window window)
  {
    XSync(display, False);
    int count = 0;
    XEvent event;
    while (XCheckTypedWindowEvent(display, window, Expose, &event))
      ++count;
    return count;
  }

  Display* display = nullptr;
  SGlobals globals;
};

} // namespace

TEST_F(ControlWindow, PanelIsAnOverrideRedirectChildOfTheHostWindowWithTheFullInputMask)
{
  const Window host = guitest::HostWindow(300, 260);
  {
    Probe panel(&globals, nullptr, 0, 0x80001, 0, 0, 120, 238, host);
    ASSERT_NE(panel.window, 0u);
    EXPECT_EQ(ParentOf(panel.window), host);
    const XWindowAttributes attributes = Attributes(panel.window);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.your_event_mask, 0x163A07F);
    EXPECT_EQ(attributes.border_width, 0);
    EXPECT_EQ(attributes.width, 120);
    EXPECT_EQ(attributes.height, 238);
    EXPECT_EQ(attributes.map_state, IsUnmapped) << "created hidden";
    EXPECT_EQ(panel.state & 0x4, 0);
    EXPECT_EQ(panel.state.load(), 0x9);
    EXPECT_TRUE(HasProperty(panel.window, "_MOTIF_WM_HINTS"));
    EXPECT_EQ(guitest::Property32(panel.window, "_WIN_HINTS"), 0);
    EXPECT_EQ(guitest::Property32(panel.window, "KWM_WIN_DECORATION"), 2);
    EXPECT_FALSE(HasProperty(panel.window, "WM_NAME")) << "child windows have no title";
  }
  guitest::DestroyHostWindow(host);
}

TEST_F(ControlWindow, EveryWindowCarriesTheOwnerAndTheEventProcedure)
{
  Probe control(&globals, nullptr, 0, 0, 0, 0, 20, 20);
  const long owner = guitest::Property32(control.window, "_VEXOWND");
  const long procedure = guitest::Property32(control.window, "_XEventProc");
  EXPECT_EQ(owner, registry::ValueOf(&control));
  ASSERT_GT(procedure, 0);
#if defined(__x86_64__)
  EXPECT_LT(static_cast<unsigned long>(procedure), 0x80000000ul) << "hosts read one 32-bit item";
  EXPECT_LT(static_cast<unsigned long>(owner), 0x80000000ul);
#else
  EXPECT_EQ(owner, reinterpret_cast<long>(&control));
  EXPECT_EQ(procedure, reinterpret_cast<long>(&SControl::eventProc));
#endif
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, control.window, XInternAtom(display, "_XEventProc", False), 0, 8,
                     False, AnyPropertyType, &type, &format, &items, &after, &data);
  EXPECT_EQ(items, 1u) << "a single item";
  EXPECT_EQ(type, XInternAtom(display, "_XEventProc", False)) << "of its own type";
  XFree(data);
}

TEST_F(ControlWindow, MessageBoxIsASaveUnderDialogInTheRootWithFixedSizeAndCloseProtocol)
{
  Probe box(&globals, nullptr, 0, 0x880101, 0, 0, 320, 240);
  EXPECT_EQ(ParentOf(box.window), DefaultRootWindow(display));
  const XWindowAttributes attributes = Attributes(box.window);
  EXPECT_TRUE(attributes.override_redirect);
  EXPECT_TRUE(attributes.save_under);
  EXPECT_EQ(attributes.do_not_propagate_mask, 0x200F);
  EXPECT_EQ(attributes.your_event_mask, 0x163A07F) << "style 0x800000 keeps all input";

  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_TRUE(XGetWMProtocols(display, box.window, &protocols, &count));
  ASSERT_EQ(count, 1);
  EXPECT_EQ(protocols[0], XInternAtom(display, "WM_DELETE_WINDOW", False));
  XFree(protocols);

  char* name = nullptr;
  ASSERT_TRUE(XFetchName(display, box.window, &name));
  EXPECT_STREQ(name, "probe");
  XFree(name);
  char* icon = nullptr;
  ASSERT_TRUE(XGetIconName(display, box.window, &icon));
  EXPECT_STREQ(icon, "probe");
  XFree(icon);

  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(display, box.window, &hints, &supplied));
  EXPECT_EQ(hints.flags, 0x78);
  EXPECT_EQ(hints.min_width, 320);
  EXPECT_EQ(hints.max_width, 320);
  EXPECT_EQ(hints.min_height, 240);
  EXPECT_EQ(hints.max_height, 240);
}

TEST_F(ControlWindow, TooltipPopupLiesInTheRootEvenWithAParentAndHearsOnlyStructureEvents)
{
  Probe owner(&globals, nullptr, 0, 0, 0, 0, 100, 100);
  Probe tip(&globals, &owner, 1, 0x400100, 100, 100, 200, 32, owner.window);
  EXPECT_EQ(ParentOf(tip.window), DefaultRootWindow(display));
  const XWindowAttributes attributes = Attributes(tip.window);
  EXPECT_EQ(attributes.your_event_mask, 0x228000);
  EXPECT_TRUE(attributes.save_under);
  EXPECT_TRUE(HasProperty(tip.window, "WM_NORMAL_HINTS"));
}

TEST_F(ControlWindow, DialogWithoutRootStyleIsMadeInItsParentControl)
{
  Probe owner(&globals, nullptr, 0, 0, 0, 0, 100, 100);
  Probe dialog(&globals, &owner, 1, 0x100, 0, 0, 50, 50);
  EXPECT_EQ(ParentOf(dialog.window), owner.window);
  EXPECT_EQ(Attributes(dialog.window).your_event_mask, 0x228000);
}

TEST_F(ControlWindow, DecoratedWindowHasABorderAndAsksForNoDecorationsRemoval)
{
  Probe framed(&globals, nullptr, 0, 0x20100, 0, 0, 80, 40);
  const XWindowAttributes attributes = Attributes(framed.window);
  EXPECT_EQ(attributes.border_width, 3);
  EXPECT_FALSE(attributes.override_redirect);
  EXPECT_FALSE(HasProperty(framed.window, "_MOTIF_WM_HINTS"));
}

TEST_F(ControlWindow, ApplicationWindowIsTopLevelAndNoSizeHintsStyleLeavesThemOut)
{
  Probe application(&globals, nullptr, 0, 0x200 | 0x400, 10, 10, 80, 40);
  EXPECT_EQ(ParentOf(application.window), DefaultRootWindow(display));
  EXPECT_TRUE(Attributes(application.window).override_redirect);
  EXPECT_FALSE(HasProperty(application.window, "WM_NORMAL_HINTS"));
  EXPECT_TRUE(HasProperty(application.window, "WM_PROTOCOLS"));
}

TEST_F(ControlWindow, RedrawRequestsOfAHiddenControlSendNothing)
{
  Probe control(&globals, nullptr, 0, 0, 0, 0, 40, 30);
  XSync(display, False);
  XEvent event;
  while (XCheckWindowEvent(display, control.window, ~0L, &event)) {
    // the property notifications of its creation
  }
  control.Refresh();
  control.RefreshRectangle(Rect{0, 0, 5, 5});
  control.RefreshOutlines();
  control.RefreshArea(3);
  control.RefreshRegion(nullptr);
  XSync(display, False);
  int events = 0;
  while (XCheckWindowEvent(display, control.window, ~0L, &event) ||
         XCheckTypedWindowEvent(display, control.window, ClientMessage, &event))
    ++events;
  EXPECT_EQ(events, 0);
}

TEST_F(ControlWindow, ShownControlRequestsAFullExposeOnlyOnceWhenShownTwice)
{
  Probe control(&globals, nullptr, 0, 0, 5, 5, 40, 30);
  control.Show();
  control.Show();
  XSync(display, False);
  int synthetic = 0;
  XEvent event;
  while (XCheckTypedWindowEvent(display, control.window, Expose, &event)) {
    if (event.xexpose.send_event) {
      ++synthetic;
      EXPECT_EQ(event.xexpose.x, 0);
      EXPECT_EQ(event.xexpose.width, 40);
      EXPECT_EQ(event.xexpose.height, 30);
    }
  }
  EXPECT_EQ(synthetic, 1);
  EXPECT_EQ(Attributes(control.window).map_state, IsViewable);

  control.RefreshRectangle(Rect{2, 3, 12, 8});
  XSync(display, False);
  ASSERT_TRUE(XCheckTypedWindowEvent(display, control.window, Expose, &event));
  EXPECT_EQ(event.xexpose.x, 2);
  EXPECT_EQ(event.xexpose.y, 3);
  EXPECT_EQ(event.xexpose.width, 10);
  EXPECT_EQ(event.xexpose.height, 5);

  control.Hide();
  EXPECT_EQ(control.state & 0x4, 0);
  control.Refresh();
  EXPECT_EQ(QueuedExposes(control.window), 0);
}

TEST_F(ControlWindow, AddAndRemoveKeepTheChildOrderAndStyleTwo)
{
  Probe window(&globals, nullptr, globals.TopLevelId(), 0, 0, 0, 100, 100);
  window.Add(nullptr);
  EXPECT_TRUE(window.children.empty());
  EXPECT_EQ(window.style & 0x2, 0);

  auto* a = new Probe(&globals, &window, globals.NextId(), 0, 0, 0, 10, 10);
  auto* b = new Probe(&globals, &window, globals.NextId(), 0, 10, 0, 10, 10);
  auto* c = new Probe(&globals, &window, globals.NextId(), 0, 20, 0, 10, 10);
  window.Add(a);
  window.Add(b);
  window.Add(c);
  EXPECT_EQ(window.style & 0x2, 0x2);
  EXPECT_EQ(window.lowestId, 1);
  EXPECT_EQ(window.highestId, 3);
  EXPECT_TRUE(window.IsSubcontrol(2u));
  EXPECT_FALSE(window.IsSubcontrol(9u));
  EXPECT_TRUE(window.IsSubcontrol(static_cast<int>(window.window)));

  Probe stranger(&globals, nullptr, 77, 0, 0, 0, 10, 10);
  window.Remove(&stranger, false);
  EXPECT_EQ(window.children.size(), 3u) << "not a child: nothing changes";

  window.Remove(b, true);
  ASSERT_EQ(window.children.size(), 2u);
  EXPECT_EQ(window.children[0].control, a);
  EXPECT_EQ(window.children[1].control, c);
  window.Remove(a, true);
  EXPECT_EQ(window.style & 0x2, 0x2);
  window.Remove(c, true);
  EXPECT_EQ(window.style & 0x2, 0) << "the last child clears style 0x2";
}

TEST_F(ControlWindow, WindowDeletesItsChildrenWithIt)
{
  const size_t before = registry::LiveCount();
  {
    Probe window(&globals, nullptr, 0, 0, 0, 0, 100, 100);
    window.Add(new Probe(&globals, &window, 1, 0, 0, 0, 10, 10));
    window.Add(new Probe(&globals, &window, 2, 0, 0, 0, 10, 10));
    EXPECT_EQ(registry::LiveCount(), before + 3);
  }
  EXPECT_EQ(registry::LiveCount(), before);
}

TEST_F(ControlWindow, EnabledFollowsTheParentsUnlessTheControlIgnoresThem)
{
  Probe top(&globals, nullptr, 0, 0, 0, 0, 100, 100);
  Probe middle(&globals, &top, 1, 0, 0, 0, 50, 50);
  Probe leaf(&globals, &middle, 2, 0, 0, 0, 10, 10);
  EXPECT_TRUE(leaf.Enabled());
  top.Enable(false);
  EXPECT_FALSE(top.Enabled());
  EXPECT_FALSE(leaf.Enabled()) << "a disabled ancestor disables the leaf";
  leaf.ignoreParentEnable = true;
  EXPECT_TRUE(leaf.Enabled());
  leaf.Enable(false);
  EXPECT_FALSE(leaf.Enabled()) << "its own flag still counts";
  top.Enable(true);
  leaf.Enable(true);
  leaf.ignoreParentEnable = false;
  middle.Enable(false);
  EXPECT_FALSE(leaf.Enabled());
  EXPECT_TRUE(top.Enabled()) << "a root depends only on itself";
}

TEST_F(ControlWindow, RoundShapeRemovesTwelvePixelsFromEachCorner)
{
  Probe control(&globals, nullptr, 0, 0, 0, 0, 200, 32);
  control.SetRoundShape(true);
  XSync(display, False);
  int count = 0, ordering = 0;
  XRectangle* rectangles =
      XShapeGetRectangles(display, control.window, ShapeBounding, &count, &ordering);
  ASSERT_NE(rectangles, nullptr);
  auto covered = [&](int x, int y) {
    for (int i = 0; i < count; ++i) {
      const XRectangle& r = rectangles[i];
      if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
        return true;
    }
    return false;
  };
  auto missing = [&](int x0, int y0) {
    int n = 0;
    for (int y = y0; y < y0 + 5; ++y)
      for (int x = x0; x < x0 + 5; ++x)
        n += covered(x, y) ? 0 : 1;
    return n;
  };
  EXPECT_EQ(missing(0, 0), 12);
  EXPECT_EQ(missing(195, 0), 12);
  EXPECT_EQ(missing(0, 27), 12);
  EXPECT_EQ(missing(195, 27), 12);
  long area = 0;
  for (int i = 0; i < count; ++i)
    area += static_cast<long>(rectangles[i].width) * rectangles[i].height;
  EXPECT_EQ(area, 200 * 32 - 48);
  EXPECT_FALSE(covered(0, 4));
  EXPECT_TRUE(covered(0, 5));
  EXPECT_TRUE(covered(5, 0));
  XFree(rectangles);

  control.SetRoundShape(false);
  XSync(display, False);
  rectangles = XShapeGetRectangles(display, control.window, ShapeBounding, &count, &ordering);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(rectangles[0].width, 200);
  EXPECT_EQ(rectangles[0].height, 32);
  XFree(rectangles);
}

TEST_F(ControlWindow, SizeAndPositionKeepBothRectanglesAndTheWindowInStep)
{
  Probe control(&globals, nullptr, 0, 0, 5, 6, 40, 30);
  control.SetSize(70, 20);
  EXPECT_EQ(control.WindowRect(), (Rect{5, 6, 75, 26}));
  EXPECT_EQ(control.ClientRect(), (Rect{0, 0, 70, 20}));
  control.Move(10, -2);
  EXPECT_EQ(control.WindowRect(), (Rect{15, 4, 85, 24}));
  control.SetPosition(1, 2);
  const XWindowAttributes attributes = Attributes(control.window);
  EXPECT_EQ(attributes.x, 1);
  EXPECT_EQ(attributes.y, 2);
  EXPECT_EQ(attributes.width, 70);
  EXPECT_EQ(attributes.height, 20);
}

TEST_F(ControlWindow, ReparentMovesTheWindowAndKeepsItShown)
{
  const Window first = guitest::HostWindow(200, 200);
  const Window second = guitest::HostWindow(200, 200);
  {
    Probe panel(&globals, nullptr, 0, 0, 3, 4, 50, 50, first);
    panel.Show();
    panel.Reparent(second);
    XSync(display, False);
    EXPECT_EQ(ParentOf(panel.window), second);
    EXPECT_EQ(panel.nativeParent, second);
    EXPECT_EQ(Attributes(panel.window).x, 3);
    EXPECT_NE(panel.state & 0x4, 0);
    EXPECT_EQ(Attributes(panel.window).map_state, IsViewable);
    panel.Reparent(0);
    XSync(display, False);
    EXPECT_EQ(ParentOf(panel.window), DefaultRootWindow(display));
  }
  guitest::DestroyHostWindow(first);
  guitest::DestroyHostWindow(second);
}

TEST_F(ControlWindow, FocusIsTakenAndGivenBackButNotStolenFromOthers)
{
  Probe first(&globals, nullptr, 0, 0, 0, 0, 30, 30);
  Probe second(&globals, nullptr, 1, 0, 40, 0, 30, 30);
  first.Show();
  second.Show();
  XSync(display, False);
  first.Focus(true);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, first.window);
  second.Focus(true);
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, second.window);
  EXPECT_EQ(second.savedFocus, first.window);
  first.Focus(false);
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, second.window) << "another window's focus is left alone";
  second.Focus(false);
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, first.window) << "given back to the saved window";
}

TEST_F(ControlWindow, FocusTopParentGivesTheFocusToTheHostWindowsParent)
{
  const Window outer = guitest::HostWindow(200, 200);
  XSetWindowAttributes attributes{};
  const Window inner = XCreateWindow(display, outer, 0, 0, 100, 100, 0, CopyFromParent, InputOutput,
                                     CopyFromParent, 0, &attributes);
  XMapWindow(display, inner);
  XSync(display, False);
  Probe panel(&globals, nullptr, 0, 0, 0, 0, 50, 50, inner);
  globals.hostWindow = inner;
  panel.FocusTopParent();
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, outer);
  globals.hostWindow = outer; // its parent is the root: the host window itself
  panel.FocusTopParent();
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, outer);
  globals.hostWindow = 0x3FFFFFF; // gone: no error reaches the default handler
  panel.FocusTopParent();
  globals.hostWindow = 0;
  // The host destroys its window, and the panel's window with it; the panel
  // is deleted afterwards without an error reaching the default handler.
  guitest::DestroyHostWindow(outer);
}

TEST_F(ControlWindow, TitleTextChangesTheTitleButNotTheLabel)
{
  Probe box(&globals, nullptr, 0, 0x100 | 0x400000, 0, 0, 60, 40);
  box.SetTitleText("Other");
  char* name = nullptr;
  ASSERT_TRUE(XFetchName(display, box.window, &name));
  EXPECT_STREQ(name, "Other");
  XFree(name);
  EXPECT_STREQ(box.GetLabel().Text(), "probe");
}

TEST_F(ControlWindow, CenterPlacesADialogInTheMiddleOfItsMonitor)
{
  // The layout was read at load from this program's private server.
  ASSERT_NE(sd.display, nullptr);
  ASSERT_GE(sd.display->MonitorCount(), 1);
  const vexo::math::geom::Rect monitor = sd.display->Monitors().front();
  Probe dialog(&globals, nullptr, 0, 0x100 | 0x400000, 3, 7, 200, 100);
  dialog.Center();
  const vexo::math::geom::Rect placed = dialog.WindowRect();
  EXPECT_EQ(placed.left, monitor.left + ((monitor.Width() - 200) >> 1));
  EXPECT_EQ(placed.top, monitor.top + ((monitor.Height() - 100) >> 1));
  EXPECT_EQ(placed.Width(), 200);

  vexo::math::geom::Point<int, 2> corner{monitor.right, monitor.bottom};
  dialog.Center(corner);
  EXPECT_EQ(dialog.WindowRect().left, placed.left) << "the point's monitor is the same one";
  vexo::gui::CenterOnWindow(*sd.display, nullptr); // nothing happens
}
