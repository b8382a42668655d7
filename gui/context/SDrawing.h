// vexo::gui::context::SDrawing: a control's drawing context. It wraps a GC on
// the control's window (or on a memory device the widget switches to) and
// offers the toolkit's drawing vocabulary: colours chosen by state, pens,
// brushes and fonts, shapes given as rectangles (right and bottom outside),
// aligned and turned text, and copies from off-screen bitmaps.
//
// Threads: made with its control (CreateContexts) on the creating thread;
// used only while an Expose or paint event is handled, on the
// event-dispatching thread, inside XLockDisplay. No lock of its own.
#pragma once

#include "support/data/datastring.h"
#include "support/math/geom.h"
#include "support/threading/SMutex.h"

class SGlobals;
struct _XDisplay;
struct _XGC;

namespace vexo::gui {
class SControl;
}

namespace vexo::gui::context {

class SDrawDevice;
class SDrawPen;
class SDrawBrush;
class SDrawFont;
class SDrawBitmap;
class SDrawBitmapMask;
class SDrawImage;

using Rect = vexo::math::geom::Rectangle<int, 2>;
using Point = vexo::math::geom::Point<int, 2>;
using Text = vexo::data::datastring<32, char>;

// Alignment flags of DrawLabel and DrawRotatedText.
enum SAlign : int
{
  kAlignLeft = 1,
  kAlignTop = 2,
  kAlignRight = 4,
  kAlignBottom = 8,
};

class SDrawing
{
public:
  SDrawing(vexo::gui::SControl* control, SGlobals* globals);
  virtual ~SDrawing();
  SDrawing(const SDrawing&) = delete;
  SDrawing& operator=(const SDrawing&) = delete;

  virtual SDrawDevice* GetDevice();
  // Replaces the device without deleting the old one.
  virtual void SetDevice(SDrawDevice* device);
  // A fresh device (new GC) on the given control's window.
  virtual void InitDrawing(vexo::gui::SControl* control, SDrawing* unused);
  virtual void CleanDrawing();
  virtual void SetColours(int c1, int c2, int c3, int c4, int c5, int c6, int c7);
  virtual int SetBackgroundColour(bool enabled);
  virtual void SetBackgroundColour(int colour);
  virtual void SetBackground(int colour, bool enabled);
  virtual void SetBackgroundMode(bool) {}
  virtual int GetBackgroundColour();
  virtual int GetParentBackgroundColour();
  virtual void SetForegroundColour(bool enabled);
  virtual int GetForegroundColour();
  virtual int GetFrameColour(bool enabled, bool highlighted);
  virtual void SetFrameColour(int plain, int highlighted, int disabled);
  virtual void SetFillMode(int rule);
  virtual int GetFillMode();
  virtual void SetFillStyle(int style);
  virtual int GetFillStyle();
  virtual void SetLogic(int code);
  virtual void DrawBackground(const Rect& rect, bool parent);
  virtual void DrawPoint(int x, int y);
  virtual void DrawPoint(Point point);
  virtual void DrawLine(int x1, int y1, int x2, int y2);
  virtual void DrawLine(Point from, Point to);
  virtual void DrawRect(int x1, int y1, int x2, int y2);
  virtual void DrawRect(Point topLeft, Point bottomRight);
  virtual void DrawRect(const Rect& rect);
  virtual void DrawRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh);
  virtual void DrawRoundedRect(Point topLeft, Point bottomRight, int ew, int eh);
  virtual void DrawRoundedRect(const Rect& rect, int ew, int eh);
  virtual void DrawText(const char* text, int x, int y);
  virtual void DrawText(const char* text, Point at);
  virtual void DrawText(const Text& text, int x, int y);
  virtual void DrawText(const Text& text, Point at);
  virtual void DrawLabel(const char* text, const Rect& rect, int flags, const Point& offset);
  virtual void DrawLabel(const Text& text, const Rect& rect, int flags, const Point& offset);
  virtual void DrawLabelRect(const char* text, const Rect& rect, int colour, const Point& offset);
  virtual void DrawLabelRect(const Text& text, const Rect& rect, int colour, const Point& offset);
  virtual void DrawRotatedText(const char* text, const Rect& rect, int angle, int flags,
                               const Point& offset);
  virtual void DrawRotatedText(const Text& text, const Rect& rect, int angle, int flags,
                               const Point& offset);
  virtual void DrawVerticalLabel(const char* text, const Rect& rect, int unused, int flags,
                                 const Point& offset, bool unusedA = false, bool unusedB = false,
                                 const char* unusedText = nullptr);
  virtual void DrawVerticalLabel(const Text& text, const Rect& rect, int unused, int flags,
                                 const Point& offset, bool unusedA = false, bool unusedB = false,
                                 const char* unusedText = nullptr);
  virtual void DrawPixelNumber(int x, int y, int digit);
  virtual void DrawPixelNumber(Point& at, int digit);
  virtual void DrawVerticalPixelNumber(int, int, int, bool) {}
  virtual void DrawVerticalPixelNumber(Point&, int, bool) {}
  virtual void DrawPixelLabel(const char*, int, int) {}
  virtual void DrawVerticalPixelLabel(const char*, int, int) {}
  virtual void DrawEllipse(int x1, int y1, int x2, int y2);
  virtual void DrawChord(int x1, int y1, int x2, int y2, int start, int extent);
  virtual void DrawPie(int x1, int y1, int x2, int y2, int start, int extent);
  virtual void DrawArc(int, int, int, int, int, int) {}
  virtual void DrawBezier(const Point*, int) {}
  virtual void DrawPoly(const Point* points, int count);
  virtual void FillRect(int x1, int y1, int x2, int y2);
  virtual void FillRect(Point topLeft, Point bottomRight);
  virtual void FillRect(const Rect& rect);
  virtual void FillRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh);
  virtual void FillRoundedRect(Point topLeft, Point bottomRight, int ew, int eh);
  virtual void FillRoundedRect(const Rect& rect, int ew, int eh);
  virtual void FillEllipse(int x1, int y1, int x2, int y2);
  virtual void FillChord(int x1, int y1, int x2, int y2, int start, int extent);
  virtual void FillPie(int x1, int y1, int x2, int y2, int start, int extent);
  virtual void FillPoly(const Point* points, int count);
  virtual void PathStart() {}
  virtual void PathStroke() {}
  virtual void PathFill() {}
  virtual void PathStrokeFill() {}
  virtual void PathEnd() {}
  virtual void DrawBitmap(SDrawBitmap*, int, int, int, int, bool, SDrawBitmapMask*) {}
  virtual void DrawBitmap(SDrawBitmap*, Rect, bool, SDrawBitmapMask*) {}
  // Copies (sx1, sy1)-(sx2, sy2) of the source's drawable to (dx, dy) with
  // the source's GC; nothing for a null source.
  virtual void DrawMemory(SDrawDevice* source, int dx, int dy, int sx1, int sy1, int sx2, int sy2);
  virtual void DrawMemory(SDrawDevice* source, Point at, const Rect& area);
  virtual void DrawMemory(SDrawDevice* source, int dx, int dy, int sx1, int sy1, int sx2, int sy2,
                          unsigned char unused);
  virtual void DrawMemory(SDrawDevice* source, Point at, const Rect& area, unsigned char unused);
  virtual void DrawMemory(SDrawDevice* source, int dx, int dy, int sx1, int sy1, int sx2, int sy2,
                          int unused, SDrawBitmapMask* mask);
  virtual void DrawMemory(SDrawDevice* source, Point at, const Rect& area, int unused,
                          SDrawBitmapMask* mask);
  virtual void DrawImage(SDrawImage* image, const Rect& source, const Rect& destination);

  // Not virtual.
  void SetPen(const SDrawPen* pen);
  void SetBrush(SDrawBrush* brush);
  void SetFont(SDrawFont* font);
  void SetTextColour(int colour, bool selected);
  int GetTextColour(bool selected);
  int GetLogic() const { return logic; }

private:
  _XDisplay* Dpy() const;
  _XGC* Gc() const;
  unsigned long Target() const;
  void Arc(int x1, int y1, int x2, int y2, int start, int extent, bool fill, int mode);
  void Poly(const Point* points, int count, bool fill);
  // Paints a one-bit pixmap of w x h at the aligned place with a stipple on
  // a copy of the device's GC (the tail of the turned-text procedure).
  void PaintStipple(unsigned long bitmap, int w, int h, const Rect& rect, int flags,
                    const Point& offset, _XGC* copy);

  SDrawDevice* device = nullptr;
  vexo::gui::SControl* control;
  SGlobals* globals;
  SDrawFont* font = nullptr;
  SDrawBrush* brush = nullptr;
  vexo::threading::SMutexID lock; // not taken: drawing runs inside the display lock

public:
  unsigned long background;
  unsigned long parentBackground;
  unsigned long enabledBackground;
  unsigned long disabledBackground;
  unsigned long foreground;
  unsigned long enabledForeground;
  unsigned long disabledForeground;
  unsigned long textColour;
  unsigned long selectedTextColour;
  unsigned long frameColour;
  unsigned long disabledFrameColour;
  unsigned long highlightedFrameColour;
  int fillMode = 0;
  int previousFillMode = 0;
  int fillStyle = 0;
  int logic = 15;
};

} // namespace vexo::gui::context
