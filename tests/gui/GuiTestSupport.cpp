#include "tests/gui/GuiTestSupport.h"

#include "gui/SCursor.h"
#include "gui/XDisplay.h"
#include "gui/XErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace guitest {

using EventProcedure = int (*)(XEvent*);

::Display* Display()
{
  return ActiveDisplay();
}

int DeliverPending(::Display* display)
{
  if (!display)
    display = Display();
  XSync(display, False);
  int delivered = 0;
  while (XPending(display)) {
    XEvent event;
    XNextEvent(display, &event);
    const long address = Property32(event.xany.window, "_XEventProc");
    if (address <= 0)
      continue;
    reinterpret_cast<EventProcedure>(address)(&event);
    ++delivered;
  }
  return delivered;
}

bool DeliverUntil(const std::function<bool()>& predicate, int ms)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    DeliverPending();
    if (predicate())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return predicate();
}

long Property32(unsigned long window, const char* name)
{
  ::Display* display = Display();
  if (!window)
    return -1;
  const Atom atom = XInternAtom(display, name, True);
  if (!atom)
    return -1;
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  long value = -1;
  // Events of windows destroyed since may still be queued.
  vexo::gui::XErrorTrap trap(display);
  if (XGetWindowProperty(display, window, atom, 0, 1, False, AnyPropertyType, &type, &format,
                         &items, &after, &data) == Success &&
      items == 1 && format == 32 && data)
    std::memcpy(&value, data, sizeof value);
  if (data)
    XFree(data);
  return value;
}

unsigned long Pixel(unsigned long drawable, int x, int y)
{
  ::Display* display = Display();
  XSync(display, False);
  XImage* image = XGetImage(display, drawable, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image)
    return ~0ul;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return pixel;
}

unsigned long HostWindow(int width, int height)
{
  ::Display* display = Display();
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  const Window window =
      XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                    static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWOverrideRedirect, &attributes);
  XMapWindow(display, window);
  XSync(display, False);
  return window;
}

void DestroyHostWindow(unsigned long window)
{
  XDestroyWindow(Display(), window);
  XSync(Display(), False);
}

void Probe::MouseStateChanged(bool* flags, int code)
{
  SWindow::MouseStateChanged(flags, code);
  mouseCodes.push_back(code);
}

void Probe::KeyStateChanged(int key, bool pressed, int modifiers, int keyClass)
{
  calls.push_back(Call{"key", key, (pressed ? 1 : 0) | (modifiers << 1), keyClass});
}

void Probe::Draw(const vexo::gui::Rect& rect)
{
  ++draws;
  SWindow::Draw(rect);
}

void Probe::DrawArea(unsigned area)
{
  calls.push_back(Call{"area", static_cast<int>(area)});
}

void Probe::DrawRegion(vexo::gui::SDrawRegion* region)
{
  lastRegion = region;
  calls.push_back(Call{"region"});
}

void Probe::DrawOutlines(const vexo::gui::Rect& rect)
{
  calls.push_back(Call{"outlines", rect.left, rect.right, rect.bottom});
  SWindow::DrawOutlines(rect);
}

void Probe::ParseEvent(vexo::gui::SEvent* event)
{
  events.push_back(*event);
}

void Probe::CloseDialog()
{
  calls.push_back(Call{"close"});
  Stop();
}

void Probe::Stop()
{
  calls.push_back(Call{"stop"});
  SWindow::Stop();
}

void Probe::MousePosition(int x, int y)
{
  SWindow::MousePosition(x, y);
  if (trackOver && MouseState()) {
    const vexo::gui::Rect client = ClientRect();
    MouseState()[16] = x >= 0 && x <= client.right && y >= 0 && y <= client.bottom;
  }
}

namespace {

class CountingCursor : public vexo::gui::SCursor
{
public:
  explicit CountingCursor(CountingCursorScope& scope_) : scope(scope_) {}
  void Set() override { ++scope.sets; }
  void Free() override { ++scope.frees; }
  CountingCursorScope& scope;
};

} // namespace

CountingCursorScope::CountingCursorScope(SGlobals& globals_)
    : globals(globals_), cursor(new CountingCursor(*this))
{
  globals.currentCursor = static_cast<CountingCursor*>(cursor);
}

CountingCursorScope::~CountingCursorScope()
{
  globals.currentCursor = nullptr;
  delete static_cast<CountingCursor*>(cursor);
}

} // namespace guitest
