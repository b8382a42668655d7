#include "gui/SDrawObject.h"

#include "gui/context/SDrawing.h"

namespace vexo::gui {

void SDrawObject::Draw(context::SDrawing* drawing)
{
  if (!drawing)
    return;
  const int remembered = drawing->GetBackgroundColour();
  drawing->SetBackground(background, false);
  drawing->DrawBackground(context::Rect{rect.left + offset.x, rect.top + offset.y,
                                        rect.right + offset.x, rect.bottom + offset.y},
                          false);
  drawing->SetBackground(remembered, false);
}

void STextObject::Draw(context::SDrawing* drawing)
{
  if (!drawing)
    return;
  SDrawObject::Draw(drawing);
  drawing->SetTextColour(textColour, false);
  drawing->DrawLabel(label,
                     context::Rect{rect.left + labelOffset.x, rect.top + labelOffset.y,
                                   rect.right + labelOffset.x, rect.bottom + labelOffset.y},
                     alignment, context::Point{0, 0});
}

void STextObjectX::Draw(context::SDrawing* drawing)
{
  if (!drawing)
    return;
  SDrawObject::Draw(drawing);
  if (font)
    drawing->SetFont(font);
  drawing->SetTextColour(textColour, false);
  drawing->DrawLabel(label,
                     context::Rect{rect.left + labelOffset.x, rect.top + labelOffset.y,
                                   rect.right + labelOffset.x, rect.bottom + labelOffset.y},
                     alignment, context::Point{0, 0});
}

} // namespace vexo::gui
