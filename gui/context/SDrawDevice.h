// vexo::gui::context::SDrawDevice: the target of drawing, an X drawable and
// a graphics context (GC) made on it. SDrawMemoryDevice draws into an
// off-screen bitmap instead (widgets keep their images in one and copy them
// into their window).
//
// Threads: made with its control or widget; used on the drawing thread.
#pragma once

struct _XDisplay;
struct _XGC;

namespace vexo::gui::context {

class SDrawBitmap;

class SDrawDevice
{
public:
  // A new GC with default values on the drawable (none without a display or
  // a drawable).
  explicit SDrawDevice(unsigned long drawable);
  // Flushes and frees the GC.
  virtual ~SDrawDevice();
  SDrawDevice(const SDrawDevice&) = delete;
  SDrawDevice& operator=(const SDrawDevice&) = delete;

  virtual _XGC* Get() { return gc; }
  virtual unsigned long GetDrawable() { return drawable; }

  _XDisplay* Display() const { return display; }

protected:
  SDrawDevice() = default;

  _XDisplay* display = nullptr;
  unsigned long drawable = 0;
  _XGC* gc = nullptr;
};

class SDrawMemoryDevice : public SDrawDevice
{
public:
  // A GC of its own on the bitmap's pixmap; none without a bitmap. The
  // device the bitmap was made for says nothing the pixmap does not.
  SDrawMemoryDevice(SDrawDevice* device, SDrawBitmap* bitmap);
  ~SDrawMemoryDevice() override;

  _XGC* Get() override { return ownGc; }
  unsigned long GetDrawable() override;

private:
  SDrawBitmap* bitmap;
  _XGC* ownGc = nullptr;
};

} // namespace vexo::gui::context
