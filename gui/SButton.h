// vexo::gui::SButton<false>: a label that holds an integer value and reacts
// to the mouse as a passive indicator, a push button, a toggle or a trigger
// (the type bits below). While its value is 1 it can show a second text
// and another text colour, or draw a pair of images instead of background
// and text; it draws a hover outline.
//
// Events (code 3, kind 1): a push button reports 1 on the press and drops
// back to 0 silently (on release, on leaving, on ClearState); a toggle
// reports every new value; a trigger reports the mouse button (1 left, 2
// middle, 3 right) and never stays on; type 64 with the toggle or push type
// also reports the drop to 0. SetValue(v, true) reports v.
//
// Threads: no lock of its own. Built on the thread that builds the window
// tree; the mouse handlers run on the event-dispatching thread, drawing
// inside the display lock. SetValue may be called by the owner's refresh
// (another thread) only while it holds the display lock or while the
// button is not shown.
#pragma once

#include "gui/SIHoverable.h"
#include "gui/SIValueHolder.h"
#include "gui/SLabel.h"

namespace vexo::gui {

namespace context {
class SDrawBitmap;
class SDrawMemoryDevice;
} // namespace context

// Button types (bits of SButton::type).
enum SButtonType : int
{
  kButtonPassive = 1,
  kButtonPush = 2,
  kButtonToggle = 4,
  kButtonTrigger = 8,
  kButtonMenu = 16, // menus are left out: a press toggles it like any active type
  kButtonBitmap = 32,
  kButtonReportRelease = 64,
};

template <bool Flag> class SButton;

template <>
class SButton<false> : public SLabel<false>, public SIHoverable, public SIValueHolder<int>
{
public:
  // Sets the hover style (0x4) on itself; type push, value 0.
  SButton(SGlobals* globals, SControl* parent, unsigned id, const char* title, int style, int x,
          int y, int width, int height, unsigned long nativeParent = 0, bool unused = false);
  // Frees the images and their devices.
  ~SButton() override;

  // Stores the type; no redraw.
  void SetType(int type) override;
  // SetValue(0, true).
  void Reset() override;
  // 1 -> 0 (reported with the toggle or report-release type), 0 -> 1
  // (reported).
  void Toggle() override;
  // Drops the mouse state: tooltip closed, capture released, input record
  // reset, hover cleared, a push button back to 0 without an event; then
  // draws at once.
  void ClearState() override;
  void Draw(const Rect& rect) override;
  // Highlight, else hover (A while off, B while on), else the frame, else
  // the parent's background, which erases an earlier hover outline.
  void DrawOutlines(const Rect& rect) override;
  // Takes both images (deleting the former ones); with both loaded the
  // button draws them (type 32), otherwise it deletes them and draws
  // itself.
  void SetBitmaps(context::SDrawBitmap* off, context::SDrawBitmap* on) override;
  void MouseStateChanged(bool* flags, int code) override;
  void Highlight(bool on, int colour, int x, int y) override;
  // Also sets the active colour to enabled: SetLabelColourActive after it.
  void SetLabelColours(int enabled, int disabled) override;
  // Disabled colour when disabled; else the active colour at value 1.
  int GetLabelColour() override;
  void DrawLabel() override;

  // Appended operations.
  void SetHoverColours(int a, int b) override;
  virtual void SetLabelColourActive(int colour);
  // The text drawn instead of the lines while the value is 1 (when use is
  // set); null is the empty text. Returns use.
  virtual bool SetLabelAlternative(const char* text, bool use);
  // SetBitmaps with two images decoded from XPM data of the given size.
  virtual void SetBitmaps(const void* dataOff, const void* dataOn, int width, int height);
  // Nothing when v is the value (false). Otherwise stores it, picks the
  // matching colours, redraws and, with notify, sends event 3 with v.
  bool SetValue(int v, bool notify) override;
  int GetValue() override;

  int32_t type = kButtonPush;
  int labelColourActive = 0;
  Label alternativeLabel;
  bool useAlternativeLabel = false;
  context::SDrawBitmap* bitmapOff = nullptr;       // owned
  context::SDrawBitmap* bitmapOn = nullptr;        // owned
  context::SDrawMemoryDevice* deviceOff = nullptr; // owned
  context::SDrawMemoryDevice* deviceOn = nullptr;  // owned

private:
  // Asks the server whether the pointer is over the button (edges
  // included) and stores the answer in mouse flag 16 and `hovering`.
  void UpdatePointerInside();
  void FreeBitmaps();
};

} // namespace vexo::gui
