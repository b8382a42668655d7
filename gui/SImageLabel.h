// vexo::gui::SImageLabel: a control that shows an image (the panel's logo)
// from an off-screen copy and reports mouse presses on it as event 3.
//
// Threads: built and loaded on the editor's thread; drawn and clicked on the
// event-dispatching thread.
#pragma once

#include "gui/SControl.h"

namespace vexo::gui {

namespace context {
class SDrawBitmap;
class SDrawMemoryDevice;
} // namespace context

class SImageLabel : public SControl
{
public:
  // Constructs the control with no image.
  SImageLabel(SGlobals* globals, SControl* parent, unsigned id, const char* title, int style, int x,
              int y, int width, int height, unsigned long nativeParent = 0);
  ~SImageLabel() override;

  // Copies the off-screen image over the whole control; nothing without one.
  void Draw(const Rect& rect) override;
  // Presses and double presses send event 3: value 1 left, 3 right, 2 middle.
  void MouseStateChanged(bool* flags, int code) override;
  // Replaces the image with one decoded from XPM data of the given size.
  virtual void LoadBackground(const void* xpm, int width, int height);

  context::SDrawBitmap* Image() const { return image; }

private:
  context::SDrawBitmap* image = nullptr;
  context::SDrawMemoryDevice* device = nullptr;
};

} // namespace vexo::gui
