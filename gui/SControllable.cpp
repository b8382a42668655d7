#include "gui/SControllable.h"

#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>

namespace vexo::gui {

using namespace context;

SControllable<int, false>::SControllable(SGlobals* globals_, SControl* parent_, unsigned id_,
                                         const char* title, int style_, int x, int y, int width,
                                         int height, bool labelBackground, bool zone,
                                         unsigned long nativeParent_)
    : SLabel<false>(globals_, parent_, id_, title, style_, x, y, width, height, nativeParent_),
      valueColour(static_cast<int>(SCOL(0, 255, 255)))
{
  controlColours[0] = statdata.Colour(kColourRed);
  controlColours[1] = statdata.Colour(kColourRed);
  controlColours[2] = statdata.Colour(kColourWhite);
  controlColours[3] = statdata.Colour(kColourBlue);
  type = (labelBackground ? kControlLabelBackground : 0) | (zone ? kControlZone : 0);
  bufferSize = SSize{width, height};
  handleRect = Rect{0, 0, width, height};
  if (zone)
    handleZone = Rect{0, 0, width, height};
  bufferBitmap = new SDrawBitmap(nullptr, width, height, false);
  bufferDevice = new SDrawMemoryDevice(drawing ? drawing->GetDevice() : nullptr, bufferBitmap);
}

SControllable<int, false>::~SControllable()
{
  // Nothing of another thread draws through the buffers once they go.
  CleanUp();
  FreeImages();
  FreeHandleBuffer();
  delete bufferDevice;
  delete bufferBitmap;
}

void SControllable<int, false>::FreeImages()
{
  delete backDevice;
  delete handleDevice;
  backDevice = handleDevice = nullptr;
  delete backBitmap;
  if (handleBitmap != backBitmap)
    delete handleBitmap;
  backBitmap = handleBitmap = nullptr;
}

void SControllable<int, false>::FreeHandleBuffer()
{
  delete handleBufferDevice;
  delete handleBufferBitmap;
  handleBufferDevice = nullptr;
  handleBufferBitmap = nullptr;
}

void SControllable<int, false>::SetType(int type_)
{
  type = type_;
}

void SControllable<int, false>::Reset()
{
  SIControllable<int>::Reset();
}

void SControllable<int, false>::SetBitmaps(SDrawBitmap* back, SDrawBitmap* handle)
{
  // Images handed in again are kept, not freed under the caller.
  if (backBitmap == back || backBitmap == handle)
    backBitmap = nullptr;
  if (handleBitmap == back || handleBitmap == handle)
    handleBitmap = nullptr;
  FreeImages();
  if (back && handle && back != handle && back->Pixmap() && handle->Pixmap()) {
    backBitmap = back;
    handleBitmap = handle;
    type |= kControlBitmaps;
    SDrawDevice* target = drawing ? drawing->GetDevice() : nullptr;
    backDevice = new SDrawMemoryDevice(target, backBitmap);
    handleDevice = new SDrawMemoryDevice(target, handleBitmap);
    handleRect = Rect{0, 0, handleBitmap->Width(), handleBitmap->Height()};
    return;
  }
  type &= ~kControlBitmaps;
  delete back;
  if (handle != back)
    delete handle;
}

void SControllable<int, false>::SetDoubleBuffer()
{
  delete bufferDevice;
  delete bufferBitmap;
  bufferBitmap = new SDrawBitmap(nullptr, bufferSize.width, bufferSize.height, false);
  SDrawDevice* target = drawing ? drawing->GetDevice() : nullptr;
  bufferDevice = new SDrawMemoryDevice(target, bufferBitmap);
  FreeHandleBuffer();
  if ((type & kControlBitmaps) && handleBitmap) {
    handleBufferBitmap =
        new SDrawBitmap(nullptr, handleBitmap->Width(), handleBitmap->Height(), false);
    handleBufferDevice = new SDrawMemoryDevice(target, handleBufferBitmap);
  }
}

void SControllable<int, false>::SetControlColours(int a, int b, int c, int d)
{
  controlColours[0] = a;
  controlColours[1] = b;
  controlColours[2] = c;
  controlColours[3] = d;
}

void SControllable<int, false>::SetValueColour(int colour)
{
  valueColour = colour;
}

int SControllable<int, false>::GetValueColour()
{
  return valueColour;
}

void SControllable<int, false>::SetValueFont(SDrawFont* font_)
{
  valueFont = font_;
}

void SControllable<int, false>::SetHoverColours(int a, int b)
{
  hoverColourA = a;
  hoverColourB = b;
}

void SControllable<int, false>::SetHandleZone(const Rect& zone)
{
  handleZone = zone;
}

void SControllable<int, false>::SetHandleColours(int x, int y)
{
  controlColours[3] = x;
  controlColours[2] = y;
}

void SControllable<int, false>::SetValueZone(const Rect& zone)
{
  valueZone = zone;
  type |= kControlValueZone;
}

void SControllable<int, false>::SetValueOffset(const Point& offset)
{
  valueOffset = offset;
}

int SControllable<int, false>::CalcHandleOffset()
{
  const int travel = handleZone.Height() - handleRect.Height();
  if (travel <= 0 || valueMax == valueMin)
    return 0;
  const float fromTop = static_cast<float>(valueMax - value) * normFactor;
  return static_cast<int>(fromTop * static_cast<float>(travel) + 0.5f);
}

void SControllable<int, false>::SendControlEvent()
{
  SendEvent(kEventDial, kPayloadValue, GetValue(), 0.0f, nullptr, this, nullptr);
}

void SControllable<int, false>::ValueChange(bool up, int amount)
{
  int v = GetValue();
  if (up && v < GetValueMax())
    v += amount;
  else if (!up && v > GetValueMin())
    v -= amount;
  else if (wrapsAround)
    v = up ? GetValueMin() : GetValueMax();
  if (v == GetValue())
    return;
  if (amount == 1)
    SetValue(v, false);
  else if (!SetValueClipped(v))
    return;
  Refresh();
  SendControlEvent();
}

bool SControllable<int, false>::PointerOnScreen(Point& screen) const
{
  int x = 0, y = 0;
  if (!PointerOnRoot(ActiveDisplay(), x, y))
    return false;
  screen = Point{x, y};
  return true;
}

void SControllable<int, false>::MouseStateChanged(bool* flags, int code)
{
  // Every press also reports the mouse button to the label's listeners.
  SLabel<false>::MouseStateChanged(flags, code);
  Point client;
  Point screen;
  const bool known = PointerInClient(client, &screen);
  switch (code) {
  case kMouseLeftDown:
  case kMouseRightDown:
  case kMouseMiddleDown:
  case kMouseLeftDouble:
  case kMouseRightDouble:
  case kMouseMiddleDouble: {
    if (!hovering) {
      hovering = true;
      RefreshOutlines();
    }
    if (!mouseInput || !known || !handleZone.Contains(client))
      return;
    if (!flags[kMouseMiddleDown] && !flags[kMouseMiddleDouble]) {
      dragOrigin = screen;
      if (flags[kMouseCtrl] && ResetValue()) {
        // The listeners learn of the reset like of any other change, so
        // that the owner does not keep showing one value and holding
        // another.
        Refresh();
        SendControlEvent();
      }
      return;
    }
    int v = GetValue();
    const int middle = handleZone.left + ((handleZone.right - handleZone.left) >> 1);
    if (client.x > middle) {
      if (v != GetValueMax())
        v += 1;
      else if (wrapsAround)
        v = GetValueMin();
    } else if (v != GetValueMin()) {
      v -= 1;
    } else if (wrapsAround) {
      v = GetValueMax();
    }
    if (SetValue(v, true)) {
      Refresh();
      SendControlEvent();
    }
    return;
  }
  case kMouseCaptured:
    // A press outside the zone does not keep the capture.
    if (capture.load() == this && (!known || !handleZone.Contains(client)))
      MouseReleaseCapture();
    return;
  case kMouseReleased:
    hovering = flags[kMouseOver];
    RefreshOutlines();
    return;
  case kMouseEntered:
    hovering = true;
    RefreshOutlines();
    return;
  case kMouseMoving:
    if (!hovering) {
      hovering = true;
      RefreshOutlines();
    }
    return;
  case kMouseLeft:
    hovering = false;
    RefreshOutlines();
    return;
  default:
    return;
  }
}

} // namespace vexo::gui
