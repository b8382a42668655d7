// The tooltip side of a control. The tooltip window (SToolTip) and the tip
// data (SToolTipData) come with the tooltips; until they are built a control
// never holds tip data, so these operations have nothing to act on. The
// tooltip code replaces this file: SetTooltip makes the data, CloseTip,
// ShowTooltip and HideTooltip drive the tooltip window, DeleteTooltipData
// frees the data in CleanUp, and TooltipPosition places the tip when the
// pointer enters (root coordinates, from the data's side and the monitor
// rectangle).
#include "gui/SControl.h"

namespace vexo::gui {

void SControl::CloseTip() {}

void SControl::SetTooltip(SToolTip*, const char*, int) {}

void SControl::SetTooltip(SToolTip*, const Label&, int) {}

void SControl::SetTooltip(SToolTip*, SToolTipData*, int) {}

void SControl::ShowTooltip(const Point&) {}

void SControl::HideTooltip() {}

void SControl::DeleteTooltipData()
{
  tooltip = nullptr;
}

Point SControl::TooltipPosition()
{
  return Point{0, 0};
}

} // namespace vexo::gui
