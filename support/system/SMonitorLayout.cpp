#include "support/system/SMonitorLayout.h"

#include <algorithm>
#include <climits>

namespace vexo::system {

namespace {

int32_t Clamp32(int64_t value)
{
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// left = x, top = y, right = x + width, bottom = y + height; the sums are
// taken wide, so that absurd cardinals from a root property cannot overflow.
SMonitorLayout::Rect AreaRect(const SScreenArea& area)
{
  SMonitorLayout::Rect rect;
  rect.left = area.x;
  rect.top = area.y;
  rect.right = Clamp32(static_cast<int64_t>(area.x) + area.width);
  rect.bottom = Clamp32(static_cast<int64_t>(area.y) + area.height);
  return rect;
}

} // namespace

void SMonitorLayout::Clear()
{
  monitors.clear();
  monitorCount = 0;
  bounds = Rect{};
  estimated = false;
}

void SMonitorLayout::Add(const Rect& rect)
{
  monitors.push_back(rect);
  bounds.left = std::min(bounds.left, rect.left);
  bounds.top = std::min(bounds.top, rect.top);
  bounds.right = std::max(bounds.right, rect.right);
  bounds.bottom = std::max(bounds.bottom, rect.bottom);
}

void SMonitorLayout::BuildLayout(const SServerReport& report)
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
void SMonitorLayout::Estimate(int32_t width, int32_t height)
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

SMonitorLayout::Rect SMonitorLayout::MonitorRect(Pt point) const
{
  for (const Rect& monitor : monitors)
    if (monitor.Contains(point))
      return monitor;
  return monitors.empty() ? Rect{} : monitors.front();
}

SMonitorLayout::Pt SMonitorLayout::CenteredOrigin(const Rect& window) const
{
  const Pt centre{window.left + window.Width() / 2, window.top + window.Height() / 2};
  return CenteredOrigin(window, centre);
}

SMonitorLayout::Pt SMonitorLayout::CenteredOrigin(const Rect& window, Pt point) const
{
  if (monitors.empty())
    return Pt{window.left, window.top};
  const Rect monitor = MonitorRect(point);
  return Pt{monitor.left + ((monitor.Width() - window.Width()) >> 1),
            monitor.top + ((monitor.Height() - window.Height()) >> 1)};
}

} // namespace vexo::system
