// The host's display connection: whatever a host does with the one it hands
// over (closes it after closing the editor, hands another one next time,
// hands none, leaves events in its queue), the editor and the message box
// keep working, nothing hangs and nothing of the plug-in's stays behind in
// the host's queue.
#include "tests/editor/EditorHost.h"

#include "model/Parameters.h"
#include "tests/testsupport/Watchdog.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <vector>

using edittest::EditorHost;
using edittest::Options;

namespace {

constexpr unsigned long kOutlineBlue = 0x0000FF;
// A bank saved by a newer version: longer than this version's 35,328 bytes.
constexpr size_t kNewerBankBytes = 40000;

std::vector<uint8_t> NewerBank(qhost::PluginInstance& plugin)
{
  std::vector<uint8_t> bank = plugin.GetChunk(false);
  bank.resize(kNewerBankBytes, 0);
  return bank;
}

// Another connection of the host's, with a mapped window on it.
struct HostConnection
{
  HostConnection()
  {
    display = XOpenDisplay(nullptr);
    if (!display)
      return;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 50, 50, 120, 238, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
  }
  ~HostConnection() { CloseDisplay(); }
  void CloseDisplay()
  {
    if (display)
      XCloseDisplay(display);
    display = nullptr;
  }

  Display* display = nullptr;
  unsigned long window = 0;
};

bool PanelDrawnIn(EditorHost& host, unsigned long window)
{
  const unsigned long panel = host.FirstChild(window);
  return panel && host.Pixel(panel, 0, 100) == kOutlineBlue;
}

} // namespace

// The message box lives on the toolkit's connection; once opened with the
// host's display the editor used to draw with the host's connection while
// the box locked the toolkit's, and the two threads waited for each other.
TEST(HostDisplay, NewerBankMessageAndEditorsWithAndWithoutTheHostsDisplayDoNotHang)
{
  testsupport::Watchdog watchdog("the newer-bank message with both kinds of open", 30);
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  const std::vector<uint8_t> bank = NewerBank(host.Plugin());
  testing::internal::CaptureStderr();
  host.Plugin().SetChunk(bank, false);
  host.Pump(100);
  host.OpenHanding(host.Window(), nullptr);
  host.Pump(200);
  host.Close();
  host.Pump(50);
  host.OpenHanding(host.Window(), host.Display());
  host.Pump(200);
  host.Plugin().SelectProgram(5);
  host.Pump(100);
  // Each load refreshes the whole panel on the idle thread while the box is
  // filled on this one.
  for (int i = 0; i < 100; ++i) {
    host.Plugin().SetChunk(bank, false);
    host.Plugin().SelectProgram(i % 7);
    host.Pump(2);
  }
  host.Pump(200);
  EXPECT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, host.Window()); }));
  host.Close();
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("Saved with newer version"), std::string::npos);
}

TEST(HostDisplay, HostClosesItsDisplayAfterClosingTheEditorThenClosesThePlugin)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  HostConnection handed;
  ASSERT_NE(handed.display, nullptr);
  host.OpenHanding(handed.window, handed.display);
  ASSERT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, handed.window); }));
  host.Close();
  host.Pump(50);
  handed.CloseDisplay(); // its window goes with it
  host.Pump(100);
  EXPECT_EQ(host.Plugin().Close(), 1);
}

TEST(HostDisplay, EditorOpensAgainOnANewConnectionOfTheHost)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  {
    HostConnection first;
    host.OpenHanding(first.window, first.display);
    ASSERT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, first.window); }));
    host.Close();
    host.Pump(50);
  } // closed
  HostConnection second;
  host.OpenHanding(second.window, second.display);
  ASSERT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, second.window); }));
  host.Close();
  second.CloseDisplay();
  host.Pump(50);
  // And once more in the host's usual window.
  host.Open();
  EXPECT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, host.Window()); }));
}

TEST(HostDisplay, MessageBoxFirstThenTheHostClosesItsDisplayAndUnloadsThePlugin)
{
  auto host = std::make_unique<EditorHost>();
  ASSERT_TRUE(host->Ready());
  testing::internal::CaptureStderr();
  host->Plugin().SetChunk(NewerBank(host->Plugin()), false);
  host->Pump(100);
  HostConnection handed;
  host->OpenHanding(handed.window, handed.display);
  ASSERT_TRUE(host->PumpUntil([&] { return PanelDrawnIn(*host, handed.window); }));
  host->Close();
  handed.CloseDisplay();
  host->Pump(100);
  host.reset(); // closes the plug-in and unloads the library
  testing::internal::GetCapturedStderr();
}

// A host that hands its display and never reads "_XEventProc" takes only its
// own windows' events: whatever else the plug-in left in its queue would stay
// there for good.
TEST(HostDisplay, ClosedEditorsLeaveNothingInTheHostsQueue)
{
  Options options;
  options.style = qhost::HostStyle::Selective;
  EditorHost host(std::move(options));
  ASSERT_TRUE(host.Ready());
  for (int i = 0; i < 5; ++i) {
    host.Open();
    ASSERT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, host.Window()); }));
    host.Close();
    host.Pump(50);
  }
  host.Plugin().Close();
  host.Pump(50);
  XSync(host.Display(), False);
  int left = 0;
  while (XPending(host.Display()) > 0) {
    XEvent event;
    XNextEvent(host.Display(), &event);
    left += event.xany.window != host.Window() ? 1 : 0;
  }
  EXPECT_EQ(left, 0);
}

// No server answered when the library was loaded: the editor opens a
// connection of its own to the server of the display the host hands.
TEST(HostDisplay, WithoutAServerAtLoadTheEditorUsesTheServerOfTheHostsDisplay)
{
  Options options;
  options.libraryDisplay = ":29871";
  testing::internal::CaptureStderr();
  EditorHost host(std::move(options));
  const std::string atLoad = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(host.Ready());
  EXPECT_NE(atLoad.find("Error: XOpenDisplay failed."), std::string::npos);
  EXPECT_EQ(host.OpenHanding(host.Window(), host.Display()), 1);
  ASSERT_TRUE(host.PumpUntil([&] { return host.Width(host.Window()) == 145; }));
  ASSERT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, host.Window()); }));
  // Drawn in the right colours: they were allocated on the new connection.
  const unsigned long panel = host.FirstChild(host.Window());
  EXPECT_EQ(host.Pixel(panel, 58, 105), 0x4D5154u) << "the grey background";
  host.Click(112, 217);
  EXPECT_TRUE(host.PumpUntil([&] { return host.Width(host.Window()) == 170; }));
}

// No server at load and no display from the host: no editor, but the
// plug-in still does its work.
TEST(HostDisplay, WithoutAnyDisplayTheOpenIsRefusedAndMidiStillFlows)
{
  Options options;
  options.style = qhost::HostStyle::Qtractor;
  options.libraryDisplay = ":29871";
  testing::internal::CaptureStderr();
  EditorHost host(std::move(options));
  ASSERT_TRUE(host.Ready());
  EXPECT_EQ(host.OpenHanding(host.Window(), nullptr), 0);
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("Error: no X display for the editor."), std::string::npos);
  EXPECT_EQ(host.FirstChild(host.Window()), 0u);
  host.Plugin().SetParameter(param::kChannelA, 1.0f / 16.0f);
  host.Plugin().SetParameter(param::kNumberA, 8.0f / 128.0f);
  host.Plugin().SetParameter(param::kValueA, 101.0f / 128.0f);
  host.Plugin().ClearReceived();
  host.Plugin().SetParameter(param::kResend, 1.0f);
  host.Plugin().SetParameter(param::kResend, 0.0f);
  host.Pump(100);
  bool sent = false;
  for (const qhost::ReceivedEvent& event : host.Plugin().Received())
    sent = sent || (event.bytes[0] == 0xB0 && event.bytes[1] == 7 && event.bytes[2] == 100);
  EXPECT_TRUE(sent);
  EXPECT_EQ(host.Plugin().Dispatch(effEditClose), 1);
}

// A host without an X error handler of its own ends on any X error of the
// plug-in's: destroying its window (and the panel inside) before closing the
// plug-in must cause none that reaches it.
TEST(HostDisplay, HostWindowDestroyedFirstThenThePluginClosedRaisesNoErrorInTheHost)
{
  EditorHost host;
  ASSERT_TRUE(host.Ready());
  const unsigned long window = host.NewWindow(200, 238);
  host.OpenIn(window);
  ASSERT_TRUE(host.PumpUntil([&] { return PanelDrawnIn(host, window); }));
  XDestroyWindow(host.Display(), window);
  XSync(host.Display(), False);
  // Once the plug-in has heard of it (the handler is process-wide, and the
  // plug-in swaps it around its own requests meanwhile).
  host.Pump(200);
  XErrorHandler hostHandler = XSetErrorHandler(nullptr); // Xlib's: ends the process
  host.Close();
  EXPECT_EQ(host.Plugin().Close(), 1);
  XSetErrorHandler(hostHandler);
}
