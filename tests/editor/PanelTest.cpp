// The panel as a musician uses it: real pointer input (XTest) at the panel's
// coordinates, delivered in every host model, and the effects seen where a
// host sees them (parameters, automation, chunks, MIDI, pixels).
#include "tests/editor/EditorFixture.h"

#include "editor/SPluginEditor.h"
#include "editor/SPluginPanel.h"
#include "engine/VSTPlugin.h"
#include "gui/SDial.h"
#include "gui/XDisplay.h"
#include "model/Parameters.h"
#include "model/VSTPluginProgram.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/RecordStress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstring>

using edittest::EditorHost;
using edittest::Options;

namespace {

constexpr size_t kProgramBytes = 276;

// Where things are on the panel.
constexpr int kAddX = 112;
constexpr int kButtonRowY = 217;
int RemoveX(int column)
{
  return 25 * column + 112;
}
int DialX(int column)
{
  return 25 * column + 113;
}
constexpr int kChannelAY = 52;
constexpr int kThruX = 37;
constexpr int kThruY = 124;
constexpr int kResendY = 142;
constexpr int kCopyX = 70;
constexpr int kPasteX = 88;
constexpr int kCopyY = 218;
constexpr int kChangeDelayX = 38;
constexpr int kChangeDelayY = 216;

struct StripState
{
  int32_t order[16];
  int32_t count;
  uint8_t inUse[16];
};

StripState Strips(qhost::PluginInstance& plugin)
{
  const std::vector<uint8_t> program = plugin.GetChunk(true);
  StripState state{};
  if (program.size() != kProgramBytes)
    return state;
  std::memcpy(state.order, program.data() + 192, sizeof state.order);
  std::memcpy(&state.count, program.data() + 256, sizeof state.count);
  for (int k = 0; k < 16; ++k)
    state.inUse[k] = program[48 + 9 * static_cast<size_t>(k)];
  return state;
}

std::vector<int32_t> Order(const StripState& state)
{
  return std::vector<int32_t>(state.order, state.order + 16);
}

using PanelBase = edittest::OpenedEditor;

// The panel in every host model.
class Panel : public PanelBase, public ::testing::WithParamInterface<qhost::HostStyle>
{
protected:
  void Start() { StartIn(GetParam()); }
};

// The panel in one host model, for what does not depend on event delivery.
class PanelInOneHost : public PanelBase
{
protected:
  void Start() { StartIn(qhost::HostStyle::EventProc); }
};

} // namespace

TEST_P(Panel, AddingStripsGrowsTheWindowUpToSixteenColumns)
{
  Start();
  host->Click(kAddX, kButtonRowY);
  ASSERT_TRUE(WaitWidth(170));
  StripState strips = Strips(Plugin());
  EXPECT_EQ(strips.count, 2);
  EXPECT_EQ(strips.inUse[1], 1);
  EXPECT_THAT(Order(strips),
              testing::ElementsAre(0, 1, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16));
  for (int i = 0; i < 15; ++i)
    host->Click(kAddX, kButtonRowY);
  ASSERT_TRUE(WaitWidth(520));
  strips = Strips(Plugin());
  EXPECT_EQ(strips.count, 16) << "the sixteenth press changes nothing";
}

TEST_P(Panel, RemovingAMiddleStripMovesTheLaterOnesLeftAndClearsIt)
{
  Start();
  host->Click(kAddX, kButtonRowY);
  host->Click(kAddX, kButtonRowY);
  ASSERT_TRUE(WaitWidth(195));
  // Strip 1 (column 1) gets a value, then goes.
  Plugin().SetParameter(param::kChannelA + 1, 5.0f / 16.0f);
  host->Pump(80);
  host->Click(RemoveX(1), kButtonRowY);
  ASSERT_TRUE(WaitWidth(170));
  StripState strips = Strips(Plugin());
  EXPECT_EQ(strips.count, 2);
  EXPECT_EQ(strips.inUse[1], 0);
  EXPECT_EQ(strips.order[1], 2) << "strip 2 moved to column 1";
  EXPECT_EQ(strips.order[2], 16);
  EXPECT_EQ(Plugin().GetParameter(param::kChannelA + 1), 0.0f) << "its bytes are cleared";
  host->Click(kAddX, kButtonRowY);
  ASSERT_TRUE(WaitWidth(195));
  strips = Strips(Plugin());
  EXPECT_EQ(strips.order[2], 1) << "strip 1 comes back in the next column";
}

TEST_P(Panel, DraggingAChannelDialSetsItsParameter)
{
  Start();
  host->Click(kAddX, kButtonRowY);
  host->Click(kAddX, kButtonRowY);
  ASSERT_TRUE(WaitWidth(195));
  // Strip 2 is in column 2. Drag upwards a pixel at a time until the dial
  // has stepped to channel 9 (every step goes to the engine at once).
  host->MovePointer(DialX(2), kChannelAY);
  host->Pump(30);
  host->Press();
  host->Pump(30);
  float value = 0.0f;
  for (int dy = 1; dy <= 120 && value < 0.5625f; ++dy) {
    host->MovePointer(DialX(2), kChannelAY - dy);
    host->Pump(8);
    value = Plugin().GetParameter(42);
  }
  host->Release();
  host->Pump(30);
  EXPECT_EQ(value, 0.5625f) << "setParameter(42, 9 x 0.0625)";
  EXPECT_EQ(Plugin().GetParameter(42), 0.5625f);
}

TEST_P(Panel, ThruAndResendReachTheHostAsAutomation)
{
  Start();
  Plugin().SetParameter(param::kChannelA, 1.0f / 16.0f);
  Plugin().SetParameter(param::kNumberA, 8.0f / 128.0f);
  Plugin().SetParameter(param::kValueA, 101.0f / 128.0f);
  host->Pump(60);
  Plugin().ClearCallbacks();
  Plugin().ClearReceived();
  host->Click(kThruX, kThruY);
  host->Click(kThruX, kThruY);
  host->Click(kThruX, kResendY);
  host->Pump(100);
  std::vector<std::pair<int32_t, float>> automation;
  for (const qhost::CallbackRecord& record : Plugin().Callbacks())
    if (record.opcode == audioMasterAutomate)
      automation.emplace_back(record.index, record.opt);
  EXPECT_THAT(automation, testing::ElementsAre(std::make_pair(1, 1.0f), std::make_pair(1, 0.0f),
                                               std::make_pair(0, 1.0f), std::make_pair(0, 0.0f)));
  size_t sends = 0;
  for (const qhost::ReceivedEvent& event : Plugin().Received())
    sends += event.bytes[0] == 0xB0 && event.bytes[1] == 7 && event.bytes[2] == 100 ? 1 : 0;
  EXPECT_EQ(sends, 1u) << "one resend";
}

TEST_P(Panel, CopyAndPasteBetweenPrograms)
{
  Start();
  Plugin().SetParameter(param::kValueB, 77.0f / 128.0f);
  host->Pump(60);
  host->Click(kCopyX, kCopyY);
  Plugin().SelectProgram(9);
  host->Pump(100);
  EXPECT_EQ(Plugin().GetParameter(param::kValueB), 0.0f);
  host->Click(kPasteX, kCopyY);
  EXPECT_TRUE(host->PumpUntil([&] { return Plugin().GetParameter(param::kValueB) > 0.0f; }));
  EXPECT_EQ(Plugin().GetParameter(param::kValueB), 77.0f / 128.0f);
  EXPECT_EQ(Plugin().ProgramName(), "010 - empty preset") << "the name stays";
}

TEST_P(Panel, ProgramChangeFromTheHostReLaysTheStrips)
{
  Start();
  // Program 3 gets strips 0, 3 and 1 in that order, and a value.
  auto bank = Plugin().GetChunk(false);
  uint8_t* three = bank.data() + 3 * kProgramBytes;
  three[48 + 9 * 3] = 1;
  three[48 + 9 * 1] = 1;
  const int32_t order[3] = {0, 3, 1};
  std::memcpy(three + 192, order, sizeof order);
  const int32_t count = 3;
  std::memcpy(three + 256, &count, sizeof count);
  three[48 + 9 * 3 + 3] = 7; // strip 3, channel A = 7
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  Plugin().SelectProgram(3);
  ASSERT_TRUE(WaitWidth(195));
  EXPECT_EQ(Plugin().GetParameter(param::kChannelA + 3), 7.0f / 16.0f);
  // Strip 3 sits in column 1: its channel dial shows "07" in yellow, once
  // the panel has drawn its new layout (later than the resize on a busy
  // machine).
  const unsigned long panel = host->FirstChild(host->Window());
  auto yellow = [&] {
    for (int x = DialX(1) - 10; x < DialX(1) + 10; ++x)
      for (int y = kChannelAY - 5; y < kChannelAY + 5; ++y)
        if (host->Pixel(panel, x, y) == 0xFFFF00)
          return true;
    return false;
  };
  EXPECT_TRUE(host->PumpUntil(yellow));
  Plugin().SelectProgram(0);
  EXPECT_TRUE(WaitWidth(145));
}

TEST_P(Panel, ChangeCountdownCountsInOrangeAndIgnoresTheMouse)
{
  Start();
  Plugin().SetParameter(param::kSendOnChange, 1.0f);
  Plugin().SetParameter(param::kChangeDelay, param::Decode(2, param::kDelay));
  host->Pump(100);
  const unsigned long panel = host->FirstChild(host->Window());
  auto orangeInDial = [&] {
    for (int x = 28; x < 48; ++x)
      for (int y = 210; y < 222; ++y)
        if (host->Pixel(panel, x, y) == 0xFF8000)
          return true;
    return false;
  };
  EXPECT_FALSE(orangeInDial());
  Plugin().SelectProgram(1);
  ASSERT_TRUE(host->PumpUntil(orangeInDial, 1500));
  // Dragging the counting dial does nothing.
  host->Drag(kChangeDelayX, kChangeDelayY, -30);
  EXPECT_FLOAT_EQ(Plugin().GetParameter(param::kChangeDelay) * 999.0f, 2.0f);
  EXPECT_TRUE(host->PumpUntil([&] { return !orangeInDial(); }, 3000)) << "white again";
  host->Drag(kChangeDelayX, kChangeDelayY, -12);
  EXPECT_TRUE(host->PumpUntil([&] {
    return Plugin().GetParameter(param::kChangeDelay) * 999.0f > 2.5f;
  })) << "the dial takes the mouse again";
}

TEST_P(Panel, LogoHidesAndComesBack)
{
  Start();
  const unsigned long panel = host->FirstChild(host->Window());
  const unsigned long logoPixel = host->Pixel(panel, 35, 40);
  host->Click(35, 40);
  EXPECT_TRUE(host->PumpUntil([&] { return host->Pixel(panel, 35, 40) != logoPixel; }));
  host->Click(35, 40);
  EXPECT_TRUE(host->PumpUntil([&] { return host->Pixel(panel, 35, 40) == logoPixel; }));
}

TEST_P(Panel, TooltipIndicatorSwitchesTheTips)
{
  Start();
  const unsigned long panel = host->FirstChild(host->Window());
  const unsigned long before = host->Pixel(panel, 5, 5);
  host->Click(5, 5);
  EXPECT_TRUE(host->PumpUntil([&] { return host->Pixel(panel, 5, 5) != before; }));
  host->Click(5, 5);
  EXPECT_TRUE(host->PumpUntil([&] { return host->Pixel(panel, 5, 5) == before; }));
}

TEST_P(Panel, KnownPixelsOfTheFreshPanel)
{
  Start();
  const unsigned long panel = host->FirstChild(host->Window());
  EXPECT_EQ(host->Pixel(panel, 0, 120), 0x0000FFu) << "blue outline";
  EXPECT_EQ(host->Pixel(panel, 105, 120), 0x000000u) << "the strip area";
  EXPECT_EQ(host->Pixel(panel, 66, 60), 0x640000u) << "the dark red band";
  EXPECT_EQ(host->Pixel(panel, 58, 105), 0x4D5154u) << "the grey background";
  EXPECT_EQ(host->Pixel(panel, 101, 211), 0x00FF00u) << "the green add button";
}

namespace {

// Mapped top-level windows other than the host's (a shown tooltip is one).
int MappedPopups(EditorHost& host)
{
  Display* display = host.Display();
  ::Window root = 0;
  ::Window parent = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  int mapped = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes{};
      if (children[i] != host.Window() && XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.map_state == IsViewable && attributes.override_redirect)
        ++mapped;
    }
  }
  if (children)
    XFree(children);
  return mapped;
}

} // namespace

TEST_P(Panel, TipsShowOnlyWhileSwitchedOn)
{
  Start();
  host->MovePointer(kThruX, kThruY);
  host->Pump(300);
  EXPECT_EQ(MappedPopups(*host), 0) << "tips start switched off";
  host->MovePointer(70, 120); // the background
  host->Pump(50);
  host->Click(5, 5); // the indicator square: on
  host->MovePointer(kThruX, kThruY);
  EXPECT_TRUE(host->PumpUntil([&] { return MappedPopups(*host) == 1; }));
  host->MovePointer(70, 120);
  EXPECT_TRUE(host->PumpUntil([&] { return MappedPopups(*host) == 0; }));
  host->MovePointer(kAddX, kButtonRowY); // another control has its tip too
  EXPECT_TRUE(host->PumpUntil([&] { return MappedPopups(*host) == 1; }));
  host->MovePointer(70, 120);
  host->Pump(50);
  host->Click(5, 5); // off again
  host->MovePointer(kThruX, kThruY);
  host->Pump(300);
  EXPECT_EQ(MappedPopups(*host), 0);
}

TEST_P(Panel, ClosingTheEditorDuringACountdownAndThenThePluginIsClean)
{
  Start();
  Plugin().SetParameter(param::kSendOnChange, 1.0f);
  Plugin().SetParameter(param::kChangeDelay, param::Decode(2, param::kDelay));
  Plugin().SelectProgram(2);
  host->Pump(300);
  host->Close();
  host->Pump(1200); // notices of the countdown arrive while closed
  host->Open();
  host->Pump(200);
  EXPECT_EQ(Plugin().Close(), 1);
}

namespace {

// One step of a musician's session, done once through the editor (real
// input) and once straight through the program model on a plug-in of the
// test's own.
struct Step
{
  enum Kind
  {
    Plus,
    Minus,       // of `strip`
    ChannelDial, // drag the channel A dial of `strip` up by `pixels`
    ValueDial,   // the same for value B
    DelayDial,   // the change delay dial
    Select,      // program `strip`
  } kind;
  int strip = 0;
  int pixels = 0;
};

constexpr int kValueBY = 188;

} // namespace

TEST_F(PanelInOneHost, ScriptedEditsGiveTheBankTheProgramModelGives)
{
  Start();
  testsupport::DirectHost::Reset();
  int status = 0;
  VSTPlugin model(testsupport::DirectHost::Callback, status);
  auto modelColumn = [&](int strip) { return model.CurrentProgram().ColumnOf(strip); };
  auto columns = [&] {
    int32_t order[16];
    return model.CurrentProgram().StripsInDisplayOrder(order);
  };

  const std::vector<Step> script = {
      {Step::Plus},
      {Step::Plus},
      {Step::Plus},
      {Step::ChannelDial, 2, 22},
      {Step::ChannelDial, 3, 12},
      {Step::ValueDial, 1, 30},
      {Step::Minus, 2},
      {Step::Select, 4},
      {Step::Plus},
      {Step::ChannelDial, 1, 40},
      {Step::DelayDial, 0, 16},
      {Step::Select, 0},
      {Step::Plus},
      {Step::ValueDial, 2, 8},
      {Step::Minus, 1},
      {Step::Plus},
      {Step::Plus},
      {Step::Minus, 3},
  };
  for (size_t i = 0; i < script.size(); ++i) {
    const Step& step = script[i];
    SCOPED_TRACE("step " + std::to_string(i));
    switch (step.kind) {
    case Step::Plus:
      host->Click(kAddX, kButtonRowY);
      model.CurrentProgram().AddStrip();
      break;
    case Step::Minus:
      host->Click(RemoveX(modelColumn(step.strip)), kButtonRowY);
      model.CurrentProgram().RemoveStrip(step.strip);
      break;
    case Step::ChannelDial:
    case Step::ValueDial: {
      const int32_t index =
          (step.kind == Step::ChannelDial ? param::kChannelA : param::kValueB) + step.strip;
      const float before = Plugin().GetParameter(index);
      host->Drag(DialX(modelColumn(step.strip)),
                 step.kind == Step::ChannelDial ? kChannelAY : kValueBY, -step.pixels);
      const float after = Plugin().GetParameter(index);
      ASSERT_NE(after, before) << "the drag moved the dial";
      model.setParameter(index, after);
      break;
    }
    case Step::DelayDial: {
      host->Drag(kChangeDelayX, kChangeDelayY, -step.pixels);
      const float after = Plugin().GetParameter(param::kChangeDelay);
      ASSERT_GT(after, 0.0f);
      model.setParameter(param::kChangeDelay, after);
      break;
    }
    case Step::Select: {
      Plugin().SelectProgram(step.strip);
      model.setProgram(step.strip); // the refresh that follows writes nothing
      break;
    }
    }
    ASSERT_TRUE(WaitWidth(120 + 25 * columns())) << "the editor shows the model's columns";
  }
  host->Pump(60);

  const std::vector<uint8_t> edited = Plugin().GetChunk(false);
  ASSERT_EQ(edited.size(), sizeof(VSTPluginProgram) * 128);
  const auto* modelled = reinterpret_cast<const uint8_t*>(&model.Program(0));
  for (size_t byte = 0; byte < edited.size(); ++byte)
    ASSERT_EQ(edited[byte], modelled[byte]) << "program " << byte / 276 << ", byte " << byte % 276;
  // The script reached what it set out to: strips in two programs, one removed
  // and added again, a delay for all.
  EXPECT_THAT(std::vector<int32_t>(model.Program(0).stripOrder, model.Program(0).stripOrder + 5),
              testing::ElementsAre(0, 2, 1, 4, 16));
  EXPECT_EQ(model.Program(4).stripCount, 2);
  EXPECT_GT(model.Program(127).changeDelay, 0);
}

TEST_F(PanelInOneHost, RecordsStayWholeUnderHostThreadsWithTheEditorOpen)
{
  Start();
  host->audio = false; // the stress's audio thread runs the blocks
  int rounds = 0;
  // The host's GUI loop meanwhile: refreshes on every notice, and now and
  // then a "+" (the panel's own strip edits).
  const testsupport::RecordStressCounts counts =
      testsupport::RunRecordStress(Plugin().Effect(), std::chrono::milliseconds(900), [&] {
        if (++rounds % 25 == 0)
          host->Click(kAddX, kButtonRowY);
        else
          host->Pump(10);
      });
  EXPECT_GT(counts.blocks, 20);
  EXPECT_GT(counts.dispatcherRounds, 50);
  host->Pump(100);
  testsupport::ExpectWholeRecords(testsupport::CopyLiveChunk(Plugin().Effect(), false));
}

// A host that loads chunks with the editor open (none handed the display)
// and selects a program after each: a refused chunk must leave the bank as
// it was, however the load falls against the panel's refresh on the idle
// thread. The accepted bank lists a strip that is not in use and a strip
// twice, an order a panel refresh would once repair in the records.
TEST_F(PanelInOneHost, ARefusedChunkLeavesTheBankByteForByteWithTheEditorOpen)
{
  StartIn(qhost::HostStyle::Qtractor);
  std::vector<uint8_t> damaged = Plugin().GetChunk(false);
  ASSERT_EQ(damaged.size(), 128 * kProgramBytes);
  auto& record = *reinterpret_cast<VSTPluginProgram*>(damaged.data());
  record.stripOrder[1] = 5;
  record.strips[5].channelA = 3;
  record.stripOrder[2] = 0;
  record.strips[3].inUse = 1;
  record.stripOrder[3] = 3;
  record.stripCount = 3;
  const std::vector<uint8_t> refused(100, 0);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(Plugin().SetChunk(damaged, false), 1);
    host->Pump(round % 3 * 10); // the load early or late against the refresh
    Plugin().SelectProgram(0);
    const std::vector<uint8_t> before = Plugin().GetChunk(false);
    ASSERT_EQ(Plugin().SetChunk(refused, false), 0);
    host->Pump(60); // the refresh the selection asked for comes meanwhile
    ASSERT_EQ(Plugin().GetChunk(false), before);
  }
  EXPECT_EQ(Plugin().GetChunk(false), damaged) << "shown, never repaired behind the host's back";
  EXPECT_TRUE(WaitWidth(145 + 25)) << "strips 0 and 3 shown, strip 5 not, strip 0 once";
}

// Built directly, so that the dials' values can be read.
TEST(PanelValues, DelaysFromAChunkShowWithin999Seconds)
{
  Display* display = ActiveDisplay();
  ASSERT_NE(display, nullptr);
  testsupport::DirectHost::Reset();
  int status = 0;
  VSTPlugin plugin(testsupport::DirectHost::Callback, status);
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 520, 238, 0, 0, 0);
  XMapWindow(display, window);
  XSync(display, False);
  SPluginEditor* editor = EditorOf(plugin);
  ASSERT_EQ(editor->open(reinterpret_cast<void*>(window)), 1);

  std::vector<uint8_t> chunk(sizeof(VSTPluginProgram));
  CopyProgram(*reinterpret_cast<VSTPluginProgram*>(chunk.data()), plugin.CurrentProgram());
  auto& record = *reinterpret_cast<VSTPluginProgram*>(chunk.data());
  record.initDelay = INT32_MAX;
  record.changeDelay = INT32_MIN;
  ASSERT_EQ(plugin.setChunk(chunk.data(), static_cast<int32_t>(chunk.size()), true), 1);
  XLockDisplay(display);
  editor->update();
  const int init = editor->Panel()->initDelayDial->GetValue();
  const int change = editor->Panel()->changeDelayDial->GetValue();
  XUnlockDisplay(display);
  EXPECT_EQ(init, 999);
  EXPECT_EQ(change, 0);

  editor->close();
  XDestroyWindow(display, window);
  XSync(display, False);
}

INSTANTIATE_TEST_SUITE_P(HostModels, Panel, ::testing::ValuesIn(qhost::AllHostStyles()),
                         [](const auto& info) { return edittest::StyleTestName(info.param); });
