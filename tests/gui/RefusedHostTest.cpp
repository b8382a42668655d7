// The refusal at load time as a user sees it: the plug-in is loaded through
// the host layer as the refused host, and its message box appears on the
// server, drawn and closed by its own pump (nothing in this program reads
// the plug-in's connection).
#include <gtest/gtest.h>

#include "tests/testsupport/WaitFor.h"

#include "tests/gui/WidgetTestSupport.h"
#include "tests/testsupport/PluginFixture.h"
#include "tests/testsupport/Subprocess.h"

#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SDrawFont.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using testsupport::WaitFor;

namespace {

std::string Name(Display* display, Window window)
{
  char* name = nullptr;
  std::string text;
  if (XFetchName(display, window, &name) && name)
    text = name;
  if (name)
    XFree(name);
  return text;
}

// The mapped top-level windows titled `title`.
std::vector<Window> MappedWindowsTitled(Display* display, const char* title)
{
  std::vector<Window> found;
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &up, &children, &count))
    return found;
  for (unsigned i = 0; i < count; ++i)
    if (widgettest::MapState(display, children[i]) == IsViewable && Name(display, children[i]) == title)
      found.push_back(children[i]);
  if (children)
    XFree(children);
  return found;
}

// The child window of the box that holds the point (the "OK" button).
Window ChildAt(Display* display, Window box, int x, int y)
{
  int cx = 0, cy = 0;
  Window child = 0;
  XTranslateCoordinates(display, box, box, x, y, &cx, &cy, &child);
  return child;
}

} // namespace

TEST(RefusedHost, MessageBoxAppearsAtLoadAndItsOkButtonClosesIt)
{
  Display* display = dps;
  ASSERT_NE(display, nullptr) << "GUI tests run under scripts/xvfb-run-private";
  ASSERT_TRUE(MappedWindowsTitled(display, "Quillet").empty());
  ASSERT_TRUE(testsupport::Library().Loaded()) << testsupport::Library().Error();

  qhost::HostConfig config;
  config.product = "Usine";
  testing::internal::CaptureStderr();
  qhost::PluginInstance plugin(testsupport::Library(), config);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(plugin.Loaded());
  EXPECT_NE(err.find("Quillet: Failed to load plugin\n(Reason: Host not supported (Usine))"),
            std::string::npos)
      << err;

  std::vector<Window> boxes;
  ASSERT_TRUE(WaitFor([&] {
    boxes = MappedWindowsTitled(display, "Quillet");
    return !boxes.empty();
  })) << "the box is on the server, mapped";
  ASSERT_EQ(boxes.size(), 1u);
  const Window box = boxes[0];

  // Sized by the rules, from the fonts the box uses.
  vexo::gui::context::SDrawFont message(7, false, false, false, nullptr);
  vexo::gui::context::SDrawFont bold(10, true, false, false, nullptr);
  const int widest = std::max(message.TextWidth("Failed to load plugin"),
                              message.TextWidth("(Reason: Host not supported (Usine))"));
  const int m = std::max(widest, bold.TextWidth("Quillet"));
  const int h = 2 * (message.Ascent() + message.Descent()) + 88;
  XWindowAttributes attributes{};
  ASSERT_TRUE(XGetWindowAttributes(display, box, &attributes));
  EXPECT_EQ(attributes.width, m + 64);
  EXPECT_EQ(attributes.height, h + 40);
  EXPECT_TRUE(attributes.override_redirect);

  // The plug-in's pump draws it: the "OK" button in its colour.
  const int okX = ((m + 64) >> 1) - 20;
  const Window ok = ChildAt(display, box, okX + 20, h + 10);
  ASSERT_NE(ok, 0u);
  const unsigned long charcoal = static_cast<unsigned long>(statdata.Colour(kColourCharcoal));
  ASSERT_TRUE(WaitFor([&] { return guitest::Pixel(ok, 4, 10) == charcoal; }));
  widgettest::SavePng(box, 0, 0, attributes.width, attributes.height, "refused-host-box");

  int rootX = 0, rootY = 0;
  Window child = 0;
  XTranslateCoordinates(display, box, DefaultRootWindow(display), okX + 20, h + 10, &rootX, &rootY,
                        &child);
  XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  ASSERT_TRUE(WaitFor([&] { return widgettest::MapState(display, box) == IsUnmapped; })) << "OK closed the box";
  EXPECT_TRUE(MappedWindowsTitled(display, "Quillet").empty());
}

TEST(RefusedHost, HostProcessWithTheBoxOpenStillEndsCleanly)
{
  // The library unloads while its box is shown: the pump is stopped before
  // the connection closes, and the process ends normally.
  const auto result = testsupport::RunHost(
      {"run", QUILLET_PLUGIN_PATH, "--host-product", "Usine", "--seconds", "0"}, {}, 60);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_NE(result.err.find("Host not supported (Usine)"), std::string::npos) << result.err;
}

TEST(RefusedHost, WithoutAnyDisplayTheRefusalGoesToStandardErrorOnly)
{
  const auto result = testsupport::RunHost(
      {"run", QUILLET_PLUGIN_PATH, "--host-product", "Usine", "--seconds", "0"},
      {{"DISPLAY", ":4095"}}, 60);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_NE(result.err.find("Error: XOpenDisplay failed.\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Quillet: Failed to load plugin\n(Reason: Host not supported (Usine))"),
            std::string::npos)
      << result.err;
}
