// SPluginPanel: the editor's one window. It holds every control (the logo,
// the option and action buttons, the two delay dials and up to 16 strip
// columns of eight dials and a button; below them, behind the tab of the
// bottom band, a drawer with the learn and send-on-play switches, the
// spacing and settle dials, the paced-send light, while learning the last
// message heard, and the current program's SysEx list with its dump request
// and gap, and the file rows that load and save it, the program and the
// bank: SPanelFiles), mirrors the engine's state when the
// editor asks (RefreshControls), and turns its controls' events into calls
// on the plug-in (ParseEvent). It never keeps a copy of the engine's state.
//
// Threads: built on the host's thread when the editor first opens.
// RefreshControls runs on the shared idle thread (the editor holds the
// display lock around it) and on the thread that delivers the panel's X
// events (after a strip edit); ParseEvent and MouseStateChanged run on that
// delivering thread. All drawing goes through the toolkit under the display
// lock. Strip edits write the program record a byte or a word at a time,
// holding the engine's strip lock (which its learning thread takes too)
// where an edit writes several fields or the strip list. A SysEx list is
// changed by publishing a new set (the engine's SysExStore) from the
// delivering thread; the list is read back under the store's reader.
#pragma once

#include "editor/SVerifyRow.h"
#include "gui/SWindow.h"
#include "model/MessageKinds.h"
#include "model/SysEx.h"
#include "support/data/datastring.h"

#include <cstdint>
#include <memory>

class SPanelFiles;
class SPluginEditor;
class VSTPlugin;
struct VSTPluginProgram;

namespace vexo::gui {
template <bool> class SButton;
template <typename> class SDial;
class SImageLabel;
class SToolTip;
namespace context {
class SDrawMemoryDevice;
class SDrawBitmap;
} // namespace context
} // namespace vexo::gui

class SPluginPanel : public vexo::gui::SWindow
{
public:
  using Button = vexo::gui::SButton<false>;
  using Dial = vexo::gui::SDial<int>;
  using ValueText = vexo::data::datastring<8, char>;

  // The back buffer is as wide as the widest panel (16 columns).
  static constexpr int kBufferWidth = 520;
  static constexpr int kStrips = 16;
  // Marks a strip without a column.
  static constexpr int32_t kNoColumn = 16;
  // The drawer below the first view; the window grows by its height while
  // it is open.
  static constexpr int kDrawerHeight = 210 + SVerifyRow::kHeight;
  // The SysEx messages the drawer lists, one row each; "+ N more" beyond.
  static constexpr int kSysExRows = 4;

  struct StripControls
  {
    Dial* formatADial = nullptr;
    Dial* formatBDial = nullptr;
    Dial* channelADial = nullptr;
    Dial* channelBDial = nullptr;
    Dial* numberADial = nullptr;
    Dial* numberBDial = nullptr;
    Dial* valueADial = nullptr;
    Dial* valueBDial = nullptr;
    Button* stripButton = nullptr;
    int32_t column = kNoColumn;
    bool visible = false;
  };

  SPluginPanel();
  SPluginPanel(SGlobals* globals, vexo::gui::SControl* parent, unsigned id, const char* title,
               int style, int x, int y, int width, int height, int parentWindow, bool unused);
  ~SPluginPanel() override;

  // Creates every control and the value-text tables, then RefreshPanel.
  void LoadControls() override;
  // Brings the controls of one parameter index up to date (-1: all).
  void RefreshControls(long index) override;
  void Draw(const vexo::gui::Rect& rect) override;
  void ParseEvent(vexo::gui::SEvent* event) override;
  void MouseStateChanged(bool* state, int code) override;
  void Focussing(bool on) override;

  // The fixed decoration, drawn into the back buffer.
  void RefreshPanel();
  void RefreshLabels();
  // The column layout from the current program's strip order.
  void RecalculatePositions();
  // Resizes the editor to n columns and shows or hides the strip controls.
  void RecalculateSize(int columns);
  void ClearControl(int strip);
  void ResetControl(int strip);
  // The drawer: opening grows the window, closing gives the first view
  // back; both ask the host for the size through the editor.
  void OpenDrawer(bool open);
  bool DrawerOpen() const { return drawerOpen; }
  // The panel's height with the drawer as it is.
  int PanelHeight() const;
  // The drawer's notice while learning: the last message heard ("CC 74 ch
  // 1"), "nothing yet", or empty while Learn is off or the drawer closed.
  // Read under the display lock.
  const char* HeardText() const { return heardText; }
  // The drawer's SysEx list as last read from the current program: the
  // heading ("SysEx: 2 messages, 4,267 bytes", "SysEx: none"), the rows
  // shown (Describe of each message) and the line below them ("+ 3 more"
  // or empty). Read under the display lock.
  const char* SysExHeading() const { return sysexHeading; }
  int SysExRowsShown() const { return sysexShown; }
  const char* SysExRow(int row) const { return row >= 0 && row < sysexShown ? sysexRows[row] : ""; }
  const char* SysExMore() const { return sysexMore; }
  // The first message the rows show (the list scrolls by its arrows), and
  // the notice of a list that learning found full ("List full", or empty).
  int SysExFirst() const { return sysexFirst; }
  const char* SysExFullText() const { return sysexFull ? "List full" : ""; }
  // The drawer's file rows.
  SPanelFiles* Files() const { return files.get(); }
  // The drawer's status row of the last send (SVerifyRow.h).
  const SVerifyRow& VerifyRow() const { return verifyRow; }
  bool SkipByteShown() const { return skipShown; }

  StripControls stripControls[kStrips];
  Button* initSendButton = nullptr;
  Button* thruButton = nullptr;
  Button* resendButton = nullptr;
  Button* changeSendButton = nullptr;
  Button* presetSwitchButton = nullptr;
  Button* copyButton = nullptr;
  Button* pasteButton = nullptr;
  Dial* initDelayDial = nullptr;
  Dial* changeDelayDial = nullptr;
  // The drawer and its tab.
  Button* drawerTab = nullptr;
  Button* learnButton = nullptr;
  Button* sendOnPlayButton = nullptr;
  Button* pacedLight = nullptr;
  Dial* spacingDial = nullptr;
  Dial* settleDial = nullptr;
  // The SysEx part of the drawer: the dump request, the gap, and a remove
  // button per listed message.
  Button* sysexRequestButton = nullptr;
  Dial* sysexGapDial = nullptr;
  Button* sysexRemoveButtons[kSysExRows] = {};
  Button* sysexUpButton = nullptr;
  Button* sysexDownButton = nullptr;
  // The status row's "Skip byte", shown while it offers one (SVerifyRow).
  Button* skipByteButton = nullptr;
  bool skipShown = false;
  // The learn switch shows "Full" while learning found no free slot.
  bool learnFullShown = false;
  vexo::gui::SImageLabel* logo = nullptr;
  vexo::gui::Rect logoRect;
  char programName[48] = {};
  ValueText* numberLabels = nullptr;  // 129 entries, owned
  ValueText* channelLabels = nullptr; // 17 entries, owned
  ValueText* formatLabels = nullptr;  // one per message kind (strips::Kinds()), owned
  vexo::gui::SToolTip* tooltip = nullptr;
  int32_t columnCount = 1;
  bool stripShown[kStrips] = {};
  SPluginEditor* editor = nullptr;
  VSTPlugin* plugin = nullptr;

private:
  friend class SPanelFiles;
  void CreateBackBuffer(int height);
  void CreateFixedControls();
  void CreateValueTables();
  void CreateStripControls();
  void CreateDrawerControls();
  Dial* MakeMillisecondDial(const char* title, int x, int y, int width, int max, const char* tip);
  void ShowDrawerControls();
  void RefreshDrawer();
  // The drawer's decoration into the back buffer (the caller has set it as
  // the device); nothing while the drawer is closed.
  void DrawDrawer();
  void RefreshLearnState();
  // The drawer's row of the last message heard: into the back buffer (the
  // caller has set it as the device), or with the device set and the
  // window refreshed.
  void DrawHeard();
  void RefreshHeard();
  void RefreshPaced();
  // The status row read again and drawn, the window refreshed.
  void RefreshVerify();
  // "Skip byte" shown at the status row's right end while the row offers
  // it and the drawer is open.
  void ShowVerifyControls();
  // Publishes the verified program's set with the byte that differed
  // marked don't-care.
  void SkipByte();
  // The SysEx list: read from the current program's set, drawn into the
  // back buffer (the caller has set it as the device), and both with the
  // row buttons shown as the list needs and the window refreshed.
  void ReadSysEx();
  void DrawSysEx();
  void RefreshSysEx();
  void ShowSysExControls();
  // Publishes the current program's set without the message of row `row`.
  void RemoveSysEx(int row);
  void ScrollSysEx(int by);
  void SetButtonActive(Button* button, bool active);
  // A message's format dial from its kind and format fields (message 0 is
  // A, 1 is B); the number or value dial of a kind without one (a Program
  // Change's value, a Pitch Bend's number) takes no input.
  void RefreshFormat(int strip, int message);
  // `colour` is the dial's label colour while it takes input.
  void SetFieldDialActive(Dial* dial, bool active, int colour);
  // The kind a message's format dial shows (from its kind and format
  // parameters).
  const strips::MessageKind& ShownKind(int strip, int message);
  // A message's number and value dials: the record's bytes through the
  // tables, or for a wide kind (NRPN, RPN, 14-bit CC) its wide number and
  // value as plain numbers over the kind's range.
  void RefreshNumberValue(int strip, int message);
  void SetDialRange(Dial* dial, bool wide, int max, int value);
  // The small value font (wide kinds) or the usual one; true when it changed.
  bool SetDialFont(Dial* dial, bool small);
  // The user's choice on a format dial: the kind, then (for CC and Note)
  // the format byte as before.
  void ChooseFormat(int strip, int message, int choice);
  Button* MakeButton(const char* title, int x, int y, int width, int height, const char* text,
                     int fontSize, int type, int activeBackground, int activeText, const char* tip);
  Dial* MakeOptionDial(const char* title, int x, int y, int width, int max, int stepLeft,
                       int stepRight, bool leftDragStepped, const char* tip);
  Dial* MakeDelayDial(const char* title, int y, const char* lastTipLine);
  Dial* MakeStripDial(const char* title, int max, int valueColour, int stepLeft, int stepRight,
                      ValueText* table, int tableSize);
  void PlaceStrip(int strip, int column);
  void ShowStrip(int strip);
  void RefreshCountdown();
  Dial* CountingDial();
  int Scaled(int32_t index, int32_t k);
  // A change the host records: the engine takes it at once, the host is told
  // on its GUI thread (through the editor).
  void Automate(int32_t index, float value);
  void AddStrip();
  void RemoveStrip(int strip);
  // Strip k's controls as an array in the parameter order of their fields
  // (format A, format B, channel A, channel B, number A, number B, value A,
  // value B).
  Dial* StripDial(int strip, int group);

  bool drawerOpen = false;
  char heardText[strips::kDescriptionSize] = {};
  char sysexHeading[48] = {};
  char sysexRows[kSysExRows][kSysExDescriptionSize] = {};
  char sysexMore[24] = {};
  int sysexShown = 0;
  int sysexFirst = 0;
  bool sysexFull = false;
  std::unique_ptr<SPanelFiles> files;
  bool sysexRequest = false;
  SVerifyRow verifyRow;
  vexo::gui::context::SDrawMemoryDevice* panelBufferDevice = nullptr;
  vexo::gui::context::SDrawBitmap* panelBufferBitmap = nullptr;
};
