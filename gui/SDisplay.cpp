#include "gui/SDisplay.h"

#include "gui/SControl.h"

#include "gui/XDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>

#include <algorithm>

namespace vexo::gui {

namespace {

int32_t Clamp32(int64_t value)
{
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// left = x, top = y, right = x + width, bottom = y + height; the sums are
// taken wide, so that absurd cardinals from a root property cannot overflow.
SDisplay::Rect AreaRect(const SScreenArea& area)
{
  SDisplay::Rect rect;
  rect.left = area.x;
  rect.top = area.y;
  rect.right = Clamp32(static_cast<int64_t>(area.x) + area.width);
  rect.bottom = Clamp32(static_cast<int64_t>(area.y) + area.height);
  return rect;
}

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

void SDisplay::AllMonitorRects()
{
  AllMonitorRects(ActiveDisplay());
}

void SDisplay::AllMonitorRects(Display* display)
{
  if (!display) {
    // Nothing to ask: no monitors, and centring leaves windows in place.
    Clear();
    return;
  }
  BuildLayout(ReadServerReport(display));
}

void SDisplay::Clear()
{
  monitors.clear();
  monitorCount = 0;
  bounds = Rect{};
  estimated = false;
}

void SDisplay::Add(const Rect& rect)
{
  monitors.push_back(rect);
  bounds.left = std::min(bounds.left, rect.left);
  bounds.top = std::min(bounds.top, rect.top);
  bounds.right = std::max(bounds.right, rect.right);
  bounds.bottom = std::max(bounds.bottom, rect.bottom);
}

void SDisplay::BuildLayout(const SServerReport& report)
{
  Clear();
  if (report.xineramaActive) {
    for (const SScreenArea& screen : report.xineramaScreens)
      Add(AreaRect(screen));
  } else if (report.screenCount > 1) {
    const size_t screens =
        std::min(static_cast<size_t>(report.screenCount), report.workAreas.size());
    for (size_t i = 0; i < screens; ++i)
      if (report.workAreas[i])
        Add(AreaRect(*report.workAreas[i]));
  }
  if (monitors.empty())
    Estimate(report.defaultWidth, report.defaultHeight);
  monitorCount = static_cast<int32_t>(monitors.size());
}

namespace {

// numerator / denominator rounded to the nearest integer, halves upward;
// both positive.
int64_t RoundedQuotient(int64_t numerator, int64_t denominator)
{
  return (2 * numerator + denominator) / (2 * denominator);
}

} // namespace

// Without better information a screen much taller than a usual monitor (a
// height of 0.8 times the width) is taken for several monitors stacked, one
// much wider for several side by side. With v = H / (0.8 W) and
// u = 0.8 W / H: v > 1.5 gives round(v) bands of round(H / v) = round(0.8 W)
// pixels; u > 1.5 gives round(u) bands of round(W / u) = round(1.25 H).
// The ratios are compared and rounded in exact integer arithmetic: in
// floating point the result at a border (1920 x 1024 gives u = 1.5 exactly)
// would depend on the processor's intermediate precision.
void SDisplay::Estimate(int32_t width, int32_t height)
{
  // X screen sizes are 16-bit; clamping keeps the number of guessed
  // monitors bounded for any input.
  const int64_t w = std::clamp<int32_t>(width, 0, 65535);
  const int64_t h = std::clamp<int32_t>(height, 0, 65535);
  bounds = Rect{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)};
  estimated = false;
  if (w > 0 && h > 0) {
    if (5 * h > 6 * w) { // v > 1.5
      estimated = true;
      const int64_t n = RoundedQuotient(5 * h, 4 * w);
      const int64_t band = RoundedQuotient(4 * w, 5);
      for (int64_t i = 0; i < n; ++i)
        monitors.push_back(
            Rect{0, Clamp32(i * band), static_cast<int32_t>(w), Clamp32((i + 1) * band)});
      return;
    }
    if (8 * w > 15 * h) { // u > 1.5
      estimated = true;
      const int64_t n = RoundedQuotient(4 * w, 5 * h);
      const int64_t band = RoundedQuotient(5 * h, 4);
      for (int64_t i = 0; i < n; ++i)
        monitors.push_back(
            Rect{Clamp32(i * band), 0, Clamp32((i + 1) * band), static_cast<int32_t>(h)});
      return;
    }
  }
  monitors.push_back(Rect{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)});
}

SDisplay::Rect SDisplay::MonitorRect(Pt point) const
{
  for (const Rect& monitor : monitors)
    if (monitor.Contains(point))
      return monitor;
  return monitors.empty() ? Rect{} : monitors.front();
}

SDisplay::Pt SDisplay::CenteredOrigin(const Rect& window) const
{
  const Pt centre{window.left + window.Width() / 2, window.top + window.Height() / 2};
  return CenteredOrigin(window, centre);
}

SDisplay::Pt SDisplay::CenteredOrigin(const Rect& window, Pt point) const
{
  if (monitors.empty())
    return Pt{window.left, window.top};
  const Rect monitor = MonitorRect(point);
  return Pt{monitor.left + ((monitor.Width() - window.Width()) >> 1),
            monitor.top + ((monitor.Height() - window.Height()) >> 1)};
}

namespace {

// The control's rectangle in screen coordinates.
SDisplay::Rect ScreenRect(const SControl& control)
{
  int x = 0;
  int y = 0;
  control.GetClient2Screen(&x, &y);
  const SDisplay::Rect window = control.WindowRect();
  return SDisplay::Rect{x, y, x + window.Width(), y + window.Height()};
}

// Moves the control so that its screen origin becomes target.
void MoveTo(SControl& control, const SDisplay::Rect& screen, SDisplay::Pt target)
{
  const SDisplay::Rect window = control.WindowRect();
  control.SetPosition(window.left + target.x - screen.left, window.top + target.y - screen.top);
}

} // namespace

SDisplay::Rect SDisplay::MonitorRect(const SControl* control) const
{
  if (!control)
    return Rect{};
  const Rect screen = ScreenRect(*control);
  return MonitorRect(Pt{screen.left + screen.Width() / 2, screen.top + screen.Height() / 2});
}

void SDisplay::CenterOnWindow(SControl* control) const
{
  if (!control)
    return;
  const Rect screen = ScreenRect(*control);
  MoveTo(*control, screen, CenteredOrigin(screen));
}

void SDisplay::CenterOnWindow(SControl* control, Pt point) const
{
  if (!control)
    return;
  const Rect screen = ScreenRect(*control);
  MoveTo(*control, screen, CenteredOrigin(screen, point));
}

} // namespace vexo::gui
