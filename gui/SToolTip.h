// vexo::gui::SToolTip and SToolTipData: the help texts that pop up beside a
// control while the pointer is over it. One SToolTip (a borderless popup in
// the root window) serves a whole window tree; every control that has a tip
// owns an SToolTipData with the laid-out text lines and the side on which
// the tip appears. The tooltip also keeps the list of controls whose tips it
// switches on and off, and draws the small on/off indicator square into its
// owner.
//
// Threads: tooltips, their data and the controls they serve are created and
// destroyed on the thread that owns the window tree (the host's editor
// thread). Open, Close and the drawing run on the thread that dispatches X
// events (the host's GUI thread); Open and Close hold the display lock, so
// they may also be called from another thread. The on/off state, the
// indicator colour, the shown and flipped flags and the registered-control
// list may be read and changed from any thread (the idle thread switches
// single controls' tips while a countdown runs).
#pragma once

#include "gui/SControl.h"
#include "gui/SStaticData.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace vexo::gui {

class SWindow;
class SDrawObject;
class SToolTipData;

namespace context {
class SDrawFont;
} // namespace context

// The sides on which a tip is shown.
enum STipSide : int
{
  kTipAbove = 0,
  kTipRight = 1,
  kTipBelow = 2,
  kTipLeft = 3,
};

// Colour-table entries (SStaticData) the tooltip draws with: the indicator
// square with tips switched on and off, and the tip's border.
constexpr int kTipsOnColourIndex = kColourGreen;
// Blue, as the small square of a marked window's frame that it covers.
constexpr int kTipsOffColourIndex = kColourBlue;
constexpr int kTipBorderColourIndex = kColourBlack;

class SToolTip : public SControl
{
public:
  // Space around the text: a tip is the text block plus these.
  static constexpr int kMarginWidth = 48;
  static constexpr int kMarginHeight = 16;
  // Distance between a control and its tip.
  static constexpr int kGap = 3;

  // Creates the popup window for the owner's tree (in the root window, on
  // the owner's shared resources, named "<owner> (Tooltip)") and adds it to
  // the owner as a child, which then owns it. The flag has no effect.
  SToolTip(SWindow* owner, bool unused);
  // Closes the tip and detaches every control's data from this tooltip.
  ~SToolTip() override;

  void Draw(const Rect& rect) override;
  // Closes the tip when the pointer has left it.
  void MouseStateChanged(bool* flags, int code) override;
  // Shows data at the screen point: sizes the window to the data's bounds
  // plus the margins, renews the rounded shape, moves and maps it. Nothing
  // for null data.
  virtual void Open(SToolTipData* data, const Point& at);
  // Hides the tip if it is shown.
  virtual void Close();

  // Makes data current and sizes the window for it, without moving or
  // showing; returns 0 for null data, else 1.
  int SetData(SToolTipData* data);
  // Switches tips on or off for every registered control and takes the
  // indicator colour for the new state.
  void EnableTooltips(bool on);
  void ToggleTooltips();
  // Fills the indicator rectangle in the indicator colour on the drawing
  // (the owner's); nothing for a null drawing.
  void DrawTiprect(context::SDrawing* target);

  // The controls whose tips this tooltip switches. SetTooltip registers a
  // control (giving it the current on/off state); a control leaves the list
  // when its data goes.
  void Register(SControl* control);
  void Unregister(SControl* control);
  bool IsRegistered(const SControl* control) const;
  size_t RegisteredCount() const;

  bool TipsEnabled() const { return enabled.load(); }
  bool Shown() const { return shown.load(); }
  bool Flipped() const { return flipped.load(); }
  void SetFlipped(bool flip) { flipped.store(flip); }
  unsigned long IndicatorColour() const { return indicatorColour.load(); }
  SToolTipData* CurrentData() const;
  // The data is going away: no longer current (the tip closes if it showed
  // it), and no drawing uses it once this returns.
  void Forget(SToolTipData* data);

  SWindow* owner = nullptr;
  context::SDrawFont* normalFont = nullptr; // owned; size 10
  context::SDrawFont* boldFont = nullptr;   // owned; size 10, bold
  // The text colour pair of every line: the first colours the text; the
  // second is not drawn.
  unsigned long textColours[2] = {0, 0};
  bool titleColouring = true; // the first line gets titleColour
  unsigned long titleColour = 0;
  unsigned long arrowColour = 0;
  bool rounded = false;        // rounded corners and window shape
  bool boldSecondLine = false; // the second line in boldFont
  // The on/off square, in the owner's coordinates.
  Rect indicatorRect{1, 1, 11, 11};

private:
  void SizeFor(SToolTipData* data);
  // Sets the switch, passes it to every registered control and takes the
  // indicator colour; registeredLock is held.
  void SwitchLocked(bool on);
  void DrawArrow(context::SDrawing* target, int side, int w, int h);

  std::atomic<SToolTipData*> current{nullptr};
  std::atomic<bool> shown{false};
  std::atomic<bool> flipped{false};
  std::atomic<bool> enabled{false};
  std::atomic<unsigned long> indicatorColour{0};
  // Held while a drawing reads the current data and while data is
  // forgotten; never held around an X call.
  mutable std::mutex dataLock;
  mutable std::mutex registeredLock;
  std::vector<SControl*> registered;
};

class SToolTipData
{
public:
  // Before any text the tip is 16 by 16.
  static constexpr int kInitialSize = 16;

  SToolTipData(SToolTip* tooltip, SControl* control, int side);
  // Tells the tooltip that the data goes (closing the tip if it shows it).
  ~SToolTipData();
  SToolTipData(const SToolTipData&) = delete;
  SToolTipData& operator=(const SToolTipData&) = delete;

  // Lays out a text with the tooltip's fonts and colours, one line per
  // "\n" (also "\t" and "\r"); replaces the lines of an earlier AddLabel.
  void AddLabel(const char* text);
  void AddLabel(const Label& text);
  // One line of text in the rectangle, with the normal font and the text
  // colours.
  void AddText(const char* text, const Rect& rect);
  // Any drawable; the data takes ownership. Null is ignored.
  void AddObject(SDrawObject* object);
  // Bounds := the box around all objects; when it grew wider, every object
  // is widened to the box.
  void Calculate();

  // Stores the point as the offset when the tooltip is not flipped now,
  // else as the flipped offset. The flag has no effect.
  void SetOffset(const Point& point, bool unused);
  // The offset that matches the tooltip's current flipped state.
  Point GetOffset() const;
  // Closes the tooltip.
  void Close();

  // The drawables, in drawing order.
  size_t ObjectCount() const { return objects.size(); }
  SDrawObject* Object(size_t index) const;

  SToolTip* tooltip = nullptr;
  SControl* control = nullptr;
  Rect bounds;      // the box around all objects
  Point offset;     // added when the tip is not flipped
  Point flipOffset; // added when it is flipped
  std::vector<Label> lines;
  std::vector<Rect> lineRects;
  int32_t side = kTipAbove;
  int32_t width = kInitialSize; // the tip's size for the laid-out text
  int32_t height = kInitialSize;

private:
  void ClearObjects();
  std::vector<std::unique_ptr<SDrawObject>> objects;
};

} // namespace vexo::gui
