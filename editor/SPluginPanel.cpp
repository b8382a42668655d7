#include "editor/SPluginPanel.h"

#include "editor/SNumberText.h"

#include "editor/SPanelFiles.h"
#include "editor/SPluginEditor.h"
#include "engine/VSTPlugin.h"
#include "gui/SButton.h"
#include "gui/SDial.h"
#include "gui/SGlobals.h"
#include "gui/SImageLabel.h"
#include "gui/SStaticData.h"
#include "gui/SToolTip.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"
#include "gui/resources/TextLogo.h"
#include "model/Parameters.h"
#include "model/StripMessages.h"
#include "plugin/PluginInfo.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

using vexo::gui::Rect;
using vexo::gui::SCOL;

namespace {

constexpr int kColumnWidth = 25;
constexpr int kStripDialX = 101;
constexpr int kStripButtonX = 100;
constexpr int kStripButtonY = 210;
// The drawer's tab sits in the bottom band, below copy and paste.
constexpr int kTabX = 4;
constexpr int kTabY = 227;
constexpr int kTabWidth = 94;
constexpr int kTabHeight = 9;
// Rows of the drawer, from the first view's bottom.
constexpr int kDrawerSwitchRow = 6;
constexpr int kDrawerDialRow = 30;
constexpr int kDrawerHeardRow = 51;
// The SysEx part: its heading, the request button and the gap dial, the
// listed messages (a row each) and the line that counts the rest.
constexpr int kDrawerSysExHeadRow = 68;
constexpr int kDrawerSysExControlRow = 82;
constexpr int kDrawerSysExListRow = 100;
constexpr int kSysExRowHeight = 13;
constexpr int kDrawerSysExMoreRow =
    kDrawerSysExListRow + kSysExRowHeight * SPluginPanel::kSysExRows;
static_assert(kDrawerSysExMoreRow + 12 < SPanelFiles::kTop, "the list fits above the file rows");
static_assert(SPanelFiles::kTop + SPanelFiles::kHeight <= SPluginPanel::kDrawerHeight,
              "the file rows fit the drawer");
// The list's arrows, right of its rows.
constexpr int kSysExArrowX = 126;
// The status row of the last send, at the drawer's foot below the file rows.
constexpr int kDrawerVerifyRow = SPanelFiles::kTop + SPanelFiles::kHeight + 2;
static_assert(kDrawerVerifyRow + SVerifyRow::kHeight <= SPluginPanel::kDrawerHeight,
              "the rows fit the drawer");

int Colour(int r, int g, int b)
{
  return static_cast<int>(SCOL(r, g, b));
}

// The panel's colours.
struct Palette
{
  int grey = Colour(77, 81, 84);
  int lightGrey = Colour(138, 145, 150);
  int midGrey = Colour(128, 128, 128);
  int white = Colour(255, 255, 255);
  int black = Colour(0, 0, 0);
  int orange = Colour(255, 128, 0);
  // The strip dials' label colours while they take input.
  int number = Colour(0, 255, 255);
  int value = Colour(172, 128, 255);
};

// The row of each strip dial, per parameter group (index 8 + 16·group +
// strip): format, channel, number and value of message A and of message B.
constexpr int kRowY[param::kStripGroups] = {24, 118, 45, 139, 66, 160, 87, 181};

// The tooltips that list the message kinds, from the model's table: the
// format dial's, and the Learn button's (the kinds learning takes).
struct KindTips
{
  char format[192] = {};
  char learn[192] = {};
  KindTips()
  {
    constexpr int kWidth = 22; // the widest line of the other tips
    char list[160];
    strips::KindList kinds;
    kinds.lead = "(cycles through";
    kinds.tail = ")";
    kinds.width = kWidth;
    strips::ListKinds(kinds, list, sizeof list);
    std::snprintf(format, sizeof format, "Control:\nMessage Format\n%s", list);
    kinds.lead = "(from incoming";
    kinds.which = strips::Learned;
    kinds.more = "SysEx";
    strips::ListKinds(kinds, list, sizeof list);
    std::snprintf(learn, sizeof learn, "Option:\nLearn Values\n%s", list);
  }
};

const KindTips& Tips()
{
  static const KindTips tips;
  return tips;
}

bool IsPress(int code)
{
  return (code >= 3 && code <= 5) || (code >= 7 && code <= 9);
}

bool InsideInclusive(const Rect& rect, int x, int y)
{
  return x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom;
}

// Holds the engine's strip lock for an edit of the current program's
// strips, so that the learning thread never applies a message to a strip
// the panel has half written. The lock is recursive: setParameter, which
// takes it too for a message's several fields, may be called inside.
class StripEditLock
{
public:
  explicit StripEditLock(VSTPlugin& plugin) : hold(plugin.StripLock()) {}

private:
  std::lock_guard<std::recursive_mutex> hold;
};

} // namespace

SPluginPanel::SPluginPanel() = default;

SPluginPanel::SPluginPanel(SGlobals* globals_, vexo::gui::SControl* parent_, unsigned id_,
                           const char* title, int style_, int x, int y, int width, int height,
                           int parentWindow, bool unused)
    : SWindow(globals_, parent_, id_, title, style_, x, y, width, height,
              static_cast<unsigned long>(static_cast<unsigned int>(parentWindow)), unused)
{
  EnableEventHandler(vexo::gui::kEventValue);
  EnableEventHandler(vexo::gui::kEventDial);
  EnableEventHandler(vexo::gui::kEventTimer);
  AddEventListener(this, vexo::gui::kEventTimer);
  CreateBackBuffer(height + kDrawerHeight);
}

SPluginPanel::~SPluginPanel()
{
  // The controls are children and go with the window; their handlers must
  // be done before the tables they point at are freed.
  CleanUp();
  delete[] numberLabels;
  delete[] channelLabels;
  delete[] formatLabels;
  files.reset(); // here, while the drawing objects it draws with still exist
  delete panelBufferDevice;
  delete panelBufferBitmap;
}

void SPluginPanel::CreateBackBuffer(int height)
{
  if (!drawing || !window)
    return;
  panelBufferBitmap = new vexo::gui::context::SDrawBitmap();
  panelBufferBitmap->Create(nullptr, kBufferWidth, height, false);
  panelBufferDevice =
      new vexo::gui::context::SDrawMemoryDevice(drawing->GetDevice(), panelBufferBitmap);
}

// ------------------------------------------------------------- building

SPluginPanel::Button* SPluginPanel::MakeButton(const char* title, int x, int y, int width,
                                               int height, const char* text, int fontSize, int type,
                                               int activeBackground, int activeText,
                                               const char* tip)
{
  const Palette p;
  auto* button = new Button(globals, this, static_cast<unsigned>(globals->NextId()), title,
                            vexo::gui::kStyleRounded, x, y, width, height, window, false);
  button->SetType(type);
  button->SetColours(p.black, activeBackground, p.grey, p.white, p.white, p.white, p.white);
  button->SetLabelColours(p.white, p.midGrey);
  button->SetHoverColours(p.white, p.white);
  button->SetLabel(text, statdata.FindFont(fontSize), 0);
  if (activeText >= 0)
    button->SetLabelColourActive(activeText);
  button->AddEventListener(this, vexo::gui::kEventValue);
  if (tip)
    button->SetTooltip(tooltip, tip, 0);
  button->Show();
  Add(button);
  return button;
}

// The options' dials: grey, white values; only the drag steps differ. The
// caller adds the dial (the delay dials are shown first).
SPluginPanel::Dial* SPluginPanel::MakeOptionDial(const char* title, int x, int y, int width,
                                                 int max, int stepLeft, int stepRight,
                                                 bool leftDragStepped, const char* tip)
{
  const Palette p;
  auto* dial = new Dial(globals, this, static_cast<unsigned>(globals->NextId()), title, 0x30, x, y,
                        width, 14, false, true, window, 0, 0, max, 0);
  dial->dragStepLeft = stepLeft;
  dial->dragStepRight = stepRight;
  dial->leftDragStepped = leftDragStepped;
  dial->SetColours(p.grey, p.grey, p.grey, p.white, p.white, p.white, p.white);
  dial->SetLabel("", statdata.FindFont(8), 0);
  dial->SetValueFont(statdata.FindFont(8));
  dial->SetLabelColours(p.white, p.midGrey);
  dial->SetHoverColours(p.grey, p.lightGrey);
  dial->SetControlColours(p.grey, p.grey, p.grey, p.grey);
  dial->AddEventListener(this, vexo::gui::kEventDial);
  dial->SetTooltip(tooltip, tip, 0);
  return dial;
}

SPluginPanel::Dial* SPluginPanel::MakeDelayDial(const char* title, int y, const char* lastTipLine)
{
  vexo::data::datastring<32, char> tip;
  tip.Append("Option:\nSelect Delay\n   \n");
  tip.Append("(after which the values\n");
  tip.Append(lastTipLine);
  Dial* dial = MakeOptionDial(title, 27, y, 22, 999, 5, 12, true, tip.Text());
  dial->Show();
  Add(dial);
  return dial;
}

SPluginPanel::Dial* SPluginPanel::MakeStripDial(const char* title, int max, int valueColour,
                                                int stepLeft, int stepRight, ValueText* table,
                                                int tableSize)
{
  const Palette p;
  auto* dial = new Dial(globals, this, static_cast<unsigned>(globals->NextId()), title, 0x30, 0, 0,
                        24, 14, false, true, window, 0, 0, max, 0);
  dial->dragStepLeft = stepLeft;
  dial->dragStepRight = stepRight;
  dial->SetColours(p.black, p.black, p.black, p.white, p.white, p.white, p.white);
  dial->SetLabel("", statdata.FindFont(8), 0);
  dial->SetValueFont(statdata.FindFont(8));
  dial->SetLabelColours(valueColour, p.midGrey);
  dial->SetHoverColours(p.black, p.lightGrey);
  dial->SetControlColours(p.black, p.black, p.black, p.black);
  dial->labelTable = table;
  dial->tableSize = tableSize;
  dial->ownsLabelTable = false;
  dial->useLabelTable = true;
  dial->useNameTable = false;
  dial->SetValueRange(0, max, 0);
  if (table == formatLabels) {
    dial->wrapsAround = true;
    dial->SetTooltip(tooltip, Tips().format, 0);
  }
  dial->AddEventListener(this, vexo::gui::kEventDial);
  Add(dial);
  return dial;
}

SPluginPanel::Dial* SPluginPanel::MakeMillisecondDial(const char* title, int x, int y, int width,
                                                      int max, const char* tip)
{
  // Milliseconds come in hundreds: the left button moves a millisecond per
  // pixel, the right button and the wheel step one at a time.
  Dial* dial = MakeOptionDial(title, x, y, width, max, 2, 6, false, tip);
  Add(dial);
  return dial;
}

void SPluginPanel::CreateFixedControls()
{
  const Palette p;
  logo = new vexo::gui::SImageLabel(globals, this, static_cast<unsigned>(globals->NextId()),
                                    "(QLTX) Label: Logo", 0, 10, 10, 50, 88, window);
  logo->LoadBackground(vexo::images::text_logo, 50, 88);
  logo->AddEventListener(this, vexo::gui::kEventValue);
  logo->Show();
  Add(logo);
  logoRect = logo->WindowRect();

  presetSwitchButton = MakeButton("(QLTX) Button: Preset Switching", 17, 98, 40, 16, "PC", 8,
                                  vexo::gui::kButtonToggle, Colour(255, 0, 255), p.black,
                                  "Option:\nEnable Preset Switching\n(via Program Changes)");
  thruButton = MakeButton("(QLTX) Button: Midi Through", 17, 116, 40, 16, "Thru", 8,
                          vexo::gui::kButtonToggle, p.orange, p.black, "Option:\nToggle Midi Thru");
  resendButton =
      MakeButton("(QLTX) Button: Resend", 17, 134, 40, 16, "Resend", 8, vexo::gui::kButtonPush,
                 Colour(128, 255, 0), p.black, "Action:\nResend Values");
  initSendButton =
      MakeButton("(QLTX) Button: Init-Send", 17, 159, 40, 16, "I-Send", 8, vexo::gui::kButtonToggle,
                 Colour(0, 0, 255), -1, "Option:\nSend Values\n(on plugin init)");
  changeSendButton = MakeButton("(QLTX) Button: Change-Send", 17, 192, 40, 16, "P-Send", 8,
                                vexo::gui::kButtonToggle, Colour(255, 0, 0), -1,
                                "Option:\nSend Values\n(on preset change)");
  copyButton = MakeButton("(QLTX) Button: Copy", 62, 210, 16, 16, "C", 7, vexo::gui::kButtonPush,
                          p.lightGrey, -1, "Action:\nCopy Preset");
  pasteButton = MakeButton("(QLTX) Button: Paste", 80, 210, 16, 16, "P", 7, vexo::gui::kButtonPush,
                           p.lightGrey, -1, "Action:\nPaste Preset");
  initDelayDial = MakeDelayDial("(QLTX) Control: Initdelay", 176, "are sent on plugin init)");
  changeDelayDial = MakeDelayDial("(QLTX) Control: Changedelay", 209, "are sent on preset change)");
}

void SPluginPanel::CreateValueTables()
{
  numberLabels = new ValueText[129];
  numberLabels[0].Append("- - -");
  for (int j = 1; j <= 128; ++j) {
    const int n = j - 1;
    if (n < 100)
      numberLabels[j].Append('0');
    if (n < 10)
      numberLabels[j].Append('0');
    numberLabels[j].Append(8, "%i", n);
  }
  channelLabels = new ValueText[17];
  channelLabels[0].Append("- - -");
  for (int j = 1; j <= 16; ++j) {
    if (j < 10)
      channelLabels[j].Append('0');
    channelLabels[j].Append(8, "%i", j);
  }
  // The format dial cycles through the message kinds, in their table's
  // order.
  formatLabels = new ValueText[strips::KindCount()];
  for (int32_t k = 0; k < strips::KindCount(); ++k)
    formatLabels[k].Append(strips::Kinds()[k].name);
}

void SPluginPanel::CreateStripControls()
{
  const Palette p;
  struct Kind
  {
    const char* title;
    int max;
    int colour;
    int stepLeft;
    int stepRight;
  };
  const Kind kinds[4] = {
      {"(QLTX) Control: Format (Strip ", strips::KindCount() - 1, Colour(255, 0, 0), 16, 40},
      {"(QLTX) Control: Channel (Strip ", 16, Colour(255, 255, 0), 5, 12},
      {"(QLTX) Control: Number (Strip ", 128, p.number, 5, 12},
      {"(QLTX) Control: Value (Strip ", 128, p.value, 5, 12},
  };
  ValueText* tables[4] = {formatLabels, channelLabels, numberLabels, numberLabels};
  const int tableSizes[4] = {strips::KindCount(), 17, 129, 129};

  for (int k = 0; k < kStrips; ++k) {
    StripControls& strip = stripControls[k];
    Dial** messageA[4] = {&strip.formatADial, &strip.channelADial, &strip.numberADial,
                          &strip.valueADial};
    Dial** messageB[4] = {&strip.formatBDial, &strip.channelBDial, &strip.numberBDial,
                          &strip.valueBDial};
    for (int message = 0; message < 2; ++message) {
      const int n = message == 0 ? k + 1 : k + 17;
      for (int kind = 0; kind < 4; ++kind) {
        vexo::data::datastring<32, char> title;
        title.Append(kinds[kind].title);
        title.Append(32, "%i", n);
        title.Append(")");
        *(message == 0 ? messageA : messageB)[kind] =
            MakeStripDial(title.Text(), kinds[kind].max, kinds[kind].colour, kinds[kind].stepLeft,
                          kinds[kind].stepRight, tables[kind], tableSizes[kind]);
      }
    }

    vexo::data::datastring<32, char> title;
    if (k == 0) {
      title.Append("(QLTX) Button: Add");
    } else {
      title.Append("(QLTX) Button: Remove (Strip ");
      title.Append(32, "%i", k + 1);
      title.Append(")");
    }
    auto* button = new Button(globals, this, static_cast<unsigned>(globals->NextId()), title.Text(),
                              0, 0, 0, 24, 14, window, false);
    button->SetType(vexo::gui::kButtonPush);
    button->SetHoverColours(p.white, p.white);
    if (k == 0) {
      button->SetColours(Colour(0, 255, 0), p.lightGrey, p.grey, p.white, p.white, p.white,
                         p.white);
      button->SetLabelColours(p.black, p.midGrey);
      button->SetLabel("+", statdata.FindFont(8), 0);
      button->SetLabelColourActive(p.white);
      button->SetTooltip(tooltip, "Action:\nAdd Strip\n(max 16)", 0);
      strip.column = 0;
      strip.visible = true;
    } else {
      button->SetColours(p.black, p.lightGrey, p.grey, p.white, p.white, p.white, p.white);
      button->SetLabelColours(p.white, p.midGrey);
      button->SetLabel("-", statdata.FindFont(8), 0);
      button->SetTooltip(tooltip, "Action:\nRemove Strip\n", 0);
      strip.column = kNoColumn;
      strip.visible = false;
    }
    button->AddEventListener(this, vexo::gui::kEventValue);
    Add(button);
    strip.stripButton = button;
  }
}

void SPluginPanel::CreateDrawerControls()
{
  const Palette p;
  // Made after every control of the first view, so that theirs keep the
  // ids and the stacking they always had.
  drawerTab =
      MakeButton("(QLTX) Button: Drawer", kTabX, kTabY, kTabWidth, kTabHeight,
                 "\xBB Learn Play Time SysEx", 7, vexo::gui::kButtonToggle, p.lightGrey, p.black,
                 "Option:\nMore Options\n(learn values, send on play,\n"
                 "spacing, settle, SysEx,\nload and save)");
  const int row = SPluginEditor::kHeight + kDrawerSwitchRow;
  learnButton = MakeButton("(QLTX) Button: Learn", 10, row, 40, 16, "Learn", 8,
                           vexo::gui::kButtonToggle, Colour(255, 204, 0), p.black, Tips().learn);
  sendOnPlayButton = MakeButton("(QLTX) Button: Send on Play", 55, row, 40, 16, "Play", 8,
                                vexo::gui::kButtonToggle, Colour(0, 200, 255), p.black,
                                "Option:\nSend Values\n(when the host starts playing)");
  pacedLight =
      MakeButton("(QLTX) Label: Paced", 100, row, 40, 16, "Paced", 8, vexo::gui::kButtonPassive,
                 p.orange, p.black, "Info:\nPaced Send\n(lit while values go out\nspaced in time)");
  const int dials = SPluginEditor::kHeight + kDrawerDialRow;
  spacingDial =
      MakeMillisecondDial("(QLTX) Control: Spacing", 34, dials, 22, kMaxSpacingMs,
                          "Option:\nSpacing (ms)\n(between the messages\nof one send, 0 to 250)");
  settleDial = MakeMillisecondDial("(QLTX) Control: Settle", 98, dials, 26, kMaxSettleMs,
                                   "Option:\nSettle (ms)\n(after a Program Change,\n0 to 2000)");
  const int sysex = SPluginEditor::kHeight + kDrawerSysExControlRow;
  sysexRequestButton = MakeButton("(QLTX) Button: Dump Request", 8, sysex, 44, 14, "Request", 7,
                                  vexo::gui::kButtonPush, Colour(0, 200, 255), p.black,
                                  "Action:\nDump Request\n(send the program's dump\n"
                                  "request, so the synth\nanswers with its dump)");
  sysexGapDial = MakeMillisecondDial("(QLTX) Control: SysEx Gap", 80, sysex, 30, kMaxSysExGapMs,
                                     "Option:\nSysEx Gap (ms)\n(the pause after each\n"
                                     "SysEx message, 0 to 2000)");
  for (int row = 0; row < kSysExRows; ++row) {
    vexo::data::datastring<32, char> title;
    title.Append("(QLTX) Button: Remove SysEx ");
    title.Append(32, "%i", row + 1);
    sysexRemoveButtons[row] = MakeButton(
        title.Text(), 8, SPluginEditor::kHeight + kDrawerSysExListRow + kSysExRowHeight * row, 12,
        12, "x", 7, vexo::gui::kButtonPush, p.lightGrey, -1,
        "Action:\nRemove SysEx\n(remove this SysEx\nmessage from the program)");
  }
  const int list = SPluginEditor::kHeight + kDrawerSysExListRow;
  sysexUpButton = MakeButton("(QLTX) Button: SysEx Up", kSysExArrowX, list, 12, 12, "^", 7,
                             vexo::gui::kButtonPush, p.lightGrey, -1,
                             "Action:\nScroll SysEx\n(the messages above)");
  sysexDownButton =
      MakeButton("(QLTX) Button: SysEx Down", kSysExArrowX,
                 list + kSysExRowHeight * (kSysExRows - 1), 12, 12, "v", 7, vexo::gui::kButtonPush,
                 p.lightGrey, -1, "Action:\nScroll SysEx\n(the messages below)");
  files = std::make_unique<SPanelFiles>(*this);
  files->CreateControls();
  // After the file rows' controls, so that theirs keep their ids too.
  skipByteButton = MakeButton(
      "(QLTX) Button: Skip Byte", SVerifyRow::SkipX(Width()),
      SPluginEditor::kHeight + kDrawerVerifyRow, SVerifyRow::kSkipWidth, SVerifyRow::kHeight - 2,
      "Skip byte", 7, vexo::gui::kButtonPush, p.lightGrey, -1,
      "Action:\nSkip Byte\n(the byte that differs is\ndon't-care: verify skips\nit from now on)");
  ShowDrawerControls();
}

void SPluginPanel::LoadControls()
{
  const Palette p;
  SetColours(p.grey, p.grey, p.grey, p.white, p.white, p.white, p.white);

  tooltip = new vexo::gui::SToolTip(this, true);
  tooltip->SetColours(p.grey, p.grey, p.grey, p.white, p.white, p.white, p.white);
  tooltip->textColours[0] = static_cast<unsigned long>(p.white);
  tooltip->titleColouring = true;
  tooltip->titleColour = static_cast<unsigned long>(p.orange);
  tooltip->arrowColour = SCOL(255, 0, 0);
  tooltip->rounded = true;
  tooltip->boldSecondLine = true;

  CreateFixedControls();
  CreateValueTables();
  CreateStripControls();
  CreateDrawerControls();

  PlaceStrip(0, 0);
  ShowStrip(0);
  RefreshPanel();
}

// --------------------------------------------------------------- layout

SPluginPanel::Dial* SPluginPanel::StripDial(int strip, int group)
{
  StripControls& s = stripControls[strip];
  Dial* dials[8] = {s.formatADial, s.formatBDial, s.channelADial, s.channelBDial,
                    s.numberADial, s.numberBDial, s.valueADial,   s.valueBDial};
  return dials[group];
}

void SPluginPanel::PlaceStrip(int strip, int column)
{
  const int x = kColumnWidth * column + kStripDialX;
  for (int group = 0; group < param::kStripGroups; ++group) {
    if (Dial* dial = StripDial(strip, group))
      dial->SetPosition(x, kRowY[group]);
  }
  if (Button* button = stripControls[strip].stripButton)
    button->SetPosition(kColumnWidth * column + kStripButtonX, kStripButtonY);
  stripControls[strip].column = column;
  stripControls[strip].visible = true;
}

void SPluginPanel::ShowStrip(int strip)
{
  // Message A's dials, then message B's, then the button.
  static constexpr int order[8] = {0, 2, 4, 6, 1, 3, 5, 7};
  for (int group : order) {
    if (Dial* dial = StripDial(strip, group))
      dial->Show();
  }
  if (Button* button = stripControls[strip].stripButton)
    button->Show();
}

void SPluginPanel::ClearControl(int strip)
{
  if (strip < 0 || strip >= kStrips)
    return;
  for (int group = 0; group < param::kStripGroups; ++group) {
    if (Dial* dial = StripDial(strip, group))
      dial->SetValue(0, false);
  }
  stripControls[strip].visible = false;
  stripControls[strip].column = kNoColumn;
}

void SPluginPanel::ResetControl(int strip)
{
  if (strip < 0 || strip >= kStrips)
    return;
  ClearControl(strip);
  for (int group = 0; group < param::kStripGroups; ++group) {
    if (Dial* dial = StripDial(strip, group))
      dial->Hide();
  }
  if (Button* button = stripControls[strip].stripButton)
    button->Hide();
}

void SPluginPanel::RecalculatePositions()
{
  if (!plugin)
    return;
  // The record says which strip goes in which column, as its order repair
  // would give it (listed strips that are not in use and strips listed
  // twice get none).
  int32_t columns[kStrips];
  {
    // Learning writes strips on a thread of the plug-in's: the layout waits
    // for a learned message to be complete. Showing the strips writes
    // nothing: a damaged order is shown as the repair would give it and is
    // repaired only by the user's "+" and "-" (or learning's new strip), so
    // that a refresh on the idle thread never changes the bank behind the
    // host's back (between a chunk load and the host's next look at it).
    StripEditLock hold(*plugin);
    columnCount = plugin->CurrentProgram().StripsInDisplayOrder(columns);
  }
  for (int k = 1; k < kStrips; ++k)
    stripShown[k] = false;
  for (int32_t c = 1; c < columnCount; ++c) {
    const int32_t s = columns[c];
    ClearControl(s);
    PlaceStrip(s, c);
    stripShown[s] = true;
  }
  RecalculateSize(columnCount);
}

void SPluginPanel::RecalculateSize(int columns)
{
  if (editor)
    editor->SetSize(kColumnWidth * columns + SPluginEditor::kBaseWidth, PanelHeight());
  if (plugin)
    plugin->stripColumns = columns;
  ShowVerifyControls();
  for (int k = 1; k < kStrips; ++k) {
    if (stripShown[k])
      ShowStrip(k);
    else
      ResetControl(k);
  }
  RefreshLabels();
}

int SPluginPanel::PanelHeight() const
{
  return SPluginEditor::kHeight + (drawerOpen ? kDrawerHeight : 0);
}

void SPluginPanel::ShowDrawerControls()
{
  Button* buttons[4] = {learnButton, sendOnPlayButton, pacedLight, sysexRequestButton};
  Dial* dials[3] = {spacingDial, settleDial, sysexGapDial};
  for (Button* button : buttons) {
    if (!button)
      continue;
    if (drawerOpen)
      button->Show();
    else
      button->Hide();
  }
  for (Dial* dial : dials) {
    if (!dial)
      continue;
    if (drawerOpen)
      dial->Show();
    else
      dial->Hide();
  }
  ShowSysExControls();
  if (files)
    files->Show(drawerOpen);
  ShowVerifyControls();
}

void SPluginPanel::OpenDrawer(bool open)
{
  if (drawerTab)
    drawerTab->SetValue(open ? 1 : 0, false);
  if (open == drawerOpen)
    return;
  drawerOpen = open;
  // The list as it is now: it may have changed while the drawer was closed.
  if (open)
    ReadSysEx();
  ShowDrawerControls();
  // The new height goes to the host like a new column's width.
  RecalculateSize(columnCount);
  RefreshPanel();
}

// -------------------------------------------------------------- refresh

int SPluginPanel::Scaled(int32_t index, int32_t k)
{
  // Rounded as the engine rounds its scaled parameters (halves upward).
  return param::Encode(plugin->getParameter(index), k);
}

SPluginPanel::Dial* SPluginPanel::CountingDial()
{
  return plugin->TimerMode() == 0 ? initDelayDial : changeDelayDial;
}

void SPluginPanel::RefreshCountdown()
{
  const Palette p;
  Dial* counting = CountingDial();
  Dial* other = counting == initDelayDial ? changeDelayDial : initDelayDial;
  auto restore = [&](Dial* dial) {
    dial->mouseInput = true;
    dial->EnableTooltip((thruButton->state & vexo::gui::kStateTooltip) != 0);
    dial->SetLabelColours(p.white, p.midGrey);
    dial->SetHoverColours(p.grey, p.lightGrey);
    dial->Refresh();
  };
  // A countdown of the other kind that ended unseen leaves no orange behind.
  if (!other->mouseInput)
    restore(other);
  if (plugin->TimerRunning()) {
    counting->SetValue(plugin->Countdown(), false);
    counting->mouseInput = false;
    counting->EnableTooltip(false);
    counting->SetLabelColours(p.orange, p.midGrey);
    counting->SetHoverColours(p.grey, p.grey);
    counting->Refresh();
  } else {
    restore(counting);
  }
}

void SPluginPanel::SetFieldDialActive(Dial* dial, bool active, int colour)
{
  if (!dial || dial->mouseInput == active)
    return;
  const Palette p;
  // A message of a kind without a number or a value (a Program Change has
  // no value, a Pitch Bend no number) has that dial greyed; it takes no
  // input until the message is of a kind that has the field again.
  dial->mouseInput = active;
  dial->SetLabelColours(active ? colour : p.midGrey, p.midGrey);
  dial->SetHoverColours(p.black, active ? p.lightGrey : p.black);
  dial->Refresh();
}

void SPluginPanel::RefreshFormat(int strip, int message)
{
  const int32_t kind = (message == 0 ? param::kKindA : param::kKindB) + strip;
  const int32_t format = (message == 0 ? param::kFormatA : param::kFormatB) + strip;
  strips::Message m;
  m.kind = strips::KindFromParameter(plugin->getParameter(kind));
  m.format = static_cast<uint8_t>(Scaled(format, param::kFormat.scale));
  const int32_t choice = strips::KindIndexOf(m);
  const strips::MessageKind& shown = strips::Kinds()[choice];
  StripControls& s = stripControls[strip];
  Dial* dial = message == 0 ? s.formatADial : s.formatBDial;
  const bool restyled = SetDialFont(dial, shown.wide);
  if (!dial->SetValue(choice, false) && restyled)
    dial->Refresh();
  const Palette p;
  SetFieldDialActive(message == 0 ? s.numberADial : s.numberBDial, strips::HasNumber(shown),
                     p.number);
  SetFieldDialActive(message == 0 ? s.valueADial : s.valueBDial, strips::HasValue(shown), p.value);
  RefreshNumberValue(strip, message);
}

const strips::MessageKind& SPluginPanel::ShownKind(int strip, int message)
{
  strips::Message m;
  m.kind = strips::KindFromParameter(plugin->getParameter(param::KindIndex(message, strip)));
  m.format = static_cast<uint8_t>(
      Scaled(param::StripIndex(2 * strips::kFormatField + message, strip), param::kFormat.scale));
  return strips::KindOf(m);
}

bool SPluginPanel::SetDialFont(Dial* dial, bool small)
{
  // Five digits and the wide kinds' names fit a column in the small font.
  vexo::gui::context::SDrawFont* font = statdata.FindFont(small ? 6 : 8);
  if (dial->valueFont == font)
    return false;
  dial->SetValueFont(font);
  return true;
}

void SPluginPanel::SetDialRange(Dial* dial, bool wide, int max, int value)
{
  // A record byte shows through the table ("- - -" for off, then the
  // number sent); a wide field is the number sent, over thousands of
  // values: a left drag moves it a value per pixel.
  bool changed = SetDialFont(dial, wide);
  if (dial->useLabelTable == wide || dial->valueMax != max) {
    dial->useLabelTable = !wide;
    dial->leftDragStepped = !wide;
    dial->SetValueRange(0, max, 0);
    changed = true;
  }
  if (!dial->SetValue(value, false) && changed)
    dial->Refresh();
}

void SPluginPanel::RefreshNumberValue(int strip, int message)
{
  const strips::MessageKind& kind = ShownKind(strip, message);
  Dial* number = StripDial(strip, 2 * strips::kNumberField + message);
  Dial* value = StripDial(strip, 2 * strips::kValueField + message);
  if (!kind.wide) {
    const int32_t n = param::StripIndex(2 * strips::kNumberField + message, strip);
    const int32_t v = param::StripIndex(2 * strips::kValueField + message, strip);
    SetDialRange(number, false, 128, Scaled(n, param::kByte.scale));
    SetDialRange(value, false, 128, Scaled(v, param::kByte.scale));
    return;
  }
  auto wide = [&](int32_t field) {
    return Scaled(param::WideParameter(field, message, strip),
                  param::EncodingOf(param::WideParameter(field, message, strip)).scale);
  };
  // A 7-bit value (an NRPN or RPN without the 14-bit option) goes to 127.
  const bool sevenBit = kind.options && (wide(strips::kWideOptions) & strips::kOption14Bit) == 0;
  SetDialRange(number, true, strips::HasNumber(kind) ? kind.numbers - 1 : 0,
               wide(strips::kWideNumber));
  SetDialRange(value, true, sevenBit ? 127 : 16383, wide(strips::kWideValue));
}

void SPluginPanel::ChooseFormat(int strip, int message, int choice)
{
  const int32_t kind = (message == 0 ? param::kKindA : param::kKindB) + strip;
  const int32_t format = (message == 0 ? param::kFormatA : param::kFormatB) + strip;
  {
    // Kind and format change together: learning must not see a strip
    // between the two.
    // The format makes any message a Control Change or Note; the kind then
    // makes it what was chosen.
    StripEditLock hold(*plugin);
    const strips::MessageKind& chosen = strips::Kinds()[choice];
    plugin->setParameter(format, static_cast<float>(chosen.format) * param::kFormat.factor);
    plugin->setParameter(kind, strips::KindParameter(chosen.kindByte));
    // An NRPN or RPN chosen on the dial has a 14-bit value, so that its
    // value dial covers the whole range.
    if (chosen.options) {
      const int32_t options = param::WideParameter(strips::kWideOptions, message, strip);
      plugin->setParameter(options, static_cast<float>(strips::kOption14Bit) *
                                        param::EncodingOf(options).factor);
    }
  }
  RefreshFormat(strip, message);
}

void SPluginPanel::RefreshLearnState()
{
  if (!learnButton)
    return;
  const Palette p;
  const bool full = param::SwitchOn(plugin->getParameter(param::kLearnNotice));
  learnButton->SetValue(Scaled(param::kLearn, 1), false);
  RefreshHeard();
  if (full == learnFullShown)
    return;
  learnFullShown = full;
  learnButton->SetLabel(full ? "Full" : "Learn");
  learnButton->SetLabelColourActive(full ? Colour(255, 0, 0) : p.black);
  learnButton->SetTooltip(
      tooltip,
      full ? "Option:\nLearn Values\n(full: 16 strips, new\nmessages are ignored)" : Tips().learn,
      0);
  learnButton->Refresh();
}

void SPluginPanel::RefreshPaced()
{
  if (pacedLight)
    pacedLight->SetValue(param::SwitchOn(plugin->getParameter(param::kPacedNotice)) ? 1 : 0, false);
}

void SPluginPanel::RefreshDrawer()
{
  sendOnPlayButton->SetValue(Scaled(param::kSendOnPlay, 1), false);
  spacingDial->SetValue(Scaled(param::kSpacing, kMaxSpacingMs), false);
  settleDial->SetValue(Scaled(param::kSettle, kMaxSettleMs), false);
  sysexGapDial->SetValue(Scaled(param::kSysExGap, kMaxSysExGapMs), false);
  RefreshLearnState();
  RefreshPaced();
  RefreshSysEx();
  RefreshVerify();
}

void SPluginPanel::RefreshVerify()
{
  if (!plugin)
    return;
  verifyRow.Read(*plugin);
  ShowVerifyControls();
  if (!drawerOpen || !drawing || !panelBufferDevice)
    return;
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);
  verifyRow.Draw(*drawing, SPluginEditor::kHeight + kDrawerVerifyRow, Width());
  drawing->SetDevice(own);
  Refresh();
}

void SPluginPanel::ShowVerifyControls()
{
  if (!skipByteButton)
    return;
  skipShown = drawerOpen && verifyRow.CanSkip();
  if (!skipShown) {
    skipByteButton->Hide();
    return;
  }
  // The panel's width follows its strips.
  skipByteButton->SetPosition(SVerifyRow::SkipX(Width()),
                              SPluginEditor::kHeight + kDrawerVerifyRow);
  skipByteButton->Show();
}

void SPluginPanel::SkipByte()
{
  if (!plugin || !verifyRow.CanSkip())
    return;
  const int32_t program = verifyRow.SkipProgram();
  {
    // As RemoveSysEx: read, change and publish under the strip lock.
    StripEditLock hold(*plugin);
    std::unique_ptr<const SysExSet> next;
    {
      SysExStore::Reader reader(plugin->SysEx());
      SysExSet::Builder builder(reader.Current(program));
      // Full (the most bytes a program skips are marked already) leaves
      // the set and the button, and says why.
      const SysExChange change = builder.MarkDontCare(verifyRow.SkipAt());
      if (change == SysExChange::Full) {
        const std::string text = "Byte " + std::to_string(verifyRow.SkipAt()) +
                                 " not skipped: verify skips " + std::to_string(kMaxDontCareBytes) +
                                 " bytes of this program already, the most it can";
        SPlugin::ShowMessage(text.c_str());
        return;
      }
      if (change == SysExChange::Invalid)
        return;
      if (change == SysExChange::Appended)
        next = builder.Build();
    }
    if (next)
      plugin->PublishSysEx(program, std::move(next));
  }
  verifyRow.Skipped();
  RefreshVerify();
}

void SPluginPanel::SetButtonActive(Button* button, bool active)
{
  if (!button || button->mouseInput == active)
    return;
  // Greyed (the disabled label colour) and deaf to the mouse.
  button->mouseInput = active;
  button->Enable(active);
}

void SPluginPanel::ReadSysEx()
{
  int32_t count = 0;
  int32_t total = 0;
  sysexShown = 0;
  sysexRequest = false;
  sysexFull = plugin->SysExListFull();
  {
    SysExStore::Reader reader(plugin->SysEx());
    if (const SysExSet* set = reader.Current(plugin->getProgram())) {
      count = set->Count();
      total = set->TotalBytes();
      sysexRequest = set->Request().size > 0;
      sysexShown = count < kSysExRows ? count : kSysExRows;
      // The rows scroll over the list; a shorter list moves them up.
      sysexFirst = std::max(0, std::min(sysexFirst, count - kSysExRows));
      for (int row = 0; row < sysexShown; ++row)
        Describe(set->Message(sysexFirst + row), sysexRows[row]);
    }
  }
  if (count == 0) {
    sysexFirst = 0;
    std::snprintf(sysexHeading, sizeof sysexHeading, "SysEx: none");
  } else {
    char bytes[16];
    WithThousands(total, bytes);
    std::snprintf(sysexHeading, sizeof sysexHeading, "SysEx: %d message%s, %s bytes", count,
                  count == 1 ? "" : "s", bytes);
  }
  if (count > sysexShown)
    std::snprintf(sysexMore, sizeof sysexMore, "+ %d more", count - sysexShown);
  else
    sysexMore[0] = '\0';
}

void SPluginPanel::ShowSysExControls()
{
  for (int row = 0; row < kSysExRows; ++row) {
    Button* button = sysexRemoveButtons[row];
    if (!button)
      continue;
    if (drawerOpen && row < sysexShown)
      button->Show();
    else
      button->Hide();
  }
  SetButtonActive(sysexRequestButton, sysexRequest);
  const bool scrolls = drawerOpen && sysexShown == kSysExRows && sysexMore[0] != '\0';
  for (Button* arrow : {sysexUpButton, sysexDownButton}) {
    if (arrow && scrolls)
      arrow->Show();
    else if (arrow)
      arrow->Hide();
  }
}

void SPluginPanel::DrawSysEx()
{
  if (!drawerOpen || !plugin)
    return;
  const Palette p;
  const int top = SPluginEditor::kHeight;
  const int w = Width();
  const vexo::gui::Point origin{0, 0};
  drawing->SetBrush(statdata.FindBrush(p.grey));
  drawing->FillRect(2, top + kDrawerSysExHeadRow - 2, w - 2, top + kDrawerSysExMoreRow + 12);
  drawing->SetPen(statdata.FindPen(p.midGrey));
  drawing->DrawLine(6, top + kDrawerSysExHeadRow - 2, w - 6, top + kDrawerSysExHeadRow - 2);
  drawing->SetFont(statdata.FindFont(7));
  drawing->SetTextColour(p.white, false);
  int y = top + kDrawerSysExHeadRow;
  drawing->DrawLabel(sysexHeading, Rect{8, y, w - 4, y + 12}, vexo::gui::context::kAlignLeft,
                     origin);
  drawing->SetTextColour(p.lightGrey, false);
  y = top + kDrawerSysExControlRow;
  drawing->DrawLabel("Gap", Rect{56, y, 78, y + 14}, 0, origin);
  drawing->DrawLabel("ms", Rect{111, y, 124, y + 14}, vexo::gui::context::kAlignLeft, origin);
  drawing->SetTextColour(Colour(255, 204, 0), false);
  for (int row = 0; row < sysexShown; ++row) {
    y = top + kDrawerSysExListRow + kSysExRowHeight * row;
    drawing->DrawLabel(sysexRows[row], Rect{24, y, w - 4, y + 12}, vexo::gui::context::kAlignLeft,
                       origin);
  }
  drawing->SetTextColour(p.lightGrey, false);
  y = top + kDrawerSysExMoreRow;
  drawing->DrawLabel(sysexMore, Rect{24, y, w - 4, y + 12}, vexo::gui::context::kAlignLeft, origin);
  drawing->SetTextColour(Colour(255, 0, 0), false);
  drawing->DrawLabel(SysExFullText(), Rect{80, y, 138, y + 12}, vexo::gui::context::kAlignRight,
                     origin);
}

void SPluginPanel::RefreshSysEx()
{
  if (!plugin)
    return;
  ReadSysEx();
  ShowSysExControls();
  if (!drawing || !panelBufferDevice)
    return;
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);
  DrawSysEx();
  // A learned dump is the last message heard.
  DrawHeard();
  drawing->SetDevice(own);
  Refresh();
}

void SPluginPanel::ScrollSysEx(int by)
{
  sysexFirst = std::max(0, sysexFirst + by);
  RefreshSysEx();
}

void SPluginPanel::RemoveSysEx(int row)
{
  if (row < 0 || row >= sysexShown)
    return;
  const int index = sysexFirst + row;
  const int32_t program = plugin->getProgram();
  std::unique_ptr<const SysExSet> next;
  {
    // Read, change and publish under the strip lock, which every editing
    // thread holds around its change of a program, so that no change made
    // meanwhile is lost; the store's reader goes before the publishing.
    StripEditLock hold(*plugin);
    {
      SysExStore::Reader reader(plugin->SysEx());
      SysExSet::Builder builder(reader.Current(program));
      if (builder.Remove(index) != SysExChange::Removed)
        return;
      next = builder.Build();
    }
    plugin->PublishSysEx(program, std::move(next));
  }
  RefreshSysEx();
}

void SPluginPanel::RefreshControls(long index)
{
  if (!plugin || !thruButton)
    return;
  if (index == -1) {
    plugin->getProgramName(programName);
    RecalculatePositions();
    for (int32_t i = 0; i <= 135; ++i)
      RefreshControls(i);
    RefreshDrawer();
    RefreshCountdown();
    return;
  }
  const auto i = static_cast<int32_t>(index);
  if (i != index)
    return; // beyond the index range (a long is wider on 64 bits)
  // Every stored index shows its field scaled back by its own k.
  const int32_t k = param::EncodingOf(i).scale;
  if (param::IsStripIndex(i)) {
    const int group = param::GroupOf(i);
    if (group < 2)
      RefreshFormat(param::StripOf(i), group);
    else if (group / 2 == strips::kChannelField)
      StripDial(param::StripOf(i), group)->SetValue(Scaled(i, k), false);
    else
      RefreshNumberValue(param::StripOf(i), group % 2);
    return;
  }
  if (param::IsWideIndex(i)) {
    RefreshNumberValue(param::WideStripOf(i), param::WideMessageOf(i));
    return;
  }
  if (i >= param::kKindA && i < param::kKindA + kStrips) {
    RefreshFormat(i - param::kKindA, 0);
    return;
  }
  if (i >= param::kKindB && i < param::kKindB + kStrips) {
    RefreshFormat(i - param::kKindB, 1);
    return;
  }
  switch (i) {
  case param::kThru:
    thruButton->SetValue(Scaled(i, k), false);
    break;
  case param::kSendOnInit:
    initSendButton->SetValue(Scaled(i, k), false);
    break;
  case param::kInitDelay:
    initDelayDial->SetValue(Scaled(i, k), false);
    break;
  case param::kSendOnChange:
    changeSendButton->SetValue(Scaled(i, k), false);
    break;
  case param::kChangeDelay:
    changeDelayDial->SetValue(Scaled(i, k), false);
    break;
  case param::kPresetSwitching:
    presetSwitchButton->SetValue(Scaled(i, k), false);
    break;
  case param::kLayoutNotice:
  case param::kLayoutNoticeAlso:
    RecalculatePositions();
    break;
  case param::kCountdownState:
    RefreshCountdown();
    break;
  case param::kCountdownTick:
    if (plugin->TimerRunning())
      CountingDial()->SetValue(plugin->Countdown(), false);
    break;
  case param::kCountdownEnd:
    CountingDial()->SetValue(
        Scaled(plugin->TimerMode() == 0 ? param::kInitDelay : param::kChangeDelay,
               param::kDelay.scale),
        false);
    break;
  case param::kSpacing:
  case param::kSettle:
  case param::kSendOnPlay:
    RefreshDrawer();
    break;
  case param::kLearn:
    RefreshLearnState();
    break;
  case param::kLearnNotice:
    // Learning changed the current program (or its room): everything it
    // may have touched, strips and columns included.
    RefreshControls(-1);
    break;
  case param::kPacedNotice:
    RefreshPaced();
    RefreshVerify();
    break;
  case param::kVerifyNotice:
    RefreshVerify();
    break;
  case param::kSysExGap:
    sysexGapDial->SetValue(Scaled(i, k), false);
    break;
  case param::kSysExNotice:
    RefreshSysEx();
    break;
  default: // 0, 2, 138 (the spare notice) and everything else
    break;
  }
}

void SPluginPanel::Draw(const Rect& rect)
{
  if (panelBufferDevice && panelBufferBitmap && drawing) {
    const Rect client = ClientRect();
    drawing->DrawMemory(panelBufferDevice, 0, 0, client.left, client.top, client.right,
                        client.bottom);
    if (tooltip)
      tooltip->DrawTiprect(drawing);
    return;
  }
  SWindow::Draw(rect);
}

void SPluginPanel::RefreshPanel()
{
  if (!drawing || !panelBufferDevice)
    return;
  const Palette p;
  const int n = plugin ? plugin->stripColumns : 1;
  const vexo::gui::Point origin{0, 0};
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);

  // Background and the marker frame.
  SControl::Draw(ClientRect());

  drawing->SetFont(statdata.FindFont(7));
  drawing->SetTextColour(p.white, false);
  char product[32];
  std::snprintf(product, sizeof product, "%s %.2f", quillet::kProductName,
                quillet::kVendorVersion * 0.01);
  drawing->DrawRotatedText(product, Rect{16, 10, 28, 98}, 90, 0, origin);
  drawing->SetTextColour(p.lightGrey, false);
  drawing->DrawRotatedText(quillet::kVendorDomain, Rect{28, 10, 40, 98}, 90, 0, origin);
  drawing->DrawRotatedText("VST by Steinberg", Rect{40, 10, 52, 98}, 90, 0, origin);

  drawing->SetBrush(statdata.FindBrush(Colour(100, 0, 0)));
  drawing->FillRoundedRect(62, 13, 102, 206, 7, 7);
  drawing->SetBrush(statdata.FindBrush(Colour(44, 44, 44)));
  drawing->FillRoundedRect(82, 14, 102, 108, 7, 7);
  drawing->FillRoundedRect(82, 111, 102, 205, 7, 7);
  drawing->SetBrush(statdata.FindBrush(p.black));
  drawing->FillRoundedRect(93, 13, kColumnWidth * n + 102, 206, 7, 7);

  drawing->SetFont(statdata.FindFont(8));
  drawing->SetTextColour(p.white, false);
  drawing->DrawRotatedText(programName, Rect{64, 109, 80, 199}, 90, 0, origin);
  drawing->SetFont(statdata.FindFont(7));
  drawing->SetTextColour(p.lightGrey, false);
  drawing->DrawRotatedText("Val   Num  Cha   For", Rect{82, 116, 94, 200}, 90, 0, origin);
  drawing->DrawRotatedText("Val   Num  Cha   For", Rect{82, 20, 94, 104}, 90, 0, origin);

  drawing->SetPen(statdata.FindPen(p.grey));
  drawing->DrawLine(99, 110, kColumnWidth * n + 99, 110);
  DrawDrawer();

  drawing->SetDevice(own);
  Refresh();
}

void SPluginPanel::DrawDrawer()
{
  if (!drawerOpen)
    return;
  const Palette p;
  const int w = Width();
  const int top = SPluginEditor::kHeight;
  const int bottom = top + kDrawerHeight;
  drawing->SetBrush(statdata.FindBrush(p.grey));
  drawing->FillRect(0, top, w, bottom);
  drawing->SetBrush(statdata.FindBrush(Colour(44, 44, 44)));
  drawing->FillRoundedRect(6, top + kDrawerDialRow - 3, w - 6, top + kDrawerDialRow + 17, 7, 7);
  drawing->SetFont(statdata.FindFont(7));
  drawing->SetTextColour(p.lightGrey, false);
  const vexo::gui::Point origin{0, 0};
  const int y = top + kDrawerDialRow;
  drawing->DrawLabel("Space", Rect{7, y, 33, y + 14}, 0, origin);
  drawing->DrawLabel("ms", Rect{57, y, 70, y + 14}, vexo::gui::context::kAlignLeft, origin);
  drawing->DrawLabel("Settle", Rect{70, y, 97, y + 14}, 0, origin);
  drawing->DrawLabel("ms", Rect{125, y, 139, y + 14}, vexo::gui::context::kAlignLeft, origin);
  drawing->SetPen(statdata.FindPen(Colour(0, 0, 255)));
  drawing->DrawRect(0, top - 1, w, bottom);
  DrawHeard();
  DrawSysEx();
  if (files)
    files->Draw();
  if (plugin)
    verifyRow.Read(*plugin);
  verifyRow.Draw(*drawing, top + kDrawerVerifyRow, w);
}

void SPluginPanel::DrawHeard()
{
  static_assert(sizeof heardText == strips::kDescriptionSize, "the text of one message");
  heardText[0] = '\0';
  if (!drawerOpen || !plugin)
    return;
  const Palette p;
  const int y = SPluginEditor::kHeight + kDrawerHeardRow;
  drawing->SetBrush(statdata.FindBrush(p.grey));
  drawing->FillRect(2, y, Width() - 2, y + 12);
  if (!plugin->Learning())
    return;
  const strips::Message heard = plugin->LastHeard();
  const HeardSysEx dump = plugin->LastHeardSysEx();
  if (dump.size > 0) {
    char described[kSysExDescriptionSize];
    DescribeHeard(dump, described);
    std::snprintf(heardText, sizeof heardText, "SysEx %.25s", described);
  } else if (heard.channel == 0) {
    std::snprintf(heardText, sizeof heardText, "nothing yet");
  } else {
    strips::Describe(heard, heardText);
  }
  const vexo::gui::Point origin{0, 0};
  drawing->SetFont(statdata.FindFont(7));
  drawing->SetTextColour(p.lightGrey, false);
  drawing->DrawLabel("Heard", Rect{10, y, 40, y + 12}, 0, origin);
  drawing->SetTextColour(Colour(255, 204, 0), false);
  drawing->DrawLabel(heardText, Rect{44, y, Width() - 6, y + 12}, vexo::gui::context::kAlignLeft,
                     origin);
}

void SPluginPanel::RefreshHeard()
{
  if (!drawing || !panelBufferDevice)
    return;
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);
  DrawHeard();
  drawing->SetDevice(own);
  Refresh();
}

void SPluginPanel::RefreshLabels()
{
  if (!drawing || !panelBufferDevice)
    return;
  const Palette p;
  const int w = Width();
  // The first view is drawn at its own height; the drawer goes below it.
  const int h = SPluginEditor::kHeight;
  const int n = plugin ? plugin->stripColumns : 1;
  const vexo::gui::Point origin{0, 0};
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);

  drawing->SetBrush(statdata.FindBrush(p.black));
  drawing->FillRect(100, 0, w, h);
  drawing->SetBrush(statdata.FindBrush(p.grey));
  drawing->FillRect(100, 10, w - 10, h - 10);
  drawing->SetBrush(statdata.FindBrush(Colour(100, 0, 0)));
  drawing->FillRect(65, 14, 82, 205);
  drawing->SetFont(statdata.FindFont(8));
  drawing->SetTextColour(p.white, false);
  drawing->DrawRotatedText(programName, Rect{64, 109, 80, 199}, 90, 0, origin);
  drawing->SetBrush(statdata.FindBrush(p.black));
  drawing->FillRoundedRect(93, 13, kColumnWidth * n + 102, 206, 7, 7);
  drawing->SetPen(statdata.FindPen(p.grey));
  drawing->DrawLine(99, 110, kColumnWidth * n + 99, 110);
  drawing->SetPen(statdata.FindPen(Colour(0, 0, 255)));
  drawing->DrawRect(0, 0, w, h);
  DrawDrawer();

  drawing->SetDevice(own);
  Refresh();
}

// ------------------------------------------------------ event handling

void SPluginPanel::AddStrip()
{
  // The record decides which strip comes (the lowest unused one, at most
  // 16); the full refresh lays it out in the next column.
  int32_t k = -1;
  {
    StripEditLock hold(*plugin);
    k = strips::AddStrip(plugin->CurrentProgram(), plugin->CurrentExtension());
  }
  if (k < 0)
    return;
  ResetControl(k);
  RefreshControls(-1);
}

void SPluginPanel::RemoveStrip(int strip)
{
  // Only a strip that has a column has its "-" shown.
  if (stripControls[strip].column < 1 || stripControls[strip].column >= kStrips)
    return;
  {
    StripEditLock hold(*plugin);
    if (!strips::RemoveStrip(plugin->CurrentProgram(), plugin->CurrentExtension(), strip))
      return;
  }
  ResetControl(strip);
  RefreshControls(-1);
}

void SPluginPanel::Automate(int32_t index, float value)
{
  if (editor)
    editor->AutomateParameter(index, value);
  else
    plugin->setParameterAutomated(index, value);
}

void SPluginPanel::ParseEvent(vexo::gui::SEvent* event)
{
  if (!event || !plugin || !EventHandled(event->code) || !event->sender)
    return;
  vexo::gui::SControl* sender = event->sender;

  if (event->code == vexo::gui::kEventValue) {
    auto value = [](Button* button) { return static_cast<float>(button->GetValue()); };
    if (files && files->Pressed(sender))
      return;
    if (sender == logo) {
      logo->Hide();
    } else if (sender == initSendButton) {
      plugin->setParameter(param::kSendOnInit, value(initSendButton));
    } else if (sender == changeSendButton) {
      plugin->setParameter(param::kSendOnChange, value(changeSendButton));
    } else if (sender == thruButton) {
      // Automated, so that the host records it.
      Automate(param::kThru, value(thruButton));
    } else if (sender == presetSwitchButton) {
      plugin->setParameter(param::kPresetSwitching, value(presetSwitchButton));
    } else if (sender == copyButton) {
      plugin->copySelProgram();
    } else if (sender == pasteButton) {
      plugin->pasteSelProgram();
    } else if (sender == drawerTab) {
      OpenDrawer(drawerTab->GetValue() != 0);
    } else if (sender == learnButton) {
      plugin->setParameter(param::kLearn, value(learnButton));
      RefreshLearnState();
    } else if (sender == sendOnPlayButton) {
      plugin->setParameter(param::kSendOnPlay, value(sendOnPlayButton));
    } else if (sender == sysexRequestButton) {
      plugin->SendDumpRequest();
    } else if (sender == skipByteButton) {
      SkipByte();
    } else if (sender == sysexUpButton || sender == sysexDownButton) {
      ScrollSysEx(sender == sysexUpButton ? -kSysExRows : kSysExRows);
    } else if (sender == stripControls[0].stripButton) {
      AddStrip();
    } else if (sender == resendButton) {
      // One rising edge of the resend trigger, recorded by the host.
      Automate(param::kResend, 1.0f);
      Automate(param::kResend, 0.0f);
    } else {
      for (int row = 0; row < kSysExRows; ++row) {
        if (sender == sysexRemoveButtons[row]) {
          RemoveSysEx(row);
          return;
        }
      }
      for (int k = 1; k < kStrips; ++k) {
        if (sender == stripControls[k].stripButton) {
          RemoveStrip(k);
          break;
        }
      }
    }
    return;
  }

  if (event->code == vexo::gui::kEventDial) {
    auto send = [&](Dial* dial, int32_t index, float factor) {
      plugin->setParameter(index, static_cast<float>(dial->GetValue()) * factor);
    };
    // The factors are the getters', so a dial value comes back unchanged.
    if (sender == initDelayDial) {
      send(initDelayDial, param::kInitDelay, param::kDelay.factor);
      return;
    }
    if (sender == changeDelayDial) {
      send(changeDelayDial, param::kChangeDelay, param::kDelay.factor);
      return;
    }
    if (sender == spacingDial) {
      send(spacingDial, param::kSpacing, param::kSpacingMs.factor);
      return;
    }
    if (sender == settleDial) {
      send(settleDial, param::kSettle, param::kSettleMs.factor);
      return;
    }
    if (sender == sysexGapDial) {
      send(sysexGapDial, param::kSysExGap, param::kSysExGapMs.factor);
      return;
    }
    for (int k = 0; k < kStrips; ++k) {
      for (int group = 0; group < param::kStripGroups; ++group) {
        Dial* dial = StripDial(k, group);
        if (sender != dial)
          continue;
        if (group < 2) {
          ChooseFormat(k, group, dial->GetValue());
        } else if (group / 2 != strips::kChannelField && ShownKind(k, group % 2).wide) {
          // A wide kind's number and value are its own parameters.
          StripEditLock hold(*plugin);
          const int32_t which =
              group / 2 == strips::kNumberField ? strips::kWideNumber : strips::kWideValue;
          const int32_t index = param::WideParameter(which, group % 2, k);
          send(dial, index, param::EncodingOf(index).factor);
        } else {
          StripEditLock hold(*plugin);
          send(dial, param::StripIndex(group, k), param::kStripFields[group].encoding.factor);
        }
        return;
      }
    }
  }
}

void SPluginPanel::MouseStateChanged(bool* state, int code)
{
  SWindow::MouseStateChanged(state, code);
  if (!IsPress(code))
    return;
  vexo::gui::Point at;
  if (!window || !PointerOnRoot(ActiveDisplay(), at.x, at.y))
    return;
  GetScreen2Client(at);
  const int x = at.x;
  const int y = at.y;
  if (tooltip && InsideInclusive(tooltip->indicatorRect, x, y)) {
    tooltip->ToggleTooltips();
    tooltip->DrawTiprect(drawing);
  }
  if (logo && InsideInclusive(logoRect, x, y))
    logo->Show();
}

void SPluginPanel::Focussing(bool on)
{
  if (on)
    state |= vexo::gui::kStateFocus;
  else
    state &= ~vexo::gui::kStateFocus;
}
