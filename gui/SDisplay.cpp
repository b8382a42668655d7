#include "gui/SDisplay.h"

#include "gui/SControl.h"

#include "gui/XDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>

namespace vexo::gui {

namespace {

// A cardinal of a root property as a pixel value.
int32_t CardinalValue(unsigned long value)
{
  // Format-32 items arrive as longs; only their low 32 bits are data.
  return static_cast<int32_t>(static_cast<uint32_t>(value & 0xFFFFFFFFul));
}

} // namespace

SServerReport ReadServerReport(Display* display)
{
  SServerReport report;
  int eventBase = 0;
  int errorBase = 0;
  if (XineramaQueryExtension(display, &eventBase, &errorBase) && XineramaIsActive(display)) {
    report.xineramaActive = true;
    int count = 0;
    XineramaScreenInfo* screens = XineramaQueryScreens(display, &count);
    for (int i = 0; screens && i < count; ++i)
      report.xineramaScreens.push_back(
          {screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height});
    if (screens)
      XFree(screens);
  }

  report.screenCount = ScreenCount(display);
  if (!report.xineramaActive && report.screenCount > 1) {
    // Only an atom that some client (a window manager) already made can
    // name a work area; looking it up must not create it.
    const Atom workArea = XInternAtom(display, "_NET_WORKAREA", True);
    for (int screen = 0; screen < report.screenCount; ++screen) {
      std::optional<SScreenArea> area;
      if (workArea != None) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        // The first four cardinals: a window manager with several desktops
        // stores four per desktop, and the first desktop's serve.
        const int status =
            XGetWindowProperty(display, RootWindow(display, screen), workArea, 0, 4, False,
                               XA_CARDINAL, &type, &format, &items, &after, &data);
        if (status == Success && type == XA_CARDINAL && format == 32 && items == 4 && data) {
          const unsigned long* values = reinterpret_cast<const unsigned long*>(data);
          area = SScreenArea{CardinalValue(values[0]), CardinalValue(values[1]),
                             CardinalValue(values[2]), CardinalValue(values[3])};
        }
        if (data)
          XFree(data);
      }
      report.workAreas.push_back(area);
    }
  }

  const int defaultScreen = DefaultScreen(display);
  report.defaultWidth = DisplayWidth(display, defaultScreen);
  report.defaultHeight = DisplayHeight(display, defaultScreen);
  return report;
}

void AllMonitorRects(SMonitorLayout& layout)
{
  AllMonitorRects(layout, ActiveDisplay());
}

void AllMonitorRects(SMonitorLayout& layout, Display* display)
{
  if (!display) {
    // Nothing to ask: no monitors, and centring leaves windows in place.
    layout.Clear();
    return;
  }
  layout.BuildLayout(ReadServerReport(display));
}

using Rect = SMonitorLayout::Rect;
using Pt = SMonitorLayout::Pt;

namespace {

// The control's rectangle in screen coordinates.
Rect ScreenRect(const SControl& control)
{
  int x = 0;
  int y = 0;
  control.GetClient2Screen(&x, &y);
  const Rect window = control.WindowRect();
  return Rect{x, y, x + window.Width(), y + window.Height()};
}

// Moves the control so that its screen origin becomes target.
void MoveTo(SControl& control, const Rect& screen, Pt target)
{
  const Rect window = control.WindowRect();
  control.SetPosition(window.left + target.x - screen.left, window.top + target.y - screen.top);
}

} // namespace

SMonitorLayout::Rect MonitorRect(const SMonitorLayout& layout, const SControl* control)
{
  if (!control)
    return Rect{};
  const Rect screen = ScreenRect(*control);
  return layout.MonitorRect(Pt{screen.left + screen.Width() / 2, screen.top + screen.Height() / 2});
}

void CenterOnWindow(const SMonitorLayout& layout, SControl* control)
{
  if (!control)
    return;
  const Rect screen = ScreenRect(*control);
  MoveTo(*control, screen, layout.CenteredOrigin(screen));
}

void CenterOnWindow(const SMonitorLayout& layout, SControl* control, Pt point)
{
  if (!control)
    return;
  const Rect screen = ScreenRect(*control);
  MoveTo(*control, screen, layout.CenteredOrigin(screen, point));
}

} // namespace vexo::gui
