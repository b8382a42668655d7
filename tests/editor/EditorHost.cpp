#include "tests/editor/EditorHost.h"

#include "host/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

namespace edittest {

namespace {

Bool HostWindowEvent(::Display*, XEvent* event, XPointer window)
{
  return event->xany.window == reinterpret_cast<::Window>(window) ? True : False;
}

int IgnoreErrors(::Display*, XErrorEvent*) { return 0; }

} // namespace

EditorHost::EditorHost(Options options_) : options(std::move(options_))
{
  display = XOpenDisplay(nullptr);
  if (!display)
    return;
  XSetErrorHandler(IgnoreErrors);
  options.config.onSizeWindow = [this](int32_t width, int32_t height) {
    wantedWidth = width;
    wantedHeight = height;
    ++sizeCalls;
  };
  library = std::make_unique<qhost::PluginLibrary>(QUILLET_PLUGIN_PATH);
  if (!library->Loaded())
    return;
  plugin = std::make_unique<qhost::PluginInstance>(*library, options.config);
  if (!plugin->Loaded())
    return;
  plugin->StartUp();
  window = NewWindow(120, 238);
}

EditorHost::~EditorHost()
{
  if (plugin && plugin->Loaded()) {
    plugin->Dispatch(effEditClose);
    plugin->Close();
  }
  plugin.reset();
  library.reset(); // unloads: the library's statics go
  if (display)
    XCloseDisplay(display);
}

unsigned long EditorHost::NewWindow(int width, int height)
{
  const int screen = DefaultScreen(display);
  // Away from the screen's top, so that upward drags have room.
  const ::Window created = XCreateSimpleWindow(display, RootWindow(display, screen), 100, 300,
                                               static_cast<unsigned>(width),
                                               static_cast<unsigned>(height), 0, 0, 0);
  XSelectInput(display, created, StructureNotifyMask | ExposureMask);
  XMapWindow(display, created);
  XSync(display, False);
  return created;
}

void EditorHost::Open() { OpenIn(window); }

void EditorHost::OpenIn(unsigned long parent)
{
  ERect* rect = nullptr;
  plugin->Dispatch(effEditGetRect, 0, 0, &rect);
  plugin->Dispatch(effEditOpen, 0,
                   options.handDisplay ? reinterpret_cast<VstIntPtr>(display) : 0,
                   reinterpret_cast<void*>(parent));
}

void EditorHost::Close() { plugin->Dispatch(effEditClose); }

void EditorHost::Pump(int ms)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  auto nextIdle = std::chrono::steady_clock::now();
  const auto start = std::chrono::steady_clock::now();
  do {
    XEvent event;
    while (options.readEventProc ? (XPending(display) > 0 && (XNextEvent(display, &event), true))
                                 : XCheckIfEvent(display, &event, HostWindowEvent,
                                                 reinterpret_cast<XPointer>(window))) {
      if (event.xany.window == window)
        continue;
      if (qhost::EventProc procedure = qhost::ReadEventProc(display, event.xany.window))
        procedure(&event);
    }
    const int w = wantedWidth.exchange(0);
    const int h = wantedHeight.exchange(0);
    if (w > 0 && h > 0) {
      XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
      XSync(display, False);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextIdle) {
      plugin->Dispatch(effEditIdle);
      nextIdle = now + std::chrono::milliseconds(20);
    }
    if (audio) {
      const double total =
          elapsedMs + std::chrono::duration<double, std::milli>(now - start).count();
      while (static_cast<double>(blocks) * 512.0 / 44.1 <= total) {
        plugin->RunBlock(512);
        ++blocks;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  } while (std::chrono::steady_clock::now() < end);
  elapsedMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
}

bool EditorHost::PumpUntil(const std::function<bool()>& predicate, int ms)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    Pump(10);
    if (predicate())
      return true;
  }
  return predicate();
}

int EditorHost::Width(unsigned long w) const
{
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, w, &attributes) ? attributes.width : -1;
}

int EditorHost::Height(unsigned long w) const
{
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, w, &attributes) ? attributes.height : -1;
}

unsigned long EditorHost::Pixel(unsigned long w, int x, int y) const
{
  XImage* image = XGetImage(display, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image)
    return ~0ul;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return pixel & 0xFFFFFF;
}

unsigned long EditorHost::FirstChild(unsigned long w) const
{
  ::Window root = 0;
  ::Window parent = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  unsigned long first = 0;
  if (XQueryTree(display, w, &root, &parent, &children, &count) && count > 0)
    first = children[0];
  if (children)
    XFree(children);
  return first;
}

unsigned long EditorHost::Parent(unsigned long w) const
{
  ::Window root = 0;
  ::Window parent = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, w, &root, &parent, &children, &count))
    return 0;
  if (children)
    XFree(children);
  return parent;
}

void EditorHost::MovePointer(int x, int y)
{
  ::Window child = 0;
  int rx = 0;
  int ry = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
  XSync(display, False);
}

void EditorHost::Press(int button)
{
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
  XSync(display, False);
}

void EditorHost::Release(int button)
{
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
  XSync(display, False);
}

void EditorHost::Click(int x, int y, int button)
{
  MovePointer(x, y);
  Pump(30);
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
  XSync(display, False);
  Pump(30);
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
  XSync(display, False);
  Pump(60);
}

void EditorHost::Drag(int x, int y, int dy, int button)
{
  MovePointer(x, y);
  Pump(30);
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
  XSync(display, False);
  Pump(30);
  const int steps = dy < 0 ? -dy : dy;
  for (int i = 1; i <= steps; ++i) {
    MovePointer(x, y + (dy < 0 ? -i : i));
    Pump(5);
  }
  XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
  XSync(display, False);
  Pump(60);
}

} // namespace edittest
