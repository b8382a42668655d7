// vexo::gui::SDisplay: the layout of the monitors of the X display, in X
// screen coordinates, and where a window goes to be centred on one of them.
// The toolkit centres message boxes with it and keeps tooltips on screen.
//
// The layout is computed once from what the server reports (Xinerama
// screens, else the work areas of several X screens, else a guess from the
// default screen's shape) and is not refreshed when monitors change. The
// computation is a pure function of that report (BuildLayout), so it can be
// checked with plain numbers; AllMonitorRects only gathers the report.
//
// Threads: built while the library loads (static initialisation, through
// `sd`) and only read afterwards, from any thread, without a lock.
#pragma once

#include "support/math/geom.h"

#include <cstdint>
#include <optional>
#include <vector>

// The same declaration as Xlib's, so that this header needs no X headers.
typedef struct _XDisplay Display;

namespace vexo::gui {

class SControl;

// An area as the X server describes it: origin and size in pixels.
struct SScreenArea
{
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Everything the monitor layout is computed from.
struct SServerReport
{
  // The XINERAMA extension exists and is active; then its screens count.
  bool xineramaActive = false;
  std::vector<SScreenArea> xineramaScreens;
  // The number of X screens of the connection.
  int32_t screenCount = 0;
  // Per X screen, in screen order: its "_NET_WORKAREA" (four 32-bit
  // cardinals on its root window) when it has a valid one. Only read and
  // only used when there is no Xinerama and more than one X screen.
  std::vector<std::optional<SScreenArea>> workAreas;
  // The size of the default X screen.
  int32_t defaultWidth = 0;
  int32_t defaultHeight = 0;
};

// Asks the server behind display for the report. display must not be null.
SServerReport ReadServerReport(Display* display);

class SDisplay
{
public:
  using Rect = vexo::math::geom::Rect;
  using Pt = vexo::math::geom::Pt;

  // Rebuilds the layout from the toolkit's connection. Without one the
  // layout is empty: no monitors, count 0.
  void AllMonitorRects();
  // Rebuilds the layout from the given connection; null empties it.
  void AllMonitorRects(Display* display);
  // Rebuilds the layout from a report, without any X call.
  void BuildLayout(const SServerReport& report);

  // The first monitor whose rectangle contains point (edges included), else
  // the first monitor; an empty rectangle when there are no monitors.
  Rect MonitorRect(Pt point) const;

  // Where a window of this rectangle (in screen coordinates) goes to be
  // centred on the monitor that contains its centre, else on the first
  // monitor: left = monitor left + (monitor width - window width) / 2, top
  // likewise, halved by an arithmetic shift. Without monitors the window
  // keeps its place.
  Pt CenteredOrigin(const Rect& window) const;
  // The same on the monitor that contains point.
  Pt CenteredOrigin(const Rect& window, Pt point) const;

  // The same for controls: the monitor of the control's centre, and moving
  // the control so that it is centred on the monitor of its centre (or of
  // point). A null control does nothing (and has an empty monitor).
  Rect MonitorRect(const SControl* control) const;
  void CenterOnWindow(SControl* control) const;
  void CenterOnWindow(SControl* control, Pt point) const;

  const std::vector<Rect>& Monitors() const { return monitors; }
  int32_t MonitorCount() const { return monitorCount; }
  // The smallest box around all monitors; its minimum never lies above 0.
  const Rect& BoundingBox() const { return bounds; }
  // True when the monitors were guessed from the default screen's shape.
  bool Estimated() const { return estimated; }

private:
  void Clear();
  void Add(const Rect& rect);
  void Estimate(int32_t width, int32_t height);

  std::vector<Rect> monitors;
  int32_t monitorCount = 0;
  Rect bounds;
  bool estimated = false;
};

} // namespace vexo::gui
