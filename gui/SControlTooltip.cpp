// The tooltip side of a control: its tip data (made by SetTooltip, freed in
// CleanUp), opening and closing the tip through the tooltip window, and the
// placement of the tip when the pointer enters the control.
#include "gui/SControl.h"

#include "gui/SDisplay.h"
#include "gui/SToolTip.h"
#include "gui/XDisplay.h"
#include "support/system/SSystemData.h"

#include <X11/Xlib.h>

namespace vexo::gui {

namespace {

// Halves rounding towards minus infinity, as a shift does.
int FloorHalf(int value)
{
  return value >= 0 ? value / 2 : -((1 - value) / 2);
}

// The monitor the control lies on (the one holding its centre, else the
// first); the default screen when no monitor layout is known.
Rect ScreenArea(const SControl* control)
{
  Rect area;
  if (sd.display)
    area = MonitorRect(*sd.display, control);
  if (area.Width() <= 0 || area.Height() <= 0) {
    if (Display* display = ActiveDisplay()) {
      const int screen = DefaultScreen(display);
      area = Rect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    }
  }
  return area;
}

} // namespace

void SControl::CloseTip()
{
  if (SToolTipData* data = tooltip)
    data->Close();
}

void SControl::SetTooltip(SToolTip* tip, const char* text, int side)
{
  auto* data = new SToolTipData(tip, this, side);
  data->AddLabel(text);
  SetTooltip(tip, data, side);
}

void SControl::SetTooltip(SToolTip* tip, const Label& text, int side)
{
  SetTooltip(tip, text.Text(), side);
}

void SControl::SetTooltip(SToolTip* tip, SToolTipData* data, int side)
{
  if (data != tooltip)
    DeleteTooltipData();
  tooltip = data;
  if (!data)
    return;
  data->control = this;
  data->side = side;
  if (tip && data->tooltip != tip) {
    // Moving to another tooltip: the old one must neither switch this
    // control nor show this data any more.
    if (SToolTip* old = data->tooltip) {
      old->Unregister(this);
      old->Forget(data);
    }
    data->tooltip = tip;
  }
  if (data->tooltip)
    data->tooltip->Register(this);
}

void SControl::ShowTooltip(const Point& position)
{
  SToolTipData* data = tooltip;
  if (data && data->tooltip)
    data->tooltip->Open(data, position);
}

void SControl::HideTooltip()
{
  if (SToolTipData* data = tooltip)
    data->Close();
}

void SControl::DeleteTooltipData()
{
  SToolTipData* data = tooltip;
  tooltip = nullptr;
  if (!data)
    return;
  if (data->tooltip)
    data->tooltip->Unregister(this);
  delete data;
}

// The tip goes 3 pixels outside the control on the data's side, centred
// along it, and to the opposite side when it would leave the monitor there.
// Positions are in root coordinates; the data's offset (the flipped one
// after a flip) is added.
Point SControl::TooltipPosition()
{
  SToolTipData* data = tooltip;
  if (!data || !data->tooltip)
    return Point{0, 0};
  SToolTip* tip = data->tooltip;
  tip->SetFlipped(false);
  const int tipWidth = data->bounds.Width() + SToolTip::kMarginWidth;
  const int tipHeight = data->bounds.Height() + SToolTip::kMarginHeight;
  const Rect client = ClientRect();
  const int w = client.Width();
  const int h = client.Height();
  const int gap = SToolTip::kGap;
  const Rect area = ScreenArea(this);

  auto place = [&](int x, int y) {
    GetClient2Screen(&x, &y);
    const Point offset = data->GetOffset();
    return Point{x + offset.x, y + offset.y};
  };
  auto flip = [&](int x, int y) {
    tip->SetFlipped(true);
    return place(x, y);
  };

  const int side = data->side < 0 ? kTipAbove : data->side;
  switch (side) {
  case kTipAbove: {
    const Point at = place(FloorHalf(w - tipWidth), -tipHeight - gap);
    return at.y < area.top ? flip(FloorHalf(w - tipWidth), h + gap) : at;
  }
  case kTipRight: {
    const Point at = place(w + gap, FloorHalf(h - tipHeight));
    return at.x + tipWidth > area.right ? flip(-tipWidth - gap, FloorHalf(h - tipHeight)) : at;
  }
  case kTipBelow: {
    const Point at = place(FloorHalf(w - tipWidth), h + gap);
    return at.y + tipHeight > area.bottom ? flip(FloorHalf(w - tipWidth), -tipHeight - gap) : at;
  }
  case kTipLeft: {
    const Point at = place(-tipWidth - gap, FloorHalf(h - tipHeight));
    return at.x < area.left ? flip(w + gap, FloorHalf(h - tipHeight)) : at;
  }
  default:
    return Point{0, 0};
  }
}

} // namespace vexo::gui
