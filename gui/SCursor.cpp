#include "gui/SCursor.h"

#include "gui/XDisplay.h"
#include "gui/resources/CursorBitmaps.h"

#include <X11/Xlib.h>

namespace vexo::gui {

namespace {

constexpr unsigned kFontHand = 60;
constexpr unsigned kFontWatch = 150;
constexpr unsigned kFontLeftArrow = 68;

} // namespace

SCursor::SCursor() : display(ActiveDisplay()) {}

SCursor::SCursor(unsigned type_, unsigned long window_)
    : type(static_cast<int32_t>(type_)), window(window_), display(ActiveDisplay())
{
  if (!display)
    return;
  if (type_ == kCursorInvisible) {
    static const char empty[1] = {0};
    const Window on = window ? window : DefaultRootWindow(display);
    Pixmap bitmap = XCreateBitmapFromData(display, on, empty, 1, 1);
    if (bitmap) {
      XColor black{};
      cursor = XCreatePixmapCursor(display, bitmap, bitmap, &black, &black, 0, 0);
      XFreePixmap(display, bitmap);
    }
    invisible = 1;
  } else if (type_ == kCursorHand) {
    cursor = XCreateFontCursor(display, kFontHand);
  } else if (type_ == kCursorWatch) {
    cursor = XCreateFontCursor(display, kFontWatch);
  } else {
    cursor = XCreateFontCursor(display, kFontLeftArrow);
  }
  if (cursor && window)
    XDefineCursor(display, window, cursor);
}

SCursor::~SCursor()
{
  if (!display || !cursor)
    return;
  if (window)
    XUndefineCursor(display, window);
  XFreeCursor(display, cursor);
  XFlush(display);
}

void SCursor::Set()
{
  if (display && window && cursor)
    XDefineCursor(display, window, cursor);
}

void SCursor::Free()
{
  if (!display || !window)
    return;
  if (cursor)
    XUndefineCursor(display, window);
  XFlush(display);
  invisible = 0;
}

void SCursor::CreateDefault()
{
  Create(vexo::images::kDefaultCursorImage, vexo::images::kDefaultCursorMask,
         vexo::images::kDefaultCursorSize, vexo::images::kDefaultCursorSize, 0, 0);
}

void SCursor::Create(const unsigned char* image, const unsigned char* mask, int width, int height,
                     int hotX, int hotY)
{
  if (!display)
    display = ActiveDisplay();
  if (!display || !image || !mask || width <= 0 || height <= 0)
    return;
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  XColor orange{};
  orange.red = 0xFF00;
  orange.green = 0x7F00;
  orange.blue = 0;
  orange.flags = DoRed | DoGreen | DoBlue;
  XAllocColor(display, DefaultColormap(display, screen), &orange);
  XColor black{};
  black.pixel = BlackPixel(display, screen);
  XQueryColor(display, DefaultColormap(display, screen), &black);
  Pixmap source =
      XCreateBitmapFromData(display, root, reinterpret_cast<const char*>(image),
                            static_cast<unsigned>(width), static_cast<unsigned>(height));
  Pixmap shape = XCreateBitmapFromData(display, root, reinterpret_cast<const char*>(mask),
                                       static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (source && shape) {
    if (cursor)
      XFreeCursor(display, cursor);
    cursor = XCreatePixmapCursor(display, source, shape, &black, &orange,
                                 static_cast<unsigned>(hotX), static_cast<unsigned>(hotY));
  }
  if (source)
    XFreePixmap(display, source);
  if (shape)
    XFreePixmap(display, shape);
  invisible = 0;
}

void SCursorDefault::Set()
{
  SCursor::Set();
  if (window)
    set = true;
}

void SCursorDefault::Free()
{
  SCursor::Free();
  set = false;
}

} // namespace vexo::gui
