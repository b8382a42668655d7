#include "gui/context/SColour.h"

#include "gui/XDisplay.h"

#include <X11/Xlib.h>

namespace vexo::gui {

unsigned long SCOL(int r, int g, int b)
{
  Display* display = ActiveDisplay();
  if (!display)
    return 0;
  XColor colour{};
  colour.red = static_cast<unsigned short>(r * 256);
  colour.green = static_cast<unsigned short>(g * 256);
  colour.blue = static_cast<unsigned short>(b * 256);
  colour.flags = DoRed | DoGreen | DoBlue;
  if (!XAllocColor(display, DefaultColormap(display, 0), &colour))
    return BlackPixel(display, 0);
  return colour.pixel;
}

} // namespace vexo::gui
