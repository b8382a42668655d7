// vexo::system::SMonitorLayout: the layout of the monitors of the X display,
// as plain rectangles in X screen coordinates, and where a window of a given
// rectangle goes to be centred on one of them.
//
// The layout is computed from what the server reports (Xinerama screens,
// else the work areas of several X screens, else a guess from the default
// screen's shape). The computation is a pure function of that report
// (BuildLayout), so it needs no X connection and can be checked with plain
// numbers; the toolkit gathers the report (gui/SDisplay.h) and moves its
// windows by the answers.
//
// Threads: built while the library loads (static initialisation, through
// `sd`) and only read afterwards, from any thread, without a lock.
#pragma once

#include "support/math/geom.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vexo::system {

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

class SMonitorLayout
{
public:
  using Rect = vexo::math::geom::Rect;
  using Pt = vexo::math::geom::Pt;

  // Rebuilds the layout from a report.
  void BuildLayout(const SServerReport& report);
  // Empties the layout: no monitors, count 0 (there was nothing to ask).
  void Clear();

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

  const std::vector<Rect>& Monitors() const { return monitors; }
  int32_t MonitorCount() const { return monitorCount; }
  // The smallest box around all monitors; its minimum never lies above 0.
  const Rect& BoundingBox() const { return bounds; }
  // True when the monitors were guessed from the default screen's shape.
  bool Estimated() const { return estimated; }

private:
  void Add(const Rect& rect);
  void Estimate(int32_t width, int32_t height);

  std::vector<Rect> monitors;
  int32_t monitorCount = 0;
  Rect bounds;
  bool estimated = false;
};

} // namespace vexo::system
