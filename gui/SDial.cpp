#include "gui/SDial.h"

#include "gui/SStaticData.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"

#include <cstdio>

namespace vexo::gui {

using namespace context;

SDial<int>::SDial(SGlobals* globals_, SControl* parent_, unsigned id_, const char* title,
                  int style_, int x, int y, int width, int height, bool labelBackground, bool zone,
                  unsigned long nativeParent_, int value_, int min, int max, int def)
    : SControllable<int, false>(globals_, parent_, id_, title,
                                style_ | kStyleOutlineOnHover | kStyleAutoCapture, x, y, width,
                                height, labelBackground, zone, nativeParent_)
{
  value = value_;
  valueMin = min;
  valueMax = max;
  SetValueDef(def);
  CalcValueMed();
  CalcNormFactor();
  tableSize = max == min ? 1 : max - min + 1;
  initialValue = value_;
}

SDial<int>::~SDial()
{
  // The tables are read while drawing: no drawing after this.
  CleanUp();
  if (ownsNameTable)
    delete[] nameTable;
  if (ownsLabelTable && !(ownsNameTable && labelTable == nameTable))
    delete[] labelTable;
}

bool SDial<int>::SetValue(int v, bool)
{
  if (v == value)
    return false;
  value = v;
  Refresh();
  return true;
}

const char* SDial<int>::ValueText(char* buffer, int size) const
{
  // A table is read only where it holds the value: SetValue does not clip,
  // and a value beyond the table would read past it.
  const bool inTable = value >= 0 && value < tableSize;
  if (useNameTable && nameTable && inTable)
    return nameTable[value].Text();
  if (!useNameTable && useLabelTable && labelTable && inTable)
    return labelTable[value].Text();
  std::snprintf(buffer, static_cast<size_t>(size), "%i", value);
  return buffer;
}

void SDial<int>::DrawHandle()
{
  if (!drawing)
    return;
  if (type & kControlBitmaps) {
    if (handleDevice && handleBitmap && handleBitmap->Pixmap())
      drawing->DrawMemory(handleDevice, handleRect.left, handleRect.top, 0, 0,
                          handleBitmap->Width(), handleBitmap->Height());
    return;
  }
  SetBackgroundMode(true);
  const int colour = controlColours[3];
  drawing->SetPen(statdata.FindPen(colour));
  drawing->SetBrush(statdata.FindBrush(colour));
  if (style & kStyleRounded)
    drawing->FillRoundedRect(handleRect, 5, 5);
  else
    drawing->FillRect(handleRect);
}

void SDial<int>::DrawValue()
{
  if (!drawing || !valueFont)
    return;
  drawing->SetFont(valueFont);
  const int colour = markEnabled && value == markValue ? markColour : GetLabelColour();
  drawing->SetTextColour(colour, false);
  drawing->SetPen(statdata.FindPen(colour));
  const Rect area{handleRect.left + labelOffset.x, handleRect.top + labelOffset.y,
                  handleRect.right + labelOffset.x, handleRect.bottom + labelOffset.y};
  char number[16];
  drawing->DrawLabel(ValueText(number, sizeof number), area, 0, Point{0, 0});
}

void SDial<int>::DrawOutlines(const Rect& rect)
{
  if (!drawing)
    return;
  drawing->SetPen(statdata.FindPen(hovering ? hoverColourB : hoverColourA));
  if (style & kStyleRounded)
    drawing->DrawRoundedRect(rect, 5, 5);
  else
    drawing->DrawRect(rect);
}

void SDial<int>::Draw(const Rect&)
{
  if (!drawing || !bufferDevice)
    return;
  const Rect client = ClientRect();
  const Rect whole{0, 0, client.right, client.bottom};
  SDrawDevice* window = drawing->GetDevice();
  drawing->SetDevice(bufferDevice);
  if ((type & kControlBitmaps) && backDevice && backBitmap && backBitmap->Pixmap()) {
    drawing->DrawMemory(backDevice, 0, 0, whole.left, whole.top, whole.right, whole.bottom);
  } else if (type & kControlLabelBackground) {
    SLabel<false>::Draw(whole);
  } else if (style & kStyleRounded) {
    drawing->DrawBackground(whole, true);
    const int colour = drawing->GetBackgroundColour();
    drawing->SetPen(statdata.FindPen(colour));
    drawing->SetBrush(statdata.FindBrush(colour));
    drawing->FillRoundedRect(whole, 5, 5);
  } else {
    drawing->DrawBackground(whole, false);
  }
  DrawHandle();
  DrawValue();
  DrawOutlines(whole);
  drawing->SetDevice(window);
  drawing->DrawMemory(bufferDevice, 0, 0, whole.left, whole.top, whole.right, whole.bottom);
}

void SDial<int>::MouseStateChanged(bool* flags, int code)
{
  SControllable<int, false>::MouseStateChanged(flags, code);
  if (code != kMouseWheel || !mouseInput)
    return;
  if (flags[kMouseWheelUp])
    ValueChange(true, 1);
  else if (flags[kMouseWheelDown])
    ValueChange(false, 1);
}

void SDial<int>::SteppedDrag(int dy, int y, int step)
{
  if (dy > 0 && y > dragOrigin.y + step) {
    ValueChange(false, 1);
    dragOrigin.y = y;
  } else if (dy < 0 && y < dragOrigin.y - step) {
    ValueChange(true, 1);
    dragOrigin.y = y;
  }
}

void SDial<int>::MousePosChanged(int dx, int dy)
{
  (void)dx;
  if (!mouseInput || !input || !input->flags[kMouseCaptured])
    return;
  Point screen;
  if (!PointerOnScreen(screen))
    return;
  const int y = screen.y;
  const bool left = input->flags[kMouseLeftDown];
  const bool right = input->flags[kMouseRightDown] && !left;
  if (left && leftDragStepped) {
    SteppedDrag(dy, y, dragStepLeft);
  } else if (left) {
    // Every pixel is a step.
    if (dy > 0 && y > dragOrigin.y) {
      ValueChange(false, dy);
      dragOrigin.y = y;
    } else if (dy < 0 && y < dragOrigin.y) {
      ValueChange(true, -dy);
      dragOrigin.y = y;
    }
  } else if (right) {
    SteppedDrag(dy, y, dragStepRight);
  }
}

} // namespace vexo::gui
