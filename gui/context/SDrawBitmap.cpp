#include "gui/context/SDrawBitmap.h"

#include "gui/XDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/xpm.h>

namespace vexo::gui::context {

SDrawBitmap::SDrawBitmap(const void* xpmData, int width_, int height_, bool flag_)
{
  Create(xpmData, width_, height_, flag_);
}

SDrawBitmap::~SDrawBitmap()
{
  if (display && pixmap)
    XFreePixmap(display, pixmap);
}

void SDrawBitmap::Create(const void* xpmData, int width_, int height_, bool flag_)
{
  if (pixmap)
    return;
  flag = flag_;
  width = width_;
  height = height_;
  display = ActiveDisplay();
  if (!display)
    return;
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  if (!xpmData) {
    if (width > 0 && height > 0)
      pixmap =
          XCreatePixmap(display, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                        static_cast<unsigned>(DefaultDepth(display, screen)));
    return;
  }
  XpmAttributes attributes{};
  attributes.valuemask = XpmCloseness | XpmReturnInfos;
  attributes.closeness = 40000;
  ::Pixmap image = 0;
  ::Pixmap shape = 0;
  const int result = XpmCreatePixmapFromData(
      display, root, const_cast<char**>(static_cast<const char* const*>(xpmData)), &image, &shape,
      &attributes);
  if (result == XpmSuccess && image) {
    pixmap = image;
    width = static_cast<int>(attributes.width);
    height = static_cast<int>(attributes.height);
  } else {
    if (image)
      XFreePixmap(display, image);
    width = 1;
    height = 1;
  }
  if (shape)
    XFreePixmap(display, shape);
  if (result >= XpmSuccess)
    XpmFreeAttributes(&attributes);
}

SDrawBitmapMask::SDrawBitmapMask(int width_, int height_)
{
  width = width_;
  height = height_;
  display = ActiveDisplay();
  if (display && width > 0 && height > 0)
    pixmap = XCreatePixmap(display, DefaultRootWindow(display), static_cast<unsigned>(width),
                           static_cast<unsigned>(height), 1);
}

SDrawImage::~SDrawImage()
{
  if (image)
    XDestroyImage(image);
}

} // namespace vexo::gui::context
