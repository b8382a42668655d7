// vexo::gui::SCursor and SCursorDefault: the mouse pointer shown over a
// window: invisible, a hand, a watch, the left arrow, or the toolkit's own
// default arrow built from embedded bitmaps. The editor publishes one as the
// current cursor of its SGlobals; the event procedure sets and frees it on
// pointer events.
//
// Threads: made and deleted on the editor's thread (open/close); Set and
// Free run on the event-dispatching thread. Without a display connection or
// a window every operation does nothing.
#pragma once

#include <cstdint>

struct _XDisplay;

namespace vexo::gui {

// Cursor types.
enum SCursorType : unsigned
{
  kCursorInvisible = 0,
  kCursorHand = 2,
  kCursorWatch = 3,
  kCursorArrow = 1, // any other type: the left arrow
};

class SCursor
{
public:
  // All members 0.
  SCursor();
  // 0: invisible; 2: hand (font cursor 60); 3: watch (150); any other: left
  // arrow (68). A cursor made is defined on the window.
  SCursor(unsigned type, unsigned long window);
  // Undefines and frees the cursor.
  virtual ~SCursor();
  SCursor(const SCursor&) = delete;
  SCursor& operator=(const SCursor&) = delete;

  // Defines the cursor on the window.
  virtual void Set();
  // Undefines the window's cursor and clears the invisible flag.
  virtual void Free();

  // The toolkit's default arrow (black outline on orange, hot spot 0, 0)
  // for the window set beforehand. Replaces a cursor made earlier.
  void CreateDefault();
  // The same from any pair of bitmaps (X bitmap layout).
  void Create(const unsigned char* image, const unsigned char* mask, int width, int height,
              int hotX, int hotY);

  int32_t type = 0;
  unsigned long window = 0;
  int32_t invisible = 0;
  unsigned long cursor = 0;

protected:
  _XDisplay* display = nullptr;
};

class SCursorDefault : public SCursor
{
public:
  SCursorDefault() = default;
  SCursorDefault(unsigned type, unsigned long window) : SCursor(type, window) {}

  void Set() override;
  void Free() override;

  bool set = false;
};

} // namespace vexo::gui
