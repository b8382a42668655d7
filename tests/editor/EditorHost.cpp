#include "tests/editor/EditorHost.h"

#include "host/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace edittest {

namespace {

int IgnoreErrors(::Display*, XErrorEvent*)
{
  return 0;
}

} // namespace

std::string StyleTestName(qhost::HostStyle style)
{
  std::string name;
  bool upper = true;
  for (const char* c = qhost::Traits(style).name; *c; ++c) {
    if (*c == '-') {
      upper = true;
      continue;
    }
    name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
    upper = false;
  }
  return name;
}

EditorHost::EditorHost(Options options_)
    : options(std::move(options_)), hostThread(std::this_thread::get_id())
{
  display = XOpenDisplay(nullptr);
  if (!display)
    return;
  XSetErrorHandler(IgnoreErrors);
  events = std::make_unique<qhost::HostEvents>(display, options.style);
  options.config.onSizeWindow = [this](int32_t width, int32_t height) {
    wantedWidth = width;
    wantedHeight = height;
    ++sizeCalls;
    if (std::this_thread::get_id() != hostThread)
      ++sizeCallsOffThread;
  };
  {
    // The library opens its own connection when it is loaded.
    const char* hostDisplay = std::getenv("DISPLAY");
    const std::string saved = hostDisplay ? hostDisplay : "";
    if (!options.libraryDisplay.empty())
      setenv("DISPLAY", options.libraryDisplay.c_str(), 1);
    library = std::make_unique<qhost::PluginLibrary>(QUILLET_PLUGIN_PATH);
    if (!options.libraryDisplay.empty())
      setenv("DISPLAY", saved.c_str(), 1);
  }
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
  events.reset();
  if (display)
    XCloseDisplay(display);
}

unsigned long EditorHost::NewWindow(int width, int height)
{
  const int screen = DefaultScreen(display);
  // Away from the screen's top, so that upward drags have room.
  const ::Window created =
      XCreateSimpleWindow(display, RootWindow(display, screen), 100, 300,
                          static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
  events->AddOwnWindow(created);
  XMapWindow(display, created);
  XSync(display, False);
  return created;
}

void EditorHost::Open()
{
  OpenIn(window);
}

void EditorHost::OpenIn(unsigned long parent)
{
  OpenHanding(parent, qhost::Traits(options.style).handsDisplay ? display : nullptr);
}

VstIntPtr EditorHost::OpenHanding(unsigned long parent, _XDisplay* handed)
{
  ERect* rect = nullptr;
  plugin->Dispatch(effEditGetRect, 0, 0, &rect);
  return plugin->Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(handed),
                          reinterpret_cast<void*>(parent));
}

void EditorHost::Close()
{
  plugin->Dispatch(effEditClose);
}

void EditorHost::CloseLikeHost()
{
  if (qhost::Traits(options.style).hidesOnClose)
    HideWindow();
  else
    Close();
}

void EditorHost::ReopenLikeHost()
{
  if (qhost::Traits(options.style).hidesOnClose)
    ShowWindow();
  else
    Open();
}

void EditorHost::HideWindow()
{
  XUnmapWindow(display, window);
  XSync(display, False);
}

void EditorHost::ShowWindow()
{
  XMapRaised(display, window);
  XSync(display, False);
}

namespace {

// A white override-redirect window over the given one, mapped.
::Window MapCover(::Display* display, ::Window over, int width, int height)
{
  int x = 0;
  int y = 0;
  ::Window child = 0;
  XTranslateCoordinates(display, over, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = WhitePixel(display, screen);
  const ::Window cover =
      XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                    static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWOverrideRedirect | CWBackPixel, &attributes);
  XMapRaised(display, cover);
  XSync(display, False);
  return cover;
}

} // namespace

void EditorHost::Cover()
{
  const ::Window cover = MapCover(display, window, Width(window), Height(window));
  Pump(30);
  XDestroyWindow(display, cover);
  XSync(display, False);
}

void EditorHost::HideCoverAndShow()
{
  const int width = Width(window);
  const int height = Height(window);
  HideWindow();
  Pump(30);
  const ::Window cover = MapCover(display, window, width, height);
  Pump(30);
  ShowWindow();
  XDestroyWindow(display, cover);
  XSync(display, False);
}

int EditorHost::CallbacksOffThread(int32_t opcode)
{
  int count = 0;
  for (const qhost::CallbackRecord& record : plugin->Callbacks())
    count += record.opcode == opcode && record.thread != hostThread ? 1 : 0;
  return count;
}

void EditorHost::Pump(int ms)
{
  const qhost::HostStyleTraits& traits = qhost::Traits(options.style);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  auto nextIdle = std::chrono::steady_clock::now();
  const auto start = std::chrono::steady_clock::now();
  do {
    // The host's own windows need nothing in these tests.
    events->Drain([](XEvent&) {});
    const int w = wantedWidth.exchange(0);
    const int h = wantedHeight.exchange(0);
    if (w > 0 && h > 0) {
      XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
      XSync(display, False);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextIdle) {
      plugin->Dispatch(effEditIdle);
      nextIdle = now + std::chrono::milliseconds(traits.idleMs);
    }
    if (audio) {
      const double total =
          elapsedMs + std::chrono::duration<double, std::milli>(now - start).count();
      while (static_cast<double>(blocks) * 512.0 / 44.1 <= total) {
        plugin->RunBlock(512);
        ++blocks;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(traits.drainMs));
  } while (std::chrono::steady_clock::now() < end);
  elapsedMs +=
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
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
