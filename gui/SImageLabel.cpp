#include "gui/SImageLabel.h"

#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"

namespace vexo::gui {

SImageLabel::SImageLabel(SGlobals* globals_, SControl* parent_, unsigned id_, const char* title,
                         int style_, int x, int y, int width, int height,
                         unsigned long nativeParent_)
    : SControl(globals_, parent_, id_, title, style_, x, y, width, height, nativeParent_)
{
}

SImageLabel::~SImageLabel()
{
  // No event reaches the control once it is cleaned up; the images go after.
  CleanUp();
  delete device;
  delete image;
}

void SImageLabel::Draw(const Rect&)
{
  if (!device || !drawing)
    return;
  const Rect client = ClientRect();
  drawing->DrawMemory(device, 0, 0, 0, 0, client.right, client.bottom);
}

void SImageLabel::MouseStateChanged(bool* flags, int code)
{
  SControl::MouseStateChanged(flags, code);
  int value = 0;
  switch (code) {
  case context::kMouseLeftDown:
  case context::kMouseLeftDouble:
    value = 1;
    break;
  case context::kMouseRightDown:
  case context::kMouseRightDouble:
    value = 3;
    break;
  case context::kMouseMiddleDown:
  case context::kMouseMiddleDouble:
    value = 2;
    break;
  default:
    return;
  }
  SendEvent(kEventValue, kPayloadValue, value, 0.0f, nullptr, this, nullptr);
}

void SImageLabel::LoadBackground(const void* xpm, int width, int height)
{
  delete device;
  device = nullptr;
  delete image;
  image = new context::SDrawBitmap(xpm, width, height, false);
  device = new context::SDrawMemoryDevice(drawing ? drawing->GetDevice() : nullptr, image);
}

} // namespace vexo::gui
