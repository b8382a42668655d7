// The editor in a host's window: sizes, parking while closed, reopening,
// and the host conventions for displays and events.
#include "tests/editor/EditorHost.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

using edittest::EditorHost;
using edittest::Options;

namespace {

Options Convention(bool handDisplay, bool readEventProc)
{
  Options options;
  options.handDisplay = handDisplay;
  options.readEventProc = readEventProc;
  return options;
}

} // namespace

class Embedding : public ::testing::TestWithParam<std::pair<bool, bool>>
{
};

TEST_P(Embedding, PanelIsDrawnInTheHostWindowAndSizedToItsColumns)
{
  EditorHost host(Convention(GetParam().first, GetParam().second));
  ASSERT_TRUE(host.Ready());
  host.Open();
  const unsigned long panel = host.FirstChild(host.Window());
  ASSERT_NE(panel, 0u);
  // The first idle pass refreshes everything: one strip column.
  ASSERT_TRUE(host.PumpUntil([&] { return host.Width(host.Window()) == 145; }));
  EXPECT_EQ(host.Height(host.Window()), 238);
  EXPECT_EQ(host.Width(panel), 145);
  // Drawn, whoever delivers the events: the blue outline and the grey inside.
  ASSERT_TRUE(host.PumpUntil([&] { return host.Pixel(panel, 0, 100) == 0x0000FF; }));
  EXPECT_EQ(host.Pixel(panel, 110, 5), 0x000000u);
  ERect* rect = nullptr;
  host.Plugin().Dispatch(effEditGetRect, 0, 0, &rect);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 145);
  EXPECT_EQ(rect->bottom, 238);
}

INSTANTIATE_TEST_SUITE_P(HostConventions, Embedding,
                         ::testing::Values(std::make_pair(true, true), std::make_pair(false, true),
                                           std::make_pair(true, false),
                                           std::make_pair(false, false)),
                         [](const auto& info) {
                           return std::string(info.param.first ? "Display" : "NoDisplay") +
                                  (info.param.second ? "EventProc" : "NoEventProc");
                         });

TEST(Editor, CloseParksThePanelAndReopeningMovesTheSamePanelBack)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  host.Open();
  host.Pump(100);
  const unsigned long panel = host.FirstChild(host.Window());
  ASSERT_NE(panel, 0u);
  host.Close();
  host.Pump(50);
  EXPECT_NE(host.Parent(panel), host.Window()) << "parked in the editor's own window";
  EXPECT_EQ(host.FirstChild(host.Window()), 0u);

  const unsigned long other = host.NewWindow(300, 300);
  host.OpenIn(other);
  host.Pump(100);
  EXPECT_EQ(host.Parent(panel), other) << "the same panel, in the new window";
  host.Close();
  host.Close(); // a second close does nothing
}

TEST(Editor, CloseBeforeAnyOpenDoesNothing)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  EXPECT_EQ(host.Plugin().Dispatch(effEditClose), 1);
  EXPECT_EQ(host.Plugin().Dispatch(effEditOpen, 0, 0, nullptr), 0) << "no window, no editor";
}

TEST(Editor, HostThatDestroysItsWindowFirstGetsAFreshPanelOnReopen)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  const unsigned long first = host.NewWindow(200, 238);
  host.OpenIn(first);
  host.Pump(80);
  XDestroyWindow(host.Display(), first); // the panel goes with it
  XSync(host.Display(), False);
  host.Close();
  host.Open();
  ASSERT_TRUE(host.PumpUntil([&] {
    const unsigned long panel = host.FirstChild(host.Window());
    return panel && host.Pixel(panel, 0, 100) == 0x0000FF;
  }));
}

TEST(Editor, HostThatCannotSizeItsWindowHasItResizedByTheEditor)
{
  Options options;
  options.config.canDo.erase("sizeWindow");
  EditorHost host(options);
  ASSERT_TRUE(host.Ready());
  host.Open();
  ASSERT_TRUE(host.PumpUntil([&] { return host.Width(host.Window()) == 145; }));
}

TEST(Editor, ClosingThePluginWithTheEditorOpenIsClean)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  host.Open();
  host.Pump(100);
  EXPECT_EQ(host.Plugin().Close(), 1);
}
