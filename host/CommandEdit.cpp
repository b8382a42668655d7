// quillet-host edit: a host window on the X display with the plug-in's
// editor inside, driven by an event loop like a real host's. The host asks
// for the editor rectangle, opens the editor in its window, answers
// sizeWindow by resizing the window, calls the editor's idle opcode and
// takes X events the way one of the host models of host/HostStyle.h does
// (--host-style; by default it hands its display and calls the procedure a
// window publishes in "_XEventProc"). It runs the audio loop at the same
// time.
//
//   --host-style NAME  the host model
//   --no-display       the same as --host-style no-display-eventproc
//   --no-eventproc     the same as --host-style selective (only the host
//                      window's own events are taken from the queue)
//   --set INDEX=VALUE[@SECONDS]
//                      sets a parameter (internal ones included) before the
//                      editor opens, or at the time given
//   --midi-in "MS BYTES..."
//                      feeds MIDI to the plug-in at MS milliseconds, while the
//                      editor is open (what a synth sends when learning)
//   --click X,Y@SECONDS
//                      a left click at a point of the host window (XTest),
//                      as a user's
//   --save-bank FILE   writes the bank as an .fxb file after the editor closed
#include "host/CommandLine.h"
#include "host/HostStyle.h"
#include "host/HostWindow.h"
#include "files/PresetFile.h"
#include "midi/MidiBytes.h"

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

struct Screenshot
{
  std::string path;
  double seconds = 0;
  bool done = false;
};

// A parameter to set, before the editor opens (seconds < 0) or at a time.
struct ParameterSet
{
  long index = 0;
  double value = 0;
  double seconds = -1;
  bool done = false;
};

struct MidiIn
{
  double seconds = 0;
  std::vector<uint8_t> bytes;
  bool done = false;
};

// A left click at a point of the host window: the pointer moves there, then
// the button goes down and up, a few loop passes apart as a hand does it.
struct Click
{
  int x = 0;
  int y = 0;
  double seconds = 0;
  int phase = 0; // 0 waiting, 1 moved, 2 pressed, 3 done
  double next = 0;
};

struct EditOptions
{
  HostStyle style = HostStyle::EventProc;
  std::string bankFile;
  std::string saveBank;
  std::vector<std::pair<long, double>> selects; // program, seconds
  double seconds = -1;                          // run until the window is closed
  std::vector<Screenshot> screenshots;
  std::vector<ParameterSet> sets;
  std::vector<MidiIn> midi;
  std::vector<Click> clicks;
};

// "INDEX=VALUE" or "INDEX=VALUE@SECONDS".
bool ParseSet(const std::string& text, ParameterSet& set)
{
  const size_t equals = text.find('=');
  if (equals == std::string::npos || !ParseInt(text.substr(0, equals), set.index))
    return false;
  std::string value = text.substr(equals + 1);
  const size_t at = value.find('@');
  if (at != std::string::npos) {
    if (!ParseDouble(value.substr(at + 1), set.seconds) || set.seconds < 0)
      return false;
    value = value.substr(0, at);
  }
  return ParseDouble(value, set.value);
}

// "X,Y@SECONDS".
bool ParseClick(const std::string& text, Click& click)
{
  const size_t comma = text.find(',');
  const size_t at = text.find('@');
  long x = 0;
  long y = 0;
  if (comma == std::string::npos || at == std::string::npos || at < comma ||
      !ParseInt(text.substr(0, comma), x) || !ParseInt(text.substr(comma + 1, at - comma - 1), y) ||
      !ParseDouble(text.substr(at + 1), click.seconds) || click.seconds < 0 || x < 0 || y < 0 ||
      x > 32767 || y > 32767)
    return false;
  click.x = static_cast<int>(x);
  click.y = static_cast<int>(y);
  return true;
}

bool ParseEditOptions(const std::vector<std::string>& args, EditOptions& options)
{
  Arguments words(args);
  for (std::string arg; words.Next(arg);) {
    auto value = [&](std::string& out) { return words.Value(out); };
    std::string text;
    if (arg == "--host-style") {
      if (!value(text))
        return false;
      if (!ParseHostStyle(text, options.style)) {
        Fail("--host-style wants " + HostStyleNames() + ", not \"" + text + "\"");
        return false;
      }
    } else if (arg == "--no-display") {
      options.style = HostStyle::NoDisplayEventProc;
    } else if (arg == "--no-eventproc") {
      options.style = HostStyle::Selective;
    } else if (arg == "--bank") {
      if (!value(options.bankFile))
        return false;
    } else if (arg == "--select") {
      long program = 0;
      double seconds = 0;
      if (!value(text))
        return false;
      if (!ParseAt(text, program, seconds)) {
        Fail("--select wants PROGRAM@SECONDS, not \"" + text + "\"");
        return false;
      }
      options.selects.emplace_back(program, seconds);
    } else if (arg == "--seconds") {
      if (!value(text))
        return false;
      if (!ParseDouble(text, options.seconds) || options.seconds < 0) {
        Fail("--seconds wants a positive number, not \"" + text + "\"");
        return false;
      }
    } else if (arg == "--screenshot") {
      if (!value(text))
        return false;
      const size_t at = text.rfind('@');
      Screenshot shot;
      if (at == std::string::npos || at == 0 || !ParseDouble(text.substr(at + 1), shot.seconds) ||
          shot.seconds < 0) {
        Fail("--screenshot wants FILE.png@SECONDS, not \"" + text + "\"");
        return false;
      }
      shot.path = text.substr(0, at);
      options.screenshots.push_back(shot);
    } else if (arg == "--set") {
      ParameterSet set;
      if (!value(text))
        return false;
      if (!ParseSet(text, set)) {
        Fail("--set wants INDEX=VALUE or INDEX=VALUE@SECONDS, not \"" + text + "\"");
        return false;
      }
      options.sets.push_back(set);
    } else if (arg == "--midi-in") {
      MidiIn midi;
      if (!value(text))
        return false;
      if (!ParseMidiIn(text, midi.seconds, midi.bytes)) {
        Fail("--midi-in wants \"MS BYTES...\" with one to three hex bytes or a SysEx message (F0 "
             "... F7), not \"" +
             text + "\"");
        return false;
      }
      options.midi.push_back(midi);
    } else if (arg == "--click") {
      Click click;
      if (!value(text))
        return false;
      if (!ParseClick(text, click)) {
        Fail("--click wants X,Y@SECONDS, not \"" + text + "\"");
        return false;
      }
      options.clicks.push_back(click);
    } else if (arg == "--save-bank") {
      if (!value(options.saveBank))
        return false;
    } else {
      Fail("edit does not know the option " + arg);
      return false;
    }
  }
  return true;
}

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

int Edit(int argc, char** argv)
{
  CommonOptions common;
  std::vector<std::string> rest;
  if (!ParseCommon(argc, argv, common, rest))
    return 2;
  EditOptions options;
  if (!ParseEditOptions(rest, options))
    return 2;

  XInitThreads();
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    return Fail("cannot open the X display (is DISPLAY set?)");
  // Errors about windows of others (the plug-in's) must not end the host.
  XSetErrorHandler(IgnoreErrors);

  // sizeWindow may arrive on any thread of the plug-in; the loop applies it.
  std::atomic<int> wantedWidth{0};
  std::atomic<int> wantedHeight{0};
  HostConfig& config = common.config;
  PluginLibrary library(common.path);
  if (!library.Loaded()) {
    XCloseDisplay(display);
    return Fail("cannot load " + common.path + ": " + library.Error());
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
  if (!options.bankFile.empty() && !RestorePresetFile(plugin, options.bankFile, true)) {
    XCloseDisplay(display);
    return 2;
  }
  for (ParameterSet& set : options.sets) {
    if (set.seconds < 0) {
      plugin.SetParameter(static_cast<int32_t>(set.index), static_cast<float>(set.value));
      set.done = true;
    }
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
  std::vector<bool> selected(options.selects.size(), false);
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
    for (size_t i = 0; i < options.selects.size(); ++i) {
      if (!selected[i] && now >= options.selects[i].second) {
        plugin.SelectProgram(static_cast<int32_t>(options.selects[i].first));
        selected[i] = true;
      }
    }
    for (ParameterSet& set : options.sets) {
      if (!set.done && now >= set.seconds) {
        plugin.SetParameter(static_cast<int32_t>(set.index), static_cast<float>(set.value));
        set.done = true;
      }
    }
    for (MidiIn& midi : options.midi) {
      if (!midi.done && now >= midi.seconds) {
        if (midi.bytes[0] == midi::kSysExStart)
          plugin.QueueSysEx(midi.bytes);
        else
          plugin.QueueMidi(midi.bytes[0], midi.bytes.size() > 1 ? midi.bytes[1] : 0,
                           midi.bytes.size() > 2 ? midi.bytes[2] : 0);
        midi.done = true;
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
  const bool saved = options.saveBank.empty() || SaveBank(plugin, options.saveBank);
  plugin.Close();
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return saved ? 0 : 2;
}

} // namespace qhost::cli
