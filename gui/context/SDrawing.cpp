#include "gui/context/SDrawing.h"

#include "gui/SControl.h"
#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawPen.h"

#include <X11/Xlib.h>
#include <X11/Xmu/Drawing.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace vexo::gui::context {

namespace {

XFontStruct* FontInfo(SDrawFont* font)
{
  return font ? static_cast<XFontStruct*>(font->Info()) : nullptr;
}

short Cut(int value)
{
  return static_cast<short>(value);
}

} // namespace

SDrawing::SDrawing(vexo::gui::SControl* control_, SGlobals* globals_)
    : control(control_), globals(globals_)
{
  device = new SDrawDevice(control ? control->window : 0);
  const unsigned long white = SCOL(255, 255, 255);
  const unsigned long black = SCOL(0, 0, 0);
  background = parentBackground = enabledBackground = disabledBackground = black;
  foreground = enabledForeground = disabledForeground = white;
  textColour = selectedTextColour = white;
  frameColour = highlightedFrameColour = black;
  disabledFrameColour = SCOL(138, 145, 150);
}

SDrawing::~SDrawing()
{
  delete device;
}

_XDisplay* SDrawing::Dpy() const
{
  return device ? device->Display() : nullptr;
}

_XGC* SDrawing::Gc() const
{
  return device ? device->Get() : nullptr;
}

unsigned long SDrawing::Target() const
{
  return device ? device->GetDrawable() : 0;
}

SDrawDevice* SDrawing::GetDevice()
{
  return device;
}

void SDrawing::SetDevice(SDrawDevice* device_)
{
  device = device_;
}

void SDrawing::InitDrawing(vexo::gui::SControl* control_, SDrawing*)
{
  delete device;
  control = control_;
  device = new SDrawDevice(control ? control->window : 0);
}

void SDrawing::CleanDrawing()
{
  delete device;
  device = nullptr;
}

void SDrawing::SetColours(int c1, int c2, int c3, int c4, int c5, int c6, int c7)
{
  background = disabledBackground = static_cast<unsigned long>(c1);
  enabledBackground = static_cast<unsigned long>(c2);
  parentBackground = static_cast<unsigned long>(c3);
  foreground = disabledForeground = static_cast<unsigned long>(c4);
  enabledForeground = static_cast<unsigned long>(c5);
  textColour = static_cast<unsigned long>(c6);
  selectedTextColour = static_cast<unsigned long>(c7);
  frameColour = highlightedFrameColour = static_cast<unsigned long>(c1);
  disabledFrameColour = SCOL(138, 145, 150);
}

int SDrawing::SetBackgroundColour(bool enabled)
{
  background = enabled ? enabledBackground : disabledBackground;
  return static_cast<int>(background);
}

void SDrawing::SetBackgroundColour(int colour)
{
  background = static_cast<unsigned long>(colour);
}

void SDrawing::SetBackground(int colour, bool enabled)
{
  (enabled ? enabledBackground : disabledBackground) = static_cast<unsigned long>(colour);
  SetBackgroundColour(enabled);
}

int SDrawing::GetBackgroundColour()
{
  return static_cast<int>(background);
}

int SDrawing::GetParentBackgroundColour()
{
  return static_cast<int>(parentBackground);
}

void SDrawing::SetForegroundColour(bool enabled)
{
  foreground = enabled ? enabledForeground : disabledForeground;
  if (Dpy() && Gc())
    XSetForeground(Dpy(), Gc(), foreground);
}

int SDrawing::GetForegroundColour()
{
  return static_cast<int>(foreground);
}

int SDrawing::GetFrameColour(bool enabled, bool highlighted)
{
  if (!enabled)
    return static_cast<int>(disabledFrameColour);
  return static_cast<int>(highlighted ? highlightedFrameColour : frameColour);
}

void SDrawing::SetFrameColour(int plain, int highlighted, int disabled)
{
  frameColour = static_cast<unsigned long>(plain);
  highlightedFrameColour = static_cast<unsigned long>(highlighted);
  disabledFrameColour = static_cast<unsigned long>(disabled);
}

void SDrawing::SetFillMode(int rule)
{
  previousFillMode = fillMode;
  if (Dpy() && Gc())
    XSetFillRule(Dpy(), Gc(), rule);
  fillMode = rule;
}

int SDrawing::GetFillMode()
{
  return fillMode;
}

void SDrawing::SetFillStyle(int style)
{
  fillStyle = style;
  if (Dpy() && Gc())
    XSetFillStyle(Dpy(), Gc(), style);
}

int SDrawing::GetFillStyle()
{
  return fillStyle;
}

void SDrawing::SetLogic(int code)
{
  static const int functions[] = {GXclear, GXxor,          GXinvert,      GXorReverse, GXandReverse,
                                  GXand,   GXor,           GXandInverted, GXnoop,      GXnor,
                                  GXequiv, GXcopyInverted, GXorInverted,  GXnand,      GXset};
  logic = code;
  const int function = (code >= 0 && code <= 14) ? functions[code] : GXcopy;
  if (Dpy() && Gc())
    XSetFunction(Dpy(), Gc(), function);
}

void SDrawing::SetPen(const SDrawPen* pen)
{
  if (!pen || !Dpy() || !Gc())
    return;
  XSetLineAttributes(Dpy(), Gc(), static_cast<unsigned>(pen->width),
                     pen->dashed ? LineOnOffDash : LineSolid, CapNotLast, JoinRound);
  XSetForeground(Dpy(), Gc(), pen->colour);
}

void SDrawing::SetBrush(SDrawBrush* brush_)
{
  brush = brush_;
  if (brush && Dpy() && Gc())
    XSetForeground(Dpy(), Gc(), brush->PaintColour());
}

void SDrawing::SetFont(SDrawFont* font_)
{
  font = font_;
  if (font && Dpy() && Gc() && font->Loaded())
    XSetFont(Dpy(), Gc(), font->Id());
}

void SDrawing::SetTextColour(int colour, bool selected)
{
  (selected ? selectedTextColour : textColour) = static_cast<unsigned long>(colour);
  if (Dpy() && Gc())
    XSetForeground(Dpy(), Gc(), static_cast<unsigned long>(colour));
}

int SDrawing::GetTextColour(bool selected)
{
  return static_cast<int>(selected ? selectedTextColour : textColour);
}

void SDrawing::DrawBackground(const Rect& rect, bool parent)
{
  const int colour = static_cast<int>(parent ? parentBackground : background);
  if (!globals)
    return;
  SetPen(statdata.FindPen(colour));
  SetBrush(statdata.FindBrush(colour));
  FillRect(rect);
}

void SDrawing::DrawPoint(int x, int y)
{
  if (Dpy() && Gc())
    XDrawPoint(Dpy(), Target(), Gc(), x, y);
}

void SDrawing::DrawPoint(Point point)
{
  DrawPoint(point.x, point.y);
}

void SDrawing::DrawLine(int x1, int y1, int x2, int y2)
{
  if (Dpy() && Gc())
    XDrawLine(Dpy(), Target(), Gc(), x1, y1, x2, y2);
}

void SDrawing::DrawLine(Point from, Point to)
{
  DrawLine(from.x, from.y, to.x, to.y);
}

void SDrawing::DrawRect(int x1, int y1, int x2, int y2)
{
  if (Dpy() && Gc() && x2 - x1 >= 1 && y2 - y1 >= 1)
    XDrawRectangle(Dpy(), Target(), Gc(), x1, y1, static_cast<unsigned>(x2 - x1 - 1),
                   static_cast<unsigned>(y2 - y1 - 1));
}

void SDrawing::DrawRect(Point a, Point b)
{
  DrawRect(a.x, a.y, b.x, b.y);
}

void SDrawing::DrawRect(const Rect& r)
{
  DrawRect(r.left, r.top, r.right, r.bottom);
}

void SDrawing::DrawRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh)
{
  if (Dpy() && Gc() && x2 - x1 >= 1 && y2 - y1 >= 1)
    XmuDrawRoundedRectangle(Dpy(), Target(), Gc(), x1, y1, x2 - x1 - 1, y2 - y1 - 1, ew, eh);
}

void SDrawing::DrawRoundedRect(Point a, Point b, int ew, int eh)
{
  DrawRoundedRect(a.x, a.y, b.x, b.y, ew, eh);
}

void SDrawing::DrawRoundedRect(const Rect& r, int ew, int eh)
{
  DrawRoundedRect(r.left, r.top, r.right, r.bottom, ew, eh);
}

void SDrawing::DrawText(const char* text, int x, int y)
{
  if (!text || !*text || !FontInfo(font) || !Dpy() || !Gc())
    return;
  XDrawString(Dpy(), Target(), Gc(), x, y + font->Ascent(), text,
              static_cast<int>(std::strlen(text)));
}

void SDrawing::DrawText(const char* text, Point at)
{
  DrawText(text, at.x, at.y);
}

void SDrawing::DrawText(const Text& text, int x, int y)
{
  DrawText(text.Text(), x, y);
}

void SDrawing::DrawText(const Text& text, Point at)
{
  DrawText(text.Text(), at.x, at.y);
}

void SDrawing::DrawLabel(const char* text, const Rect& rect, int flags, const Point& offset)
{
  if (!text || !*text || !FontInfo(font) || !Dpy() || !Gc())
    return;
  const int left = rect.left + offset.x;
  const int right = rect.right + offset.x;
  const int top = rect.top + offset.y;
  const int bottom = rect.bottom + offset.y;
  const int length = static_cast<int>(std::strlen(text));
  const int width = font->TextWidth(text);
  int x;
  if (flags & kAlignLeft)
    x = left;
  else if (flags & kAlignRight)
    x = right - width;
  else
    x = left + ((right - left) >> 1) - (width >> 1);
  int y;
  if (flags & kAlignTop)
    y = top + font->Ascent();
  else if (flags & kAlignBottom)
    y = bottom - font->Descent();
  else
    y = top + (font->Ascent() >> 1) + ((bottom - top) >> 1) - 1;
  XDrawString(Dpy(), Target(), Gc(), x, y, text, length);
}

void SDrawing::DrawLabel(const Text& text, const Rect& rect, int flags, const Point& offset)
{
  DrawLabel(text.Text(), rect, flags, offset);
}

void SDrawing::DrawLabelRect(const char* text, const Rect& rect, int colour, const Point& offset)
{
  if (!Dpy() || !Gc())
    return;
  XSetForeground(Dpy(), Gc(), static_cast<unsigned long>(colour));
  FillRect(rect);
  DrawLabel(text, rect, 0, offset);
}

void SDrawing::DrawLabelRect(const Text& text, const Rect& rect, int colour, const Point& offset)
{
  DrawLabelRect(text.Text(), rect, colour, offset);
}

void SDrawing::PaintStipple(unsigned long bitmap, int w, int h, const Rect& rect, int flags,
                            const Point& offset, _XGC* copy)
{
  const int left = rect.left + offset.x;
  const int right = rect.right + offset.x;
  const int top = rect.top + offset.y;
  const int bottom = rect.bottom + offset.y;
  int x;
  if (flags & kAlignLeft)
    x = left;
  else if (flags & kAlignRight)
    x = right - w;
  else
    x = left + ((right - left - w) >> 1);
  int y;
  if (flags & kAlignTop)
    y = top;
  else if (flags & kAlignBottom)
    y = bottom - h;
  else
    y = top + ((bottom - top - h) >> 1);
  XSetFillStyle(Dpy(), copy, FillStippled);
  XSetStipple(Dpy(), copy, bitmap);
  XSetTSOrigin(Dpy(), copy, x, y);
  XFillRectangle(Dpy(), Target(), copy, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

namespace {

// A one-bit client image of w x h, most significant bit first, all clear.
XImage* BitImage(Display* display, int w, int h)
{
  const int bytesPerLine = (w + 7) / 8;
  char* data = static_cast<char*>(calloc(static_cast<size_t>(bytesPerLine) * h, 1));
  XImage* image =
      XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 1, XYBitmap, 0, data,
                   static_cast<unsigned>(w), static_cast<unsigned>(h), 8, bytesPerLine);
  if (!image) {
    free(data);
    return nullptr;
  }
  image->bitmap_bit_order = MSBFirst;
  image->byte_order = MSBFirst;
  return image;
}

// Renders text into a one-bit pixmap of w x h (text pixels 1) and reads it
// back; the pixmap's GC is returned for reuse on other one-bit pixmaps.
XImage* RenderText(Display* display, Drawable drawable, SDrawFont* font, const char* text, int w,
                   int h, int fillW, int fillH, GC& bitGc, Pixmap& source)
{
  source = XCreatePixmap(display, drawable, static_cast<unsigned>(w), static_cast<unsigned>(h), 1);
  bitGc = XCreateGC(display, source, 0, nullptr);
  XSetBackground(display, bitGc, 0);
  XSetFont(display, bitGc, font->Id());
  XSetForeground(display, bitGc, 0);
  XFillRectangle(display, source, bitGc, 0, 0, static_cast<unsigned>(fillW),
                 static_cast<unsigned>(fillH));
  XSetForeground(display, bitGc, 1);
  XDrawString(display, source, bitGc, 0, font->Ascent(), text, static_cast<int>(std::strlen(text)));
  return XGetImage(display, source, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 1,
                   XYPixmap);
}

GC CopyGc(Display* display, Drawable drawable, GC from)
{
  GC copy = XCreateGC(display, drawable, 0, nullptr);
  XCopyGC(display, from, GCFunction | GCPlaneMask | GCForeground | GCBackground, copy);
  return copy;
}

} // namespace

void SDrawing::DrawRotatedText(const char* text, const Rect& rect, int angle, int flags,
                               const Point& offset)
{
  if (!text || !*text || !FontInfo(font) || !Dpy() || !Gc())
    return;
  angle %= 360;
  // A turn by -a is the turn by 360 - a; the window formulas below are made
  // for angles from 0 to 359.
  if (angle < 0)
    angle += 360;
  if (angle == 0) {
    DrawLabel(text, rect, flags, offset);
    return;
  }
  const Rect grown{rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1};
  int w = 0, a = 0, d = 0;
  font->TextExtents(text, w, a, d);
  const int W0 = w + 2;
  const int H0 = a + d + 2;

  Display* display = Dpy();
  const Drawable target = Target();
  GC copy = CopyGc(display, target, Gc());
  GC bitGc = nullptr;
  Pixmap source = 0;
  XImage* in = RenderText(display, target, font, text, W0, H0, w + 3, a + d + 3, bitGc, source);

  const double radians = angle * M_PI / 180.0;
  const double sine = std::sin(radians);
  const double cosine = std::cos(radians);
  int W1 =
      static_cast<int>(std::lround(std::fabs(H0 * sine) + std::fabs(W0 * cosine) + 0.99999 + 2));
  int H1 =
      static_cast<int>(std::lround(std::fabs(H0 * cosine) + std::fabs(W0 * sine) + 0.99999 + 2));
  if (W1 % 2 == 0)
    ++W1;
  if (H1 % 2 == 0)
    ++H1;

  XImage* out = BitImage(display, W1, H1);
  if (in && out) {
    const bool quarter = angle % 90 == 0;
    const double k = quarter ? 0.0 : H0 / (2.0 * cosine);
    const double t = quarter ? 0.0 : std::tan(radians);
    for (int r = 0; r < H1; ++r) {
      const double yr = r - H1 / 2.0 + 0.5;
      double e = 0.0;
      double dEnd = W1;
      if (!quarter) {
        if (angle <= 179) {
          e = W1 / 2.0 + (yr - k) / t - 2;
          dEnd = W1 / 2.0 + (yr + k) / t + 2;
        } else {
          e = W1 / 2.0 + (yr + k) / t - 2;
          dEnd = W1 / 2.0 + (yr - k) / t + 2;
        }
      }
      const double from = std::max(e, 0.0);
      const long first = std::lround(from);
      const long last = std::min<long>(W1, std::lround(dEnd));
      for (long column = first, j = 0; column < last; ++column, ++j) {
        const double xc = from + static_cast<double>(j) - W1 / 2.0 + 0.5;
        const long sx = std::lround(W0 / 2.0 + xc * cosine + yr * sine);
        const long sy = std::lround(H0 / 2.0 - yr * cosine + xc * sine);
        if (sx >= 0 && sx < W0 && sy >= 0 && sy < H0 &&
            XGetPixel(in, static_cast<int>(sx), static_cast<int>(sy)))
          XPutPixel(out, static_cast<int>(column), H1 - 1 - r, 1);
      }
    }
  }
  Pixmap turned =
      XCreatePixmap(display, target, static_cast<unsigned>(W1), static_cast<unsigned>(H1), 1);
  if (out)
    XPutImage(display, turned, bitGc, out, 0, 0, 0, 0, static_cast<unsigned>(W1),
              static_cast<unsigned>(H1));
  XFreePixmap(display, source);
  XFreeGC(display, bitGc);
  if (in)
    XDestroyImage(in);
  if (out)
    XDestroyImage(out);

  // The copy keeps the foreground the context had when the call began.
  XSetForeground(display, Gc(), textColour);
  PaintStipple(turned, W1, H1, grown, flags, offset, copy);
  XFreeGC(display, copy);
  XFreePixmap(display, turned);
}

void SDrawing::DrawRotatedText(const Text& text, const Rect& rect, int angle, int flags,
                               const Point& offset)
{
  DrawRotatedText(text.Text(), rect, angle, flags, offset);
}

void SDrawing::DrawVerticalLabel(const char* text, const Rect& rect, int, int flags,
                                 const Point& offset, bool, bool, const char*)
{
  if (!text || !*text || !FontInfo(font) || !Dpy() || !Gc())
    return;
  int w = 0, a = 0, d = 0;
  font->TextExtents(text, w, a, d);
  const int h = a + d;
  if (w <= 0 || h <= 0)
    return;
  Display* display = Dpy();
  const Drawable target = Target();
  GC copy = CopyGc(display, target, Gc());
  GC bitGc = nullptr;
  Pixmap source = 0;
  XImage* in = RenderText(display, target, font, text, w, h, w + 1, h + 1, bitGc, source);
  // A quarter turn counter-clockwise: the first character at the bottom,
  // the tops of the glyphs to the left.
  const int W1 = (h % 2 == 0) ? h + 1 : h;
  const int H1 = (w % 2 == 0) ? w + 1 : w;
  XImage* out = BitImage(display, W1, H1);
  if (in && out) {
    for (int sy = 0; sy < h; ++sy) {
      for (int sx = 0; sx < w; ++sx) {
        if (XGetPixel(in, sx, sy))
          XPutPixel(out, sy, H1 - 1 - sx, 1);
      }
    }
  }
  Pixmap turned =
      XCreatePixmap(display, target, static_cast<unsigned>(W1), static_cast<unsigned>(H1), 1);
  if (out)
    XPutImage(display, turned, bitGc, out, 0, 0, 0, 0, static_cast<unsigned>(W1),
              static_cast<unsigned>(H1));
  XFreePixmap(display, source);
  XFreeGC(display, bitGc);
  if (in)
    XDestroyImage(in);
  if (out)
    XDestroyImage(out);
  PaintStipple(turned, W1, H1, rect, flags, offset, copy);
  XFreeGC(display, copy);
  XFreePixmap(display, turned);
}

void SDrawing::DrawVerticalLabel(const Text& text, const Rect& rect, int unused, int flags,
                                 const Point& offset, bool a, bool b, const char* c)
{
  DrawVerticalLabel(text.Text(), rect, unused, flags, offset, a, b, c);
}

void SDrawing::DrawPixelNumber(int x, int y, int digit)
{
  if (digit < 0 || digit > 9)
    return;
  const int x1 = digit == 1 ? x + 2 : x + 1;
  const int x2 = digit == 1 ? x + 3 : x + 5;
  const int y1 = y + 3;
  const int ym = y + 6;
  const int y2 = y + 9;
  // Segments: top, upper left, lower left, upper right, lower right, middle,
  // bottom.
  enum : int
  {
    T = 1,
    UL = 2,
    LL = 4,
    UR = 8,
    LR = 16,
    M = 32,
    B = 64
  };
  static const int segments[10] = {
      T | UL | LL | UR | LR | B,     // 0
      T | UR | LR,                   // 1
      T | UR | M | LL | B,           // 2
      T | UR | LR | M | B,           // 3
      UL | M | UR | LR,              // 4
      T | UL | M | LR | B,           // 5
      T | UL | LL | M | LR | B,      // 6
      T | UR | LR,                   // 7
      T | UL | LL | UR | LR | M | B, // 8
      T | UL | M | UR | LR | B,      // 9
  };
  const int s = segments[digit];
  if (s & T)
    DrawLine(x1, y1, x2, y1);
  if ((s & UL) && (s & LL))
    DrawLine(x1, y1, x1, y2);
  else if (s & UL)
    DrawLine(x1, y1, x1, ym);
  else if (s & LL)
    DrawLine(x1, ym, x1, y2);
  if ((s & UR) && (s & LR))
    DrawLine(x2, y1, x2, y2);
  else if (s & UR)
    DrawLine(x2, y1, x2, ym);
  else if (s & LR)
    DrawLine(x2, ym, x2, y2);
  if (s & M)
    DrawLine(x1, ym, x2, ym);
  if (s & B)
    DrawLine(x1, y2, x2, y2);
}

void SDrawing::DrawPixelNumber(Point& at, int digit)
{
  DrawPixelNumber(at.x, at.y, digit);
}

void SDrawing::Arc(int x1, int y1, int x2, int y2, int start, int extent, bool fill, int mode)
{
  if (!Dpy() || !Gc() || x2 < x1 || y2 < y1)
    return;
  XSetArcMode(Dpy(), Gc(), mode);
  const auto w = static_cast<unsigned>(x2 - x1);
  const auto h = static_cast<unsigned>(y2 - y1);
  if (fill)
    XFillArc(Dpy(), Target(), Gc(), x1, y1, w, h, start * 64, extent * 64);
  else
    XDrawArc(Dpy(), Target(), Gc(), x1, y1, w, h, start * 64, extent * 64);
}

void SDrawing::DrawEllipse(int x1, int y1, int x2, int y2)
{
  Arc(x1, y1, x2, y2, 0, 360, false, ArcPieSlice);
}

void SDrawing::DrawChord(int x1, int y1, int x2, int y2, int start, int extent)
{
  Arc(x1, y1, x2, y2, start, extent, false, ArcChord);
}

void SDrawing::DrawPie(int x1, int y1, int x2, int y2, int start, int extent)
{
  Arc(x1, y1, x2, y2, start, extent, false, ArcPieSlice);
}

void SDrawing::FillEllipse(int x1, int y1, int x2, int y2)
{
  Arc(x1, y1, x2, y2, 0, 360, true, ArcPieSlice);
}

void SDrawing::FillChord(int x1, int y1, int x2, int y2, int start, int extent)
{
  Arc(x1, y1, x2, y2, start, extent, true, ArcChord);
}

void SDrawing::FillPie(int x1, int y1, int x2, int y2, int start, int extent)
{
  Arc(x1, y1, x2, y2, start, extent, true, ArcPieSlice);
}

void SDrawing::Poly(const Point* points, int count, bool fill)
{
  if (!points || count < 2 || !Dpy() || !Gc())
    return;
  std::vector<XPoint> xpoints(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    xpoints[static_cast<size_t>(i)] = XPoint{Cut(points[i].x), Cut(points[i].y)};
  if (fill)
    XFillPolygon(Dpy(), Target(), Gc(), xpoints.data(), count, Nonconvex, CoordModeOrigin);
  else
    XDrawLines(Dpy(), Target(), Gc(), xpoints.data(), count, CoordModeOrigin);
}

void SDrawing::DrawPoly(const Point* points, int count)
{
  Poly(points, count, false);
}

void SDrawing::FillPoly(const Point* points, int count)
{
  Poly(points, count, true);
}

void SDrawing::FillRect(int x1, int y1, int x2, int y2)
{
  if (Dpy() && Gc() && x2 > x1 && y2 > y1)
    XFillRectangle(Dpy(), Target(), Gc(), x1, y1, static_cast<unsigned>(x2 - x1),
                   static_cast<unsigned>(y2 - y1));
}

void SDrawing::FillRect(Point a, Point b)
{
  FillRect(a.x, a.y, b.x, b.y);
}

void SDrawing::FillRect(const Rect& r)
{
  FillRect(r.left, r.top, r.right, r.bottom);
}

void SDrawing::FillRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh)
{
  if (Dpy() && Gc() && x2 > x1 && y2 > y1)
    XmuFillRoundedRectangle(Dpy(), Target(), Gc(), x1, y1, x2 - x1, y2 - y1, ew, eh);
}

void SDrawing::FillRoundedRect(Point a, Point b, int ew, int eh)
{
  FillRoundedRect(a.x, a.y, b.x, b.y, ew, eh);
}

void SDrawing::FillRoundedRect(const Rect& r, int ew, int eh)
{
  FillRoundedRect(r.left, r.top, r.right, r.bottom, ew, eh);
}

void SDrawing::DrawMemory(SDrawDevice* source, int dx, int dy, int sx1, int sy1, int sx2, int sy2)
{
  if (!source || !Dpy() || !source->Get() || !source->GetDrawable() || !Target() || sx2 <= sx1 ||
      sy2 <= sy1)
    return;
  XCopyArea(Dpy(), source->GetDrawable(), Target(), source->Get(), sx1, sy1,
            static_cast<unsigned>(sx2 - sx1), static_cast<unsigned>(sy2 - sy1), dx, dy);
}

void SDrawing::DrawMemory(SDrawDevice* source, Point at, const Rect& area)
{
  DrawMemory(source, at.x, at.y, area.left, area.top, area.right, area.bottom);
}

void SDrawing::DrawMemory(SDrawDevice* source, int dx, int dy, int sx1, int sy1, int sx2, int sy2,
                          unsigned char)
{
  DrawMemory(source, dx, dy, sx1, sy1, sx2, sy2);
}

void SDrawing::DrawMemory(SDrawDevice* source, Point at, const Rect& area, unsigned char)
{
  DrawMemory(source, at.x, at.y, area.left, area.top, area.right, area.bottom);
}

void SDrawing::DrawMemory(SDrawDevice* source, int dx, int dy, int sx1, int sy1, int sx2, int sy2,
                          int, SDrawBitmapMask*)
{
  DrawMemory(source, dx, dy, sx1, sy1, sx2, sy2);
}

void SDrawing::DrawMemory(SDrawDevice* source, Point at, const Rect& area, int, SDrawBitmapMask*)
{
  DrawMemory(source, at.x, at.y, area.left, area.top, area.right, area.bottom);
}

void SDrawing::DrawImage(SDrawImage* image, const Rect& src, const Rect& dst)
{
  if (!image || !image->Get() || !Dpy() || !Gc() || src.Width() <= 0 || src.Height() <= 0)
    return;
  XPutImage(Dpy(), Target(), Gc(), image->Get(), src.left, src.top, dst.left, dst.top,
            static_cast<unsigned>(src.Width()), static_cast<unsigned>(src.Height()));
}

} // namespace vexo::gui::context
