// The LV2 editor in a host's window, on a private X server: the panel comes
// up inside the host's ui:parent, follows the editor's size through
// ui:resize when the host idles it, survives a host that destroys its window
// first, and refuses cleanly without instance-access while the plug-in runs
// on.
#include "model/Parameters.h"
#include "tests/lv2/EditionPair.h"
#include "tests/testsupport/PluginFixture.h"
#include "tests/testsupport/WaitFor.h"

#include <gmock/gmock.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lv2test {
namespace {

struct PortWrite
{
  uint32_t port;
  float value;
};

class Lv2Ui : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(host.Loaded()) << host.Error();
    host.Activate();
    std::string error;
    descriptor = host.EditorDescriptor(error);
    ASSERT_NE(descriptor, nullptr) << error;
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 800, 600, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    resizeFeature.handle = this;
    resizeFeature.ui_resize = [](LV2UI_Feature_Handle handle, int width, int height) {
      static_cast<Lv2Ui*>(handle)->sizes.emplace_back(width, height);
      return 0;
    };
  }

  void TearDown() override
  {
    Close();
    if (display) {
      if (parent)
        XDestroyWindow(display, parent);
      XCloseDisplay(display);
    }
  }

  // The features a host gives an embedded editor, with or without the
  // instance.
  std::vector<const LV2_Feature*> Features(bool instanceAccess)
  {
    features.clear();
    features.push_back({LV2_UI__parent, reinterpret_cast<void*>(parent)});
    features.push_back({LV2_UI__resize, &resizeFeature});
    features.push_back({LV2_URID__map, host.UridMap()});
    features.push_back(*host.LogFeature());
    if (instanceAccess)
      features.push_back({LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(host.Instance())});
    std::vector<const LV2_Feature*> list;
    for (const LV2_Feature& feature : features)
      list.push_back(&feature);
    list.push_back(nullptr);
    return list;
  }

  LV2UI_Handle Open(bool instanceAccess = true)
  {
    const std::vector<const LV2_Feature*> list = Features(instanceAccess);
    ui = descriptor->instantiate(
        descriptor, QUILLET_LV2_URI, QUILLET_LV2_BUNDLE "/",
        [](LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
           const void* buffer) {
          if (protocol == 0 && size == sizeof(float)) {
            float value = 0;
            std::memcpy(&value, buffer, sizeof value);
            static_cast<Lv2Ui*>(controller)->writes.push_back({port, value});
          }
        },
        this, &widget, list.data());
    return ui;
  }

  void Close()
  {
    if (ui)
      descriptor->cleanup(ui);
    ui = nullptr;
  }

  int Idle()
  {
    const auto* idle =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    return idle ? idle->idle(ui) : -1;
  }

  std::vector<Window> Children(Window window)
  {
    Window root = 0;
    Window up = 0;
    Window* list = nullptr;
    unsigned count = 0;
    std::vector<Window> children;
    if (XQueryTree(display, window, &root, &up, &list, &count)) {
      children.assign(list, list + count);
      XFree(list);
    }
    return children;
  }

  // A window of the panel is mapped (viewable) inside the editor's window.
  bool PanelShown()
  {
    const auto editorWindow = reinterpret_cast<Window>(widget);
    for (Window child : Children(editorWindow)) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display, child, &attributes) && attributes.map_state == IsViewable &&
          attributes.width > 0)
        return true;
    }
    return false;
  }

  // The host idles the editor while the user clicks.
  void IdleFor(int ms)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      Idle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // A real click (or `times` of them) at a point of the screen.
  void Click(int x, int y, int times)
  {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
    IdleFor(40);
    for (int i = 0; i < times; ++i) {
      XTestFakeButtonEvent(display, 1, True, CurrentTime);
      XSync(display, False);
      IdleFor(20);
      XTestFakeButtonEvent(display, 1, False, CurrentTime);
      XSync(display, False);
      IdleFor(20);
    }
    IdleFor(100);
  }

  // The editor's window inside the host's window: its top, width and height.
  struct Placement
  {
    int top = 0;
    unsigned width = 0;
    unsigned height = 0;
  };
  Placement WidgetPlacement()
  {
    Window root = 0;
    int x = 0;
    Placement placement;
    unsigned border = 0;
    unsigned depth = 0;
    XGetGeometry(display, reinterpret_cast<Window>(widget), &root, &x, &placement.top,
                 &placement.width, &placement.height, &border, &depth);
    return placement;
  }
  int WidgetTop() { return WidgetPlacement().top; }
  std::pair<unsigned, unsigned> WidgetSize()
  {
    const Placement placement = WidgetPlacement();
    return {placement.width, placement.height};
  }

  bool HasLogLine(const std::string& part)
  {
    for (const std::string& line : host.Log())
      if (line.find(part) != std::string::npos)
        return true;
    return false;
  }

  Lv2TestHost host;
  const LV2UI_Descriptor* descriptor = nullptr;
  Display* display = nullptr;
  Window parent = 0;
  LV2UI_Resize resizeFeature{};
  std::vector<LV2_Feature> features;
  LV2UI_Handle ui = nullptr;
  LV2UI_Widget widget = nullptr;
  std::vector<std::pair<int, int>> sizes;
  std::vector<PortWrite> writes;
};

TEST_F(Lv2Ui, ShowsThePanelInTheHostsWindowAndFollowsItsSize)
{
  ASSERT_NE(Open(), nullptr);
  const auto editorWindow = reinterpret_cast<Window>(widget);
  ASSERT_NE(editorWindow, 0u);
  const std::vector<Window> inParent = Children(parent);
  EXPECT_NE(std::find(inParent.begin(), inParent.end(), editorWindow), inParent.end())
      << "the editor's window is a child of ui:parent";
  EXPECT_TRUE(testsupport::WaitFor([&] { return PanelShown(); }, 3000));
  ASSERT_FALSE(sizes.empty()) << "the editor asked for its size while opening";
  EXPECT_EQ(sizes.back().second, 238);
  const int firstWidth = sizes.back().first;

  // Five strips in the current program widen the panel; the host learns the
  // new size when it idles the editor.
  std::map<uint32_t, Property> state;
  std::vector<StripSpec> five;
  for (int strip = 0; strip < 5; ++strip)
    five.push_back({0, strip, Cc(1, 70 + strip, 64), {}});
  state[host.Map("urn:quillet:quillet:bank")] = {host.Map(LV2_ATOM__Chunk), MakeBank(five, {})};
  ASSERT_EQ(host.Restore(state), LV2_STATE_SUCCESS);
  EXPECT_TRUE(testsupport::WaitFor(
      [&] {
        EXPECT_EQ(Idle(), 0);
        XSync(display, False);
        return sizes.back().first > firstWidth;
      },
      3000));
  EXPECT_EQ(WidgetSize(), std::make_pair(static_cast<unsigned>(sizes.back().first), 238u));
  // The host's ports follow the plug-in: program 0, thru off.
  bool programWritten = false;
  for (const PortWrite& write : writes)
    programWritten = programWritten || (write.port == 4 && write.value == 0.0f);
  EXPECT_TRUE(programWritten);

  Close();
  XSync(display, False);
  const std::vector<Window> after = Children(parent);
  EXPECT_EQ(std::find(after.begin(), after.end(), editorWindow), after.end())
      << "the editor's window went with the editor";
}

TEST_F(Lv2Ui, WithoutInstanceAccessRefusesAndThePluginRunsOn)
{
  EXPECT_EQ(Open(false), nullptr);
  EXPECT_TRUE(HasLogLine("no access to the plug-in (instance-access)"));
  EXPECT_TRUE(Children(parent).empty());
  // The plug-in still sends what its state asks for.
  std::map<uint32_t, Property> state;
  state[host.Map("urn:quillet:quillet:bank")] = {
      host.Map(LV2_ATOM__Chunk), MakeBank({{0, 0, Cc(1, 7, 100), {}}},
                                          {{param::kSendOnInit, 1.0f}, {param::kInitDelay, 0.0f}})};
  ASSERT_EQ(host.Restore(state), LV2_STATE_SUCCESS);
  host.RunBlocks(2);
  ASSERT_EQ(host.Received().size(), 1u);
  EXPECT_EQ(host.Received()[0].bytes, (std::vector<uint8_t>{0xB0, 0x07, 0x64}));
}

TEST_F(Lv2Ui, AHostThatDestroysItsWindowFirstGetsNoErrorAndCanOpenAgain)
{
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(testsupport::WaitFor([&] { return PanelShown(); }, 3000));
  XDestroyWindow(display, parent);
  XSync(display, False);
  parent = 0;
  Close(); // an X error here would end the test program

  parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 800, 600, 0, 0, 0);
  XMapWindow(display, parent);
  XSync(display, False);
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(testsupport::WaitFor([&] { return PanelShown(); }, 3000));
}

TEST_F(Lv2Ui, OneEditorPerInstance)
{
  ASSERT_NE(Open(), nullptr);
  LV2UI_Handle first = ui;
  ui = nullptr;
  LV2UI_Widget firstWidget = widget;
  EXPECT_EQ(Open(), nullptr);
  EXPECT_TRUE(HasLogLine("open already"));
  ui = first;
  widget = firstWidget;
}

// A host whose window keeps the size it opened with (as Ardour 7's does):
// the open drawer shows whole at the bottom of it, and the strips come back
// when it closes.
TEST_F(Lv2Ui, AHostWindowThatKeepsItsSizeShowsTheOpenDrawerWhole)
{
  XResizeWindow(display, parent, 300, 238);
  XSync(display, False);
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(testsupport::WaitFor([&] { return PanelShown(); }, 3000));
  Click(50, 231, 1); // the tab
  EXPECT_TRUE(testsupport::WaitFor(
      [&] {
        Idle();
        return WidgetTop() == 238 - 462;
      },
      10000))
      << "the editor's top is at " << WidgetTop();
  Click(50, 231 - 224, 1); // the tab, moved up with the drawer
  EXPECT_TRUE(testsupport::WaitFor(
      [&] {
        Idle();
        return WidgetTop() == 0 && sizes.back().second == 238;
      },
      10000))
      << "the editor's top is at " << WidgetTop();
}

// The drawer's Load in the LV2 edition: the panel's own file dialog, clicked
// as a user does, takes a .syx into the current program, the host's next
// save holds it and the host's chooser is told.
TEST_F(Lv2Ui, TheEditorsLoadTakesASyxIntoTheSavedState)
{
  char folder[] = "/tmp/quillet-lv2ui-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  setenv("HOME", folder, 1);
  std::ifstream in(std::string(QUILLET_SOURCE_DIR) + "/examples/voice.syx", std::ios::binary);
  const std::vector<uint8_t> voice{std::istreambuf_iterator<char>(in), {}};
  ASSERT_FALSE(voice.empty());
  std::ofstream(std::string(folder) + "/voice.syx", std::ios::binary)
      .write(reinterpret_cast<const char*>(voice.data()),
             static_cast<std::streamsize>(voice.size()));

  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(testsupport::WaitFor([&] { return PanelShown(); }, 3000));
  // The dialog: the top-level window of that name.
  auto dialogAt = [&](int& x, int& y) {
    for (Window top : Children(DefaultRootWindow(display))) {
      char* name = nullptr;
      XWindowAttributes attributes{};
      const bool shown =
          XGetWindowAttributes(display, top, &attributes) && attributes.map_state == IsViewable;
      const bool named =
          XFetchName(display, top, &name) && name && std::string(name) == "Load SysEx (.syx)";
      if (name)
        XFree(name);
      if (shown && named) {
        x = attributes.x;
        y = attributes.y;
        return true;
      }
    }
    return false;
  };
  Click(50, 231, 1); // the tab
  ASSERT_TRUE(testsupport::WaitFor(
      [&] {
        Idle();
        return sizes.back().second == 462; // the first view and the open drawer
      },
      10000));
  IdleFor(100);
  Click(50, 238 + 168 + 7, 1); // Load .syx
  int x = 0;
  int y = 0;
  ASSERT_TRUE(testsupport::WaitFor(
      [&] {
        Idle();
        return dialogAt(x, y);
      },
      3000));
  // "..", then voice.syx: a double click takes it.
  Click(x + 10 + 129, y + 46 + 16 + 8, 2);
  EXPECT_TRUE(testsupport::WaitFor(
      [&] {
        Idle();
        const std::vector<uint8_t> bank = host.SavedBank();
        return std::search(bank.begin(), bank.end(), voice.begin(), voice.end()) != bank.end();
      },
      3000))
      << "the saved state holds the file's message";
  // The host's "SysEx file" chooser is told, as after a file it set.
  Idle();
  host.Run();
  EXPECT_THAT(host.TakeReports(), testing::ElementsAre("urn:quillet:quillet:sysex-file=" +
                                                       std::string(folder) + "/voice.syx"));
  std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}

} // namespace
} // namespace lv2test
