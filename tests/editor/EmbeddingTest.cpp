// The editor in a host's window: sizes, parking while closed, reopening,
// in every host model.
#include "tests/editor/EditorHost.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

using edittest::EditorHost;
using edittest::Options;

class Embedding : public ::testing::TestWithParam<qhost::HostStyle>
{
protected:
  Options InModel() const
  {
    Options options;
    options.style = GetParam();
    return options;
  }
};

TEST_P(Embedding, PanelIsDrawnInTheHostWindowAndSizedToItsColumns)
{
  EditorHost host(InModel());
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

TEST_P(Embedding, CloseParksThePanelAndReopeningMovesTheSamePanelBack)
{
  EditorHost host(InModel());
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

TEST_P(Embedding, CloseBeforeAnyOpenDoesNothing)
{
  EditorHost host(InModel());
  ASSERT_TRUE(host.Ready());
  EXPECT_EQ(host.Plugin().Dispatch(effEditClose), 1);
  EXPECT_EQ(host.Plugin().Dispatch(effEditOpen, 0, 0, nullptr), 0) << "no window, no editor";
}

TEST_P(Embedding, HostThatDestroysItsWindowFirstGetsAFreshPanelOnReopen)
{
  EditorHost host(InModel());
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

TEST_P(Embedding, HostThatCannotSizeItsWindowHasItResizedByTheEditor)
{
  Options options = InModel();
  options.config.canDo.erase("sizeWindow");
  EditorHost host(options);
  ASSERT_TRUE(host.Ready());
  host.Open();
  ASSERT_TRUE(host.PumpUntil([&] { return host.Width(host.Window()) == 145; }));
}

TEST_P(Embedding, ClosingThePluginWithTheEditorOpenIsClean)
{
  EditorHost host(InModel());
  ASSERT_TRUE(host.Ready());
  host.Open();
  host.Pump(100);
  EXPECT_EQ(host.Plugin().Close(), 1);
}

INSTANTIATE_TEST_SUITE_P(HostModels, Embedding, ::testing::ValuesIn(qhost::AllHostStyles()),
                         [](const auto& info) { return edittest::StyleTestName(info.param); });
