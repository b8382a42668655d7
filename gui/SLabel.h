// vexo::gui::SLabel<false>: a control that shows a text of one or more lines
// inside its rectangle, aligned by flags, optionally on a rounded background
// with a rounded outline, and that reports mouse presses to its listeners
// (event 3: 1 left, 3 right, 2 middle). The base of buttons and dials.
//
// A text is laid out when it is set (SetLabel) and again after a resize
// (RedrawLabel): a single line fills the control; several lines share a
// block of the measured size, placed by the alignment flags and cut into
// even bands, and each line is then aligned in its band by the drawing
// context with the same flags.
//
// Threads: no lock of its own. Built and configured on the thread that
// builds the window tree; drawn and clicked on the event-dispatching thread
// inside the display lock. Callers that change the text while the control
// is shown from another thread hold the display lock (XLockDisplay).
#pragma once

#include "gui/SWindow.h"

#include <cstdint>
#include <vector>

namespace vexo::gui {

namespace context {
class SDrawFont;
}

// Alignment flags of labels (the drawing context reads the same bits).
enum SLabelAlign : int
{
  kLabelLeft = 1,
  kLabelTop = 2,
  kLabelRight = 4,
  kLabelBottom = 8,
};

template <bool Flag> class SLabel;

template <> class SLabel<false> : public SWindow
{
public:
  SLabel(SGlobals* globals, SControl* parent, unsigned id, const char* title, int style, int x,
         int y, int width, int height, unsigned long nativeParent = 0, bool unused = false);
  ~SLabel() override;

  // The whole client rectangle, whatever rectangle is given: background
  // (rounded with style 0x10), the lines, the outline.
  void Draw(const Rect& rect) override;
  // The highlight colour while highlighted; else the frame colour with the
  // frame style (0x40000); else nothing. Rounded with style 0x10.
  void DrawOutlines(const Rect& rect) override;
  // A press or double press sends event 3 with the button: 1 left, 3 right,
  // 2 middle.
  void MouseStateChanged(bool* flags, int code) override;
  // The text last given to SetLabel (not the control's title).
  const Label& GetLabel() override;
  // Stores the flags; neither redraws nor lays out again.
  void SetAlignment(int flags) override;
  // Stores the colour; redraws the outline when the state changes.
  void Highlight(bool on, int colour, int x, int y) override;
  // Resizes, then lays the lines out again for the new size.
  void SetSize(int width, int height) override;
  void SetLabelOffset(Point& offset) override { SetLabelOffset(static_cast<const Point&>(offset)); }

  // Appended operations.
  virtual void SetLabelColours(int enabled, int disabled);
  // labelColour while Enabled(), else labelColourDisabled.
  virtual int GetLabelColour();
  // Stores the text and lays out its lines; does nothing while no font is
  // set. A null text is an empty text.
  virtual void SetLabel(const char* text);
  virtual void SetLabel(const Label& text);
  // Sets the font and the alignment, then SetLabel(text).
  virtual void SetLabel(const char* text, context::SDrawFont* font, int alignment);
  virtual void SetLabel(const Label& text, context::SDrawFont* font, int alignment);
  // Lays the lines out again from the stored measures (after a resize).
  virtual void RedrawLabel();
  // Added to every line's position when drawn; no redraw.
  virtual void SetLabelOffset(const Point& offset);
  // Corner radius of the rounded background and outline; no redraw.
  virtual void SetLabelRounding(int radius);
  // Draws the lines in GetLabelColour(); nothing without font or lines.
  virtual void DrawLabel();

  // Measures of a multi-line text: the widest line and the summed heights,
  // lines cut at line feeds only; an empty line is as tall as the line
  // before it (or as "W" when there is none). False without a usable font.
  static bool MeasureLines(const context::SDrawFont* font, const char* text, int32_t& width,
                           int32_t& height);
  // Where a block of textWidth x textHeight goes in a control of W x H, and
  // the band of each of n lines in it (the alignment acting on the block).
  static std::vector<Rect> LayOutLines(int alignment, int W, int H, int32_t textWidth,
                                       int32_t textHeight, size_t n);

  context::SDrawFont* font = nullptr; // not owned
  Label label;
  std::vector<Label> lines;
  std::vector<Rect> lineRects;
  int32_t textWidth = 1;
  int32_t textHeight = 1;
  int labelColour = 0;
  int labelColourDisabled = 0;
  Point labelOffset;
  int32_t alignment = 0;
  int32_t labelRounding = 7;
  bool highlighted = false;
  int highlightColour = 0;

protected:
  // The rounded background in the current background colour (style 0x10).
  void FillRoundedBackground(const Rect& r);
  // A one-pixel outline of r in colour, rounded with style 0x10.
  void Outline(const Rect& r, int colour);
  // The pointer's position in client coordinates, asked of the server;
  // false when it cannot be known.
  bool PointerInClient(Point& client, Point* screen = nullptr) const;
};

} // namespace vexo::gui
