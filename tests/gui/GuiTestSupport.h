// Helpers for the toolkit's tests against a real X server (the private Xvfb
// of scripts/xvfb-run-private): a probe control that records what the event
// procedure calls on it, event pumping the way a host does it, and pixel
// reads.
#pragma once

#include <gtest/gtest.h>

#include "gui/SControl.h"
#include "gui/SGlobals.h"
#include "gui/SWindow.h"

#include <functional>
#include <string>
#include <vector>

struct _XDisplay;

namespace guitest {

// The display the toolkit uses (dps in the test programs).
_XDisplay* Display();

// Delivers every event that is queued after a round trip, calling the
// procedure published in each event window's "_XEventProc" property, as a
// host does. Events for windows without the property are dropped. Returns
// the number of events delivered through the property.
int DeliverPending(_XDisplay* display = nullptr);
// Keeps delivering until the predicate holds or ms pass.
bool DeliverUntil(const std::function<bool()>& predicate, int ms = 8000);

// The one-item value of a 32-bit property, or -1 when the window lacks it.
long Property32(unsigned long window, const char* name);
// The pixel at (x, y) of a drawable, read with XGetImage.
unsigned long Pixel(unsigned long drawable, int x, int y);
// A plain window owned by the test (a host's window), mapped.
unsigned long HostWindow(int width, int height);
void DestroyHostWindow(unsigned long window);

// What the event procedure called on a control.
struct Call
{
  std::string what;
  int code = 0;
  int a = 0;
  int b = 0;

  bool operator==(const Call& other) const
  {
    return what == other.what && code == other.code && a == other.a && b == other.b;
  }
};

class Probe : public vexo::gui::SWindow
{
public:
  Probe(SGlobals* globals, vexo::gui::SControl* parent, unsigned id, int style, int x, int y,
        int width, int height, unsigned long nativeParent = 0)
      : SWindow(globals, parent, id, "probe", style, x, y, width, height, nativeParent)
  {
  }

  void MouseStateChanged(bool* flags, int code) override;
  void KeyStateChanged(int key, bool pressed, int modifiers, int keyClass) override;
  void Draw(const vexo::gui::Rect& rect) override;
  void DrawArea(unsigned area) override;
  void DrawRegion(vexo::gui::SDrawRegion* region) override;
  void DrawOutlines(const vexo::gui::Rect& rect) override;
  void ParseEvent(vexo::gui::SEvent* event) override;
  void CloseDialog() override;
  void Stop() override;
  // Keeps flag 16 (over) in step with the position, as the widgets do.
  void MousePosition(int x, int y) override;

  std::vector<Call> calls;
  std::vector<int> mouseCodes;
  std::vector<vexo::gui::SEvent> events;
  int draws = 0;
  vexo::gui::SDrawRegion* lastRegion = nullptr;
  bool trackOver = false;
};

// Installs a current cursor that counts Set and Free.
class CountingCursorScope
{
public:
  explicit CountingCursorScope(SGlobals& globals);
  ~CountingCursorScope();
  int sets = 0;
  int frees = 0;

private:
  SGlobals& globals;
  void* cursor;
};

} // namespace guitest
