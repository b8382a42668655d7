// quillet-host edit: a host window on the X display with the plug-in's
// editor inside, driven by an event loop like a real host's. The host asks
// for the editor rectangle, opens the editor in its window, answers
// sizeWindow by resizing the window, calls the editor's idle opcode and
// takes X events the way one of the host models of host/HostStyle.h does
// (--host-style; by default it hands its display and calls the procedure a
// window publishes in "_XEventProc"). It runs the audio loop at the same
// time.
//
// The options (host/HostOptions.cpp) compose the state restored before the
// editor opens, as `run` does; --set ...@SECONDS, --select, --midi-in,
// --click and --screenshot act at their times while it is open.
#include "host/CommandLine.h"
#include "host/ComposedBank.h"
#include "host/HostOptions.h"
#include "host/HostStyle.h"
#include "host/HostWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

namespace qhost::cli {

namespace {

int IgnoreErrors(Display*, XErrorEvent*)
{
  return 0;
}

// Moves a click on by one phase when its time has come.
void StepClick(Display* display, Window window, Click& click, double now)
{
  constexpr double kHandDelay = 0.03;
  if (click.phase >= 3 || now < click.seconds || now < click.next)
    return;
  if (click.phase == 0) {
    Window child = 0;
    int rx = 0;
    int ry = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), click.x, click.y, &rx, &ry,
                          &child);
    XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
  } else {
    XTestFakeButtonEvent(display, 1, click.phase == 1 ? True : False, CurrentTime);
  }
  XSync(display, False);
  ++click.phase;
  click.next = now + kHandDelay;
}

} // namespace

int Edit(const HostOptions& givenOptions)
{
  HostOptions options = givenOptions;
  XInitThreads();
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    return Fail("cannot open the X display (is DISPLAY set?)");
  // Errors about windows of others (the plug-in's) must not end the host.
  XSetErrorHandler(IgnoreErrors);

  // sizeWindow may arrive on any thread of the plug-in; the loop applies it.
  std::atomic<int> wantedWidth{0};
  std::atomic<int> wantedHeight{0};
  HostConfig config = options.config;
  config.answersTime = options.timeInfo;
  PluginLibrary library(options.positional[0]);
  if (!LoadLibrary(library)) {
    XCloseDisplay(display);
    return 2;
  }
  config.onSizeWindow = [&](int32_t width, int32_t height) {
    wantedWidth = width;
    wantedHeight = height;
  };
  PluginInstance plugin(library, config);
  if (!plugin.Loaded()) {
    XCloseDisplay(display);
    std::fprintf(stderr, "quillet-host: the plug-in refused to load\n");
    return 3;
  }
  const int32_t frames = 512;
  const double rate = 44100.0;
  plugin.StartUp(static_cast<float>(rate), frames);
  if (!RestoreComposed(plugin, options)) {
    XCloseDisplay(display);
    return 2;
  }

  ERect* rect = nullptr;
  plugin.Dispatch(effEditGetRect, 0, 0, &rect);
  int width = rect ? rect->right - rect->left : 120;
  int height = rect ? rect->bottom - rect->top : 238;
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(
      display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(std::max(width, 1)),
      static_cast<unsigned>(std::max(height, 1)), 0, BlackPixel(display, screen),
      BlackPixel(display, screen));
  XStoreName(display, window, "quillet-host");
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  const HostStyleTraits& traits = Traits(options.style);
  HostEvents events(display, options.style);
  events.AddOwnWindow(window);
  XMapWindow(display, window);
  XSync(display, False);

  const VstIntPtr opened = plugin.Dispatch(
      effEditOpen, 0, traits.handsDisplay ? reinterpret_cast<VstIntPtr>(display) : 0,
      reinterpret_cast<void*>(window));
  std::printf("editor %s in window 0x%lx (host style %s: %s)\n", opened ? "open" : "refused",
              window, traits.name, traits.handsDisplay ? "display handed" : "no display handed");
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  double nextIdle = 0;
  int64_t blocks = 0;
  bool running = true;
  while (running) {
    const double now = elapsed();
    if (options.seconds >= 0 && now >= options.seconds)
      break;

    // X events as the host model takes them; the window manager's close
    // request ends the run (an ardour-style host only hides its window).
    events.Drain([&](XEvent& event) {
      if (event.type == ClientMessage &&
          static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
        if (traits.hidesOnClose) {
          XUnmapWindow(display, window);
          XFlush(display);
        }
        running = false;
      }
    });

    const int w = wantedWidth.exchange(0);
    const int h = wantedHeight.exchange(0);
    if (w > 0 && h > 0 && (w != width || h != height)) {
      width = w;
      height = h;
      XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
      XFlush(display);
    }

    if (now >= nextIdle) {
      plugin.Dispatch(effEditIdle);
      nextIdle = now + traits.idleMs / 1000.0;
    }
    for (Action& action : options.actions) {
      if (action.done || now < action.seconds)
        continue;
      if (action.kind == ActionKind::Midi)
        QueueMidi(plugin, action.bytes, 0);
      else
        HostCall(plugin, action);
      action.done = true;
    }
    for (ParameterSet& set : options.live) {
      if (!set.done && set.seconds >= 0 && now >= set.seconds) {
        plugin.SetParameter(set.index, set.value);
        set.done = true;
      }
    }
    for (Click& click : options.clicks)
      StepClick(display, window, click, now);
    for (Screenshot& shot : options.screenshots) {
      if (!shot.done && now >= shot.seconds) {
        XSync(display, False);
        if (!SaveWindowPng(display, window, shot.path))
          std::fprintf(stderr, "quillet-host: could not write %s\n", shot.path.c_str());
        shot.done = true;
      }
    }
    // Audio in real time.
    while (static_cast<double>(blocks) * frames / rate <= now) {
      plugin.RunBlock(frames);
      ++blocks;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(traits.drainMs));
  }

  plugin.Dispatch(effEditClose);
  plugin.Suspend();
  const bool exported = ExportSyx(plugin, options.sysex);
  const bool savedBank = options.saveBank.empty() || SaveBank(plugin, options.saveBank);
  const bool savedProgram = options.saveProgram.empty() || SaveProgram(plugin, options.saveProgram);
  plugin.Close();
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return exported && savedBank && savedProgram ? 0 : 2;
}

} // namespace qhost::cli
