#include "gui/SButton.h"

#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>

#include <algorithm>

namespace vexo::gui {

using namespace context;

SButton<false>::SButton(SGlobals* globals_, SControl* parent_, unsigned id_, const char* title,
                        int style_, int x, int y, int width, int height,
                        unsigned long nativeParent_, bool unused)
    : SLabel<false>(globals_, parent_, id_, title, style_, x, y, width, height, nativeParent_,
                    unused),
      labelColourActive(static_cast<int>(SCOL(255, 255, 255)))
{
  // The toolkit redraws the outline when the pointer enters or leaves.
  style |= kStyleOutlineOnHover;
}

SButton<false>::~SButton()
{
  // The images go only once no handler of another thread can draw them.
  CleanUp();
  FreeBitmaps();
}

void SButton<false>::FreeBitmaps()
{
  delete deviceOff;
  delete deviceOn;
  deviceOff = deviceOn = nullptr;
  delete bitmapOff;
  if (bitmapOn != bitmapOff)
    delete bitmapOn;
  bitmapOff = bitmapOn = nullptr;
}

void SButton<false>::SetType(int type_)
{
  type = type_;
}

bool SButton<false>::SetValue(int v, bool notify)
{
  if (v == value)
    return false;
  value = v;
  SetDrawingMode(v != 0);
  Refresh();
  if (notify)
    SendEvent(kEventValue, kPayloadValue, v, 0.0f, nullptr, this, nullptr);
  return true;
}

int SButton<false>::GetValue()
{
  return value;
}

void SButton<false>::Toggle()
{
  if (value != 0)
    SetValue(0, (type & kButtonToggle) || (type & kButtonReportRelease));
  else
    SetValue(1, true);
}

void SButton<false>::Reset()
{
  SetValue(0, true);
}

void SButton<false>::SetLabelColours(int enabled, int disabled)
{
  labelColour = enabled;
  labelColourDisabled = disabled;
  labelColourActive = enabled;
}

void SButton<false>::SetLabelColourActive(int colour)
{
  labelColourActive = colour;
}

int SButton<false>::GetLabelColour()
{
  if (!Enabled())
    return labelColourDisabled;
  return value == 1 ? labelColourActive : labelColour;
}

void SButton<false>::SetHoverColours(int a, int b)
{
  hoverColourA = a;
  hoverColourB = b;
}

bool SButton<false>::SetLabelAlternative(const char* text, bool use)
{
  alternativeLabel.Clear(false);
  alternativeLabel.Append(text ? text : "");
  useAlternativeLabel = use;
  return use;
}

void SButton<false>::Highlight(bool on, int colour, int x, int y)
{
  SLabel<false>::Highlight(on, colour, x, y);
}

void SButton<false>::SetBitmaps(SDrawBitmap* off, SDrawBitmap* on)
{
  // Images handed in again are kept, not freed under the caller.
  if (bitmapOff == off || bitmapOff == on)
    bitmapOff = nullptr;
  if (bitmapOn == off || bitmapOn == on)
    bitmapOn = nullptr;
  FreeBitmaps();
  if (off && on && off != on && off->Pixmap() && on->Pixmap()) {
    bitmapOff = off;
    bitmapOn = on;
    type |= kButtonBitmap;
    SDrawDevice* target = drawing ? drawing->GetDevice() : nullptr;
    deviceOff = new SDrawMemoryDevice(target, bitmapOff);
    deviceOn = new SDrawMemoryDevice(target, bitmapOn);
    return;
  }
  type &= ~kButtonBitmap;
  delete off;
  if (on != off)
    delete on;
}

void SButton<false>::SetBitmaps(const void* dataOff, const void* dataOn, int width, int height)
{
  // Without data there is no image (an empty pixmap would pass for one).
  SetBitmaps(dataOff ? new SDrawBitmap(dataOff, width, height, false) : nullptr,
             dataOn ? new SDrawBitmap(dataOn, width, height, false) : nullptr);
}

void SButton<false>::Draw(const Rect&)
{
  if (!drawing)
    return;
  const Rect client = ClientRect();
  const Rect whole{0, 0, client.right, client.bottom};
  if (type & kButtonBitmap) {
    if (SDrawMemoryDevice* device = value != 0 ? deviceOn : deviceOff)
      drawing->DrawMemory(device, 0, 0, whole.left, whole.top, whole.right, whole.bottom);
  } else {
    drawing->SetBackgroundColour(value > 0);
    if (style & kStyleRounded) {
      drawing->DrawBackground(whole, true);
      FillRoundedBackground(whole);
    } else {
      drawing->DrawBackground(whole, false);
    }
    DrawLabel();
  }
  DrawOutlines(whole);
}

void SButton<false>::DrawOutlines(const Rect& rect)
{
  if (!drawing)
    return;
  int colour = 0;
  if (highlighted)
    colour = highlightColour;
  else if (hovering)
    colour = value < 1 ? hoverColourA : hoverColourB;
  else if (style & kStyleFrame)
    colour = drawing->GetFrameColour(Enabled(), value > 0);
  else
    colour = drawing->GetParentBackgroundColour();
  Outline(rect, colour);
}

void SButton<false>::DrawLabel()
{
  if (!drawing || !font || lines.empty())
    return;
  drawing->SetFont(font);
  const int colour = GetLabelColour();
  drawing->SetTextColour(colour, value > 0);
  drawing->SetPen(statdata.FindPen(colour));
  if (value == 1 && useAlternativeLabel) {
    const Rect client = ClientRect();
    drawing->DrawLabel(alternativeLabel, Rect{0, 0, client.right, client.bottom}, alignment,
                       labelOffset);
    return;
  }
  const size_t n = std::min(lines.size(), lineRects.size());
  for (size_t i = 0; i < n; ++i)
    drawing->DrawLabel(lines[i], lineRects[i], alignment, labelOffset);
}

void SButton<false>::UpdatePointerInside()
{
  Point at;
  bool inside = false;
  if (PointerInClient(at)) {
    const Rect client = ClientRect();
    inside = at.x >= 0 && at.x <= client.right && at.y >= 0 && at.y <= client.bottom;
  }
  if (input)
    input->flags[kMouseOver] = inside;
  hovering = inside;
}

void SButton<false>::ClearState()
{
  CloseTip();
  if ((style & kStyleAutoCapture) && capture.load() == this)
    MouseReleaseCapture();
  if (input)
    input->Reset();
  MouseTracker(false);
  hovering = false;
  if ((type & kButtonPush) && value != 0) {
    value = 0;
    SetDrawingMode(false);
  }
  // At once, not through a redraw request: the caller drops the state
  // because no further event may come for this button.
  Display* display = ActiveDisplay();
  if (!display || !window || !drawing || !(state & kStateShown))
    return;
  XLockDisplay(display);
  Draw(ClientRect());
  XFlush(display);
  XUnlockDisplay(display);
}

void SButton<false>::MouseStateChanged(bool* flags, int code)
{
  // A button reports what its type says, not the label's raw press.
  SWindow::MouseStateChanged(flags, code);
  if (!mouseInput)
    return;
  switch (code) {
  case kMouseEntered:
    hovering = true;
    RefreshOutlines();
    break;
  case kMouseMoving:
    if (!hovering) {
      hovering = true;
      RefreshOutlines();
    }
    break;
  case kMouseLeft:
    if ((type & kButtonPush) && value == 1)
      Toggle();
    hovering = false;
    RefreshOutlines();
    break;
  case kMouseLeftDown:
  case kMouseLeftDouble:
    hovering = true;
    if (type & kButtonTrigger) {
      Toggle();
      value = 0;
      SetDrawingMode(false);
      UpdatePointerInside();
      Refresh();
    } else if (!(type & kButtonPassive)) {
      Toggle();
    }
    break;
  case kMouseRightDown:
  case kMouseRightDouble:
  case kMouseMiddleDown:
  case kMouseMiddleDouble: {
    hovering = true;
    if (!(type & kButtonTrigger))
      break;
    const bool right = code == kMouseRightDown || code == kMouseRightDouble;
    SetDrawingMode(true);
    Refresh();
    SendEvent(kEventValue, kPayloadValue, right ? 3 : 2, 0.0f, nullptr, this, nullptr);
    value = 0;
    SetDrawingMode(false);
    Refresh();
    UpdatePointerInside();
    RefreshOutlines();
    break;
  }
  case kMouseReleased:
    if ((type & kButtonPush) && value == 1)
      Toggle();
    UpdatePointerInside();
    RefreshOutlines();
    break;
  default:
    break;
  }
}

} // namespace vexo::gui
