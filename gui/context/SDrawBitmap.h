// vexo::gui::context::SDrawBitmap: an X pixmap, empty or decoded from XPM
// data (the logo, button images). SDrawBitmapMask and SDrawImage complete
// the drawing interfaces; the plug-in never makes them.
//
// Threads: made and freed on the thread that builds or destroys the widget
// that owns it; drawn from on the event-dispatching thread.
#pragma once

struct _XDisplay;
struct _XImage;

namespace vexo::gui::context {

class SDrawBitmap
{
public:
  SDrawBitmap() = default;
  // Create(xpmData, width, height, flag).
  SDrawBitmap(const void* xpmData, int width, int height, bool flag);
  virtual ~SDrawBitmap();
  SDrawBitmap(const SDrawBitmap&) = delete;
  SDrawBitmap& operator=(const SDrawBitmap&) = delete;

  virtual int Use() { return 0; }

  // Nothing when a pixmap exists. Without data: an empty pixmap of the size
  // in the default depth. With data: decoded by libXpm (colour closeness
  // 40000); width and height become the image's, or 1 x 1 without a pixmap
  // when decoding fails.
  void Create(const void* xpmData, int width, int height, bool flag);

  int Width() const { return pixmap ? width : 0; }
  int Height() const { return pixmap ? height : 0; }
  unsigned long Pixmap() const { return pixmap; }

protected:
  int width = 0;
  int height = 0;
  bool flag = false;
  unsigned long pixmap = 0;
  _XDisplay* display = nullptr;
};

// A one-bit bitmap used as a mask.
class SDrawBitmapMask : public SDrawBitmap
{
public:
  SDrawBitmapMask(int width, int height);
};

// An X image in client memory; owns it.
class SDrawImage
{
public:
  explicit SDrawImage(_XImage* image_) : image(image_) {}
  virtual ~SDrawImage();
  SDrawImage(const SDrawImage&) = delete;
  SDrawImage& operator=(const SDrawImage&) = delete;

  _XImage* Get() const { return image; }

private:
  _XImage* image;
};

} // namespace vexo::gui::context
