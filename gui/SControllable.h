// vexo::gui::SControllable<int, false>: the base of value controls (the
// dial): a label with a value range, hover outline colours, a handle
// rectangle, the zone that reacts to presses, an off-screen buffer, and the
// step logic that turns mouse input into value changes and value events
// (code 5, kind 1, the new value).
//
// Presses inside the handle zone start a drag (left or right button), reset
// the value to its default with Ctrl held, or step it by one toward the
// side of the zone that was clicked (middle button). A press outside the
// zone changes nothing and does not keep the mouse capture.
//
// Threads: no lock of its own. Built on the thread that builds the window
// tree; the mouse handlers and drawing run on the event-dispatching thread
// (drawing inside the display lock). The owner's refresh (SetValue from
// another thread) holds the display lock or touches a hidden control.
#pragma once

#include "gui/SIControllable.h"
#include "gui/SIHoverable.h"
#include "gui/SLabel.h"

#include <cstdint>

namespace vexo::gui {

namespace context {
class SDrawBitmap;
class SDrawMemoryDevice;
class SDrawFont;
} // namespace context

// Bits of SControllable::type.
enum SControllableType : int
{
  kControlLabelBackground = 2, // the background is drawn as a label
  kControlBitmaps = 4,         // set by SetBitmaps: images instead of drawing
  kControlZone = 8,            // the constructor's zone flag was given
  kControlValueZone = 16,      // SetValueZone was called
};

struct SSize
{
  int32_t width = 0;
  int32_t height = 0;
};

template <typename T, bool Flag> class SControllable;

template <>
class SControllable<int, false>
    : public SLabel<false>, public SIControllable<int>, public SIHoverable
{
public:
  // A label of w x h with an off-screen buffer of the same size. With zone
  // set the whole control reacts to presses; without, nothing does until
  // SetHandleZone. With labelBackground the background is drawn as a label.
  SControllable(SGlobals* globals, SControl* parent, unsigned id, const char* title, int style,
                int x, int y, int width, int height, bool labelBackground, bool zone,
                unsigned long nativeParent);
  // Frees the images, the buffers and their devices.
  ~SControllable() override;

  void SetType(int type) override;
  // Takes both images (deleting the former ones); with both loaded the
  // control draws them and the handle takes the handle image's size;
  // otherwise it deletes them.
  void SetBitmaps(context::SDrawBitmap* back, context::SDrawBitmap* handle) override;
  void MouseStateChanged(bool* flags, int code) override;
  // Back to the default value (both bases name this operation).
  void Reset() override;

  // Appended operations; the setters only store.
  virtual void SetControlColours(int a, int b, int c, int d);
  virtual void SetValueColour(int colour);
  virtual int GetValueColour();
  virtual void SetValueFont(context::SDrawFont* font);
  // hoverColourA = a (not hovered), hoverColourB = b (hovered).
  void SetHoverColours(int a, int b) override;
  virtual void SetHandleZone(const Rect& zone);
  // The handle colour (fourth control colour) = x, the third = y.
  virtual void SetHandleColours(int x, int y);
  virtual void SetValueZone(const Rect& zone);
  virtual void SetValueOffset(const Point& offset);
  // Rebuilds the off-screen buffer at bufferSize (and, with images, a
  // buffer of the handle's size).
  virtual void SetDoubleBuffer();
  // Where the handle sits along the handle zone for the current value:
  // pixels from the zone's top, the maximum at the top.
  virtual int CalcHandleOffset();
  // One step of amount up or down, inside the range: redraws and sends the
  // value event when the value changed. With wrapsAround a step beyond one
  // end of the range lands on the other end.
  virtual void ValueChange(bool up, int amount);
  // Sends event 5 with the value.
  virtual void SendControlEvent();

  context::SDrawBitmap* backBitmap = nullptr;         // owned
  context::SDrawBitmap* handleBitmap = nullptr;       // owned
  context::SDrawBitmap* bufferBitmap = nullptr;       // owned
  context::SDrawMemoryDevice* backDevice = nullptr;   // owned
  context::SDrawMemoryDevice* handleDevice = nullptr; // owned
  context::SDrawMemoryDevice* bufferDevice = nullptr; // owned
  context::SDrawFont* valueFont = nullptr;            // not owned; without it no value is drawn
  int valueColour = 0;
  int controlColours[4] = {};
  int32_t type = 0;
  SSize bufferSize;
  Rect handleRect;
  Rect handleZone;
  Rect valueZone;
  Point dragOrigin;
  Point valueOffset;
  // A value that cycles (a choice of a few kinds) steps from the maximum to
  // the minimum and back instead of stopping at the ends.
  bool wrapsAround = false;
  // The handle's buffer in image mode (SetDoubleBuffer); owned.
  context::SDrawBitmap* handleBufferBitmap = nullptr;
  context::SDrawMemoryDevice* handleBufferDevice = nullptr;

protected:
  // The screen position of the pointer, asked of the server.
  bool PointerOnScreen(Point& screen) const;

private:
  void FreeImages();
  void FreeHandleBuffer();
};

} // namespace vexo::gui
