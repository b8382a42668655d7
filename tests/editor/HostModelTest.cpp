// What every host model must give its user: a drawn panel that takes
// clicks (each one once), redraws after being covered and after its window
// was hidden and shown, and host callbacks that touch the host's GUI made on
// the host's GUI thread only.
#include "tests/editor/EditorHost.h"

#include "model/Parameters.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

using edittest::EditorHost;
using edittest::Options;

namespace {

constexpr int kAddX = 112;
constexpr int kButtonRowY = 217;
constexpr int kThruX = 37;
constexpr int kThruY = 124;
constexpr unsigned long kOutlineBlue = 0x0000FF;
constexpr unsigned long kGreenAdd = 0x00FF00;

class HostModel : public ::testing::TestWithParam<qhost::HostStyle>
{
protected:
  void Start()
  {
    Options options;
    options.style = GetParam();
    host = std::make_unique<EditorHost>(std::move(options));
    ASSERT_TRUE(host->Ready());
    host->Open();
    ASSERT_TRUE(host->PumpUntil([&] { return Width() == 145; }));
    ASSERT_TRUE(host->PumpUntil([&] { return Drawn(); })) << "the panel is drawn";
  }
  int Width() { return host->Width(host->Window()); }
  unsigned long Panel() { return host->FirstChild(host->Window()); }
  // The blue outline of the panel and the green "+" of its first strip.
  bool Drawn()
  {
    const unsigned long panel = Panel();
    return panel && host->Pixel(panel, 0, 100) == kOutlineBlue &&
           host->Pixel(panel, 101, 211) == kGreenAdd;
  }
  int Automations(int32_t index, float value)
  {
    int count = 0;
    for (const qhost::CallbackRecord& record : host->Plugin().Callbacks())
      count += record.opcode == audioMasterAutomate && record.index == index && record.opt == value
                   ? 1
                   : 0;
    return count;
  }

  std::unique_ptr<EditorHost> host;
};

} // namespace

TEST_P(HostModel, PlusWidensThePanelAndThruIsAutomatedExactlyOnce)
{
  Start();
  host->Click(kAddX, kButtonRowY);
  EXPECT_TRUE(host->PumpUntil([&] { return Width() == 170; }));
  EXPECT_EQ(host->Width(Panel()), 170);
  host->Plugin().ClearCallbacks();
  host->Click(kThruX, kThruY);
  EXPECT_TRUE(host->PumpUntil([&] { return Automations(param::kThru, 1.0f) > 0; }));
  host->Pump(150); // a second delivery of the same click would arrive by now
  EXPECT_EQ(Automations(param::kThru, 1.0f), 1);
  EXPECT_EQ(Automations(param::kThru, 0.0f), 0) << "the click was handled once";
  EXPECT_EQ(host->Plugin().GetParameter(param::kThru), 1.0f);
}

TEST_P(HostModel, CoveredPanelRedraws)
{
  Start();
  host->Cover();
  // Until the panel draws itself again its place shows what covered it.
  EXPECT_TRUE(host->PumpUntil([&] { return Drawn(); }));
}

TEST_P(HostModel, HiddenAndShownPanelRedraws)
{
  Start();
  host->HideCoverAndShow();
  EXPECT_TRUE(host->PumpUntil([&] { return Drawn(); }));
  // And it still takes clicks.
  host->Click(kAddX, kButtonRowY);
  EXPECT_TRUE(host->PumpUntil([&] { return Width() == 170; }));
}

TEST_P(HostModel, ClosingAndReopeningThePluginWindowKeepsTheEditorAlive)
{
  Start();
  host->CloseLikeHost();
  host->Pump(100);
  host->ReopenLikeHost();
  ASSERT_TRUE(host->PumpUntil([&] { return Width() == 145 && Drawn(); }));
  host->Click(kAddX, kButtonRowY);
  EXPECT_TRUE(host->PumpUntil([&] { return Width() == 170; }));
  host->Click(kThruX, kThruY);
  EXPECT_TRUE(host->PumpUntil([&] { return host->Plugin().GetParameter(param::kThru) == 1.0f; }));
}

TEST_P(HostModel, CallbacksThatTouchTheHostsGuiArriveOnItsGuiThread)
{
  Start();
  host->Click(kAddX, kButtonRowY); // a resize from the panel's handler
  host->Click(kThruX, kThruY);     // automation from the panel's handler
  ASSERT_TRUE(host->PumpUntil([&] { return Width() == 170; }));
  host->Plugin().SelectProgram(3); // a resize from the refresh
  ASSERT_TRUE(host->PumpUntil([&] { return Width() == 145; }));
  host->Pump(100);
  EXPECT_GE(host->sizeWindowCalls(), 3);
  EXPECT_EQ(host->sizeWindowCallsOffThread(), 0);
  EXPECT_GE(host->Plugin().CountCallbacks(audioMasterAutomate), 1);
  EXPECT_EQ(host->CallbacksOffThread(audioMasterAutomate), 0);
  EXPECT_EQ(host->CallbacksOffThread(audioMasterSizeWindow), 0);
  EXPECT_EQ(host->CallbacksOffThread(audioMasterCanDo), 0);
}

INSTANTIATE_TEST_SUITE_P(HostModels, HostModel, ::testing::ValuesIn(qhost::AllHostStyles()),
                         [](const auto& info) { return edittest::StyleTestName(info.param); });

// An ardour-like host learns the event procedure only from a window that is
// reparented into the window it handed over, and the very first open must
// give it one.
TEST(ArdourLikeHost, LearnsTheEventProcedureAtTheFirstOpen)
{
  Options options;
  options.style = qhost::HostStyle::Ardour;
  EditorHost host(std::move(options));
  ASSERT_TRUE(host.Ready());
  host.Open();
  host.Pump(100);
  EXPECT_NE(host.Events().Learned(), nullptr);
}
