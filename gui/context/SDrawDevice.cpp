#include "gui/context/SDrawDevice.h"

#include "gui/XDisplay.h"
#include "gui/context/SDrawBitmap.h"

#include <X11/Xlib.h>

namespace vexo::gui::context {

SDrawDevice::SDrawDevice(unsigned long drawable_) : display(ActiveDisplay()), drawable(drawable_)
{
  if (display && drawable)
    gc = XCreateGC(display, drawable, 0, nullptr);
}

SDrawDevice::~SDrawDevice()
{
  if (display && gc) {
    XFlush(display);
    XFreeGC(display, gc);
  }
}

SDrawMemoryDevice::SDrawMemoryDevice(SDrawDevice* /*device*/, SDrawBitmap* bitmap_)
    : bitmap(bitmap_)
{
  display = ActiveDisplay();
  if (display && bitmap && bitmap->Pixmap())
    ownGc = XCreateGC(display, bitmap->Pixmap(), 0, nullptr);
}

SDrawMemoryDevice::~SDrawMemoryDevice()
{
  if (display && ownGc) {
    XFlush(display);
    XFreeGC(display, ownGc);
  }
}

unsigned long SDrawMemoryDevice::GetDrawable()
{
  return bitmap ? bitmap->Pixmap() : 0;
}

} // namespace vexo::gui::context
