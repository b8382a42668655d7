// quillet-stress: the plug-in driven from every thread a host has at once,
// with its editor open, for a given time. Built in every configuration; in
// the tsan one it is the race detector's workload.
//
//   audio       processEvents with notes, controllers and Program Changes
//               (preset switching on at times), then processReplacing
//   automation  setParameter and getParameter over indices 0..141
//   dispatcher  setProgram, getChunk and setChunk of banks and programs,
//               suspend and resume, program names
//   gui         the host's event loop: every event of a window carrying
//               "_XEventProc" goes there, effEditIdle every 20 ms
//
// The editor is open on a private Xvfb the whole time, on the host's own
// connection handed with effEditOpen (--editor host), on the plug-in's own
// connection (--editor own, nothing handed), or not at all (--editor none).
//
// The run fails (exit status 1) when the plug-in hands the host a malformed
// event block, answers a chunk call wrongly, or when a thread makes no
// progress for 15 seconds (a hang: the thread and what it was doing are
// named). Under ThreadSanitizer every report is printed and the sanitizer's
// exit status (66) fails the run.
//
//   quillet-stress [--seconds N] [--editor host|own|none] [--newer-banks]
//
// --newer-banks also loads banks from a newer version now and then, which
// show the plug-in's message box.
#include "host/HostWindow.h"
#include "host/VstHost.h"
#include "tests/testsupport/XvfbServer.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
  double seconds = 3;
  std::string editor = "host";
  bool newerBanks = false;
};

bool Parse(int argc, char** argv, Options& options)
{
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      options.seconds = std::atof(argv[++i]);
    } else if (arg == "--editor" && i + 1 < argc) {
      options.editor = argv[++i];
      if (options.editor != "host" && options.editor != "own" && options.editor != "none")
        return false;
    } else if (arg == "--newer-banks") {
      options.newerBanks = true;
    } else {
      return false;
    }
  }
  return options.seconds > 0;
}

std::atomic<bool> failed{false};

void Fail(const char* what)
{
  if (!failed.exchange(true))
    std::fprintf(stderr, "stress: %s\n", what);
}

// What one thread is doing, for the hang report.
struct Progress
{
  const char* name;
  std::atomic<uint64_t> steps{0};
  std::atomic<const char*> doing{"starting"};
  std::atomic<bool> finished{false};

  void Step(const char* what)
  {
    doing.store(what, std::memory_order_relaxed);
    steps.fetch_add(1, std::memory_order_relaxed);
  }
};

// The host copies the chunk getChunk points at. That memory is the plug-in's
// live bank, which its other threads keep writing: what the host reads there
// is the host's business, so this copy is left out of the race detector's
// view (a plain byte loop: an intercepted memcpy would be seen).
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLET_UNWATCHED __attribute__((no_sanitize("thread")))
#endif
#endif
#if !defined(QUILLET_UNWATCHED) && defined(__SANITIZE_THREAD__)
#define QUILLET_UNWATCHED __attribute__((no_sanitize_thread))
#endif
#ifndef QUILLET_UNWATCHED
#define QUILLET_UNWATCHED
#endif

QUILLET_UNWATCHED void CopyLiveChunk(const void* from, size_t size, std::vector<uint8_t>& to)
{
  to.resize(size);
  const volatile uint8_t* source = static_cast<const volatile uint8_t*>(from);
  for (size_t i = 0; i < size; ++i)
    to[i] = source[i];
}

void CheckEvents(const VstEvents& events)
{
  if (events.numEvents < 0 || events.numEvents > 256) {
    Fail("an event block holds more than 256 events");
    return;
  }
  VstEvent* const* pointers = events.events; // longer than its declared two
  for (int32_t i = 0; i < events.numEvents; ++i) {
    const auto* midi = reinterpret_cast<const VstMidiEvent*>(pointers[i]);
    if (!midi || midi->type != kVstMidiType || midi->byteSize != 24)
      Fail("an event block holds something other than 24-byte MIDI events");
  }
}

void Audio(AEffect* effect, qhost::PluginInstance& plugin, Progress& progress,
           const std::atomic<bool>& done)
{
  std::mt19937 random(1);
  std::vector<VstMidiEvent> records(32);
  VstEventBlock<32> block{};
  float buffers[4][128] = {};
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
  for (uint64_t n = 0; !done; ++n) {
    const int count = static_cast<int>(random() % 32);
    for (int i = 0; i < count; ++i) {
      VstMidiEvent& event = records[static_cast<size_t>(i)];
      event = VstMidiEvent{};
      event.type = kVstMidiType;
      event.byteSize = 24;
      event.deltaFrames = static_cast<int32_t>(random() % 128);
      static const uint8_t statuses[] = {0x90, 0x90, 0x80, 0x80, 0xB0, 0xE0, 0xC0};
      event.midiData[0] = static_cast<uint8_t>(statuses[random() % 7] | (random() % 2));
      event.midiData[1] = static_cast<uint8_t>(random() % 128);
      event.midiData[2] = static_cast<uint8_t>(random() % 128);
      block.events[i] = reinterpret_cast<VstEvent*>(&event);
    }
    block.numEvents = count;
    progress.Step("processEvents");
    effect->dispatcher(effect, effProcessEvents, 0, 0, block.AsEvents(), 0.0f);
    progress.Step("processReplacing");
    effect->processReplacing(effect, inputs, outputs, 128);
    if (n % 64 == 0) {
      progress.Step("clearing the host's records");
      plugin.ClearReceived();
      plugin.ClearCallbacks();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(700));
  }
  progress.finished = true;
}

void Automation(AEffect* effect, Progress& progress, const std::atomic<bool>& done)
{
  std::mt19937 random(2);
  while (!done) {
    const int32_t index = static_cast<int32_t>(random() % 142);
    float value = static_cast<float>(random() % 1001) / 1000.0f;
    if (index == 4 || index == 6)
      value = static_cast<float>(random() % 3) / 999.0f; // countdowns of 0 to 2 s
    progress.Step("setParameter");
    effect->setParameter(effect, index, value);
    progress.Step("getParameter");
    effect->getParameter(effect, static_cast<int32_t>(random() % 142));
    if (random() % 8 == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  progress.finished = true;
}

void Dispatcher(qhost::PluginInstance& plugin, const Options& options, Progress& progress,
                const std::atomic<bool>& done)
{
  std::mt19937 random(3);
  std::vector<uint8_t> bank;
  std::vector<uint8_t> program;
  char name[256];
  for (uint64_t n = 0; !done; ++n) {
    switch (random() % 10) {
    case 0:
    case 1:
      progress.Step("effSetProgram");
      plugin.Dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random() % 128));
      break;
    case 2: {
      progress.Step("effGetChunk (bank)");
      void* data = nullptr;
      const VstIntPtr size = plugin.Dispatch(effGetChunk, 0, 0, &data);
      if (size != 35328 || !data) {
        Fail("getChunk of the bank does not give 35,328 bytes");
        break;
      }
      CopyLiveChunk(data, static_cast<size_t>(size), bank);
      break;
    }
    case 3: {
      progress.Step("effGetChunk (program)");
      void* data = nullptr;
      const VstIntPtr size = plugin.Dispatch(effGetChunk, 1, 0, &data);
      if (size != 276 || !data) {
        Fail("getChunk of a program does not give 276 bytes");
        break;
      }
      CopyLiveChunk(data, static_cast<size_t>(size), program);
      break;
    }
    case 4:
      if (!bank.empty()) {
        std::vector<uint8_t> load = bank;
        if (options.newerBanks && n % 50 == 0)
          load.resize(40000, 0);
        progress.Step("effSetChunk (bank)");
        if (plugin.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(load.size()), load.data()) != 1)
          Fail("setChunk refused the plug-in's own bank");
      }
      break;
    case 5:
      if (!program.empty()) {
        std::vector<uint8_t> load = program;
        progress.Step("effSetChunk (program)");
        if (plugin.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(load.size()), load.data()) != 1)
          Fail("setChunk refused the plug-in's own program");
      }
      break;
    case 6:
      progress.Step("suspend and resume");
      plugin.Dispatch(effMainsChanged, 0, 0);
      plugin.Dispatch(effMainsChanged, 0, 1);
      break;
    case 7:
      progress.Step("effSetProgramName");
      std::snprintf(name, sizeof name, "stress %u", static_cast<unsigned>(random() % 100000));
      plugin.Dispatch(effSetProgramName, 0, 0, name);
      break;
    case 8:
      progress.Step("effGetProgramName");
      plugin.Dispatch(effGetProgramName, 0, 0, name);
      break;
    default:
      progress.Step("effGetProgramNameIndexed");
      plugin.Dispatch(effGetProgramNameIndexed, static_cast<int32_t>(random() % 128), 0, name);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  progress.finished = true;
}

int IgnoreErrors(Display*, XErrorEvent*)
{
  return 0;
}

// The host's GUI thread: opens the editor, runs the event loop, closes it.
void Gui(qhost::PluginInstance& plugin, Display* display, Window window, bool handDisplay,
         Progress& progress, const std::atomic<bool>& done)
{
  progress.Step("effEditGetRect");
  ERect* rect = nullptr;
  plugin.Dispatch(effEditGetRect, 0, 0, &rect);
  progress.Step("effEditOpen");
  plugin.Dispatch(effEditOpen, 0, handDisplay ? reinterpret_cast<VstIntPtr>(display) : 0,
                  reinterpret_cast<void*>(window));
  auto nextIdle = Clock::now();
  while (!done) {
    progress.Step("the host's event loop");
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.xany.window == window)
        continue;
      if (qhost::EventProc procedure = qhost::ReadEventProc(display, event.xany.window)) {
        progress.Step("_XEventProc");
        procedure(&event);
      }
    }
    if (Clock::now() >= nextIdle) {
      progress.Step("effEditIdle");
      plugin.Dispatch(effEditIdle);
      nextIdle = Clock::now() + std::chrono::milliseconds(20);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  progress.Step("effEditClose");
  plugin.Dispatch(effEditClose);
  progress.finished = true;
}

} // namespace

int main(int argc, char** argv)
{
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: quillet-stress [--seconds N] [--editor host|own|none] [--newer-banks]\n");
    return 2;
  }
  // The plug-in opens its own connection when it is loaded: the server and
  // DISPLAY come first.
  testsupport::XvfbServer server;
  const bool editor = options.editor != "none";
  if (editor && !server.Running()) {
    std::fprintf(stderr, "stress: %s\n", server.Error().c_str());
    return 1;
  }
  if (server.Running())
    setenv("DISPLAY", server.Name().c_str(), 1);
  XInitThreads();
  Display* display = editor ? XOpenDisplay(nullptr) : nullptr;
  if (editor && !display) {
    std::fprintf(stderr, "stress: cannot open %s\n", server.Name().c_str());
    return 1;
  }
  Window window = 0;
  if (display) {
    XSetErrorHandler(IgnoreErrors);
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 520, 238, 0, 0, 0);
    XSelectInput(display, window, StructureNotifyMask | ExposureMask);
    XMapWindow(display, window);
    XSync(display, False);
  }

  int status = 0;
  {
    qhost::PluginLibrary library(QUILLET_PLUGIN_PATH);
    if (!library.Loaded()) {
      std::fprintf(stderr, "stress: %s\n", library.Error().c_str());
      return 1;
    }
    qhost::HostConfig config;
    config.onEvents = CheckEvents;
    qhost::PluginInstance plugin(library, config);
    if (!plugin.Loaded()) {
      std::fprintf(stderr, "stress: the plug-in refused to load\n");
      return 1;
    }
    plugin.StartUp(44100.0f, 128);
    AEffect* effect = plugin.Effect();
    // Options that make every thread's calls matter: thru, preset
    // switching and both sends on, short delays.
    effect->setParameter(effect, 1, 1.0f);
    effect->setParameter(effect, 3, 1.0f);
    effect->setParameter(effect, 5, 1.0f);
    effect->setParameter(effect, 7, 1.0f);

    std::atomic<bool> done{false};
    Progress audio{"audio"};
    Progress automation{"automation"};
    Progress dispatcher{"dispatcher"};
    Progress gui{"gui"};
    std::vector<Progress*> watched = {&audio, &automation, &dispatcher};
    std::vector<std::thread> threads;
    if (editor) {
      watched.push_back(&gui);
      threads.emplace_back(Gui, std::ref(plugin), display, window, options.editor == "host",
                           std::ref(gui), std::cref(done));
    }
    threads.emplace_back(Audio, effect, std::ref(plugin), std::ref(audio), std::cref(done));
    threads.emplace_back(Automation, effect, std::ref(automation), std::cref(done));
    threads.emplace_back(Dispatcher, std::ref(plugin), std::cref(options), std::ref(dispatcher),
                         std::cref(done));

    // Watch for progress until the time is up and every thread has ended.
    const auto end = Clock::now() + std::chrono::duration<double>(options.seconds);
    std::vector<uint64_t> last(watched.size(), 0);
    std::vector<Clock::time_point> moved(watched.size(), Clock::now());
    for (bool running = true; running;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (Clock::now() >= end)
        done = true;
      running = false;
      for (size_t i = 0; i < watched.size(); ++i) {
        Progress& thread = *watched[i];
        if (thread.finished)
          continue;
        running = true;
        const uint64_t steps = thread.steps.load();
        if (steps != last[i]) {
          last[i] = steps;
          moved[i] = Clock::now();
        } else if (Clock::now() - moved[i] > std::chrono::seconds(15)) {
          std::fprintf(stderr, "stress: the %s thread made no progress for 15 s (a hang) in %s\n",
                       thread.name, thread.doing.load());
          std::fflush(stderr);
          std::_Exit(1);
        }
      }
    }
    for (std::thread& thread : threads)
      thread.join();
    std::printf("stress: %.0f s with the editor %s: %llu blocks, %llu parameter calls, %llu "
                "dispatcher calls, %llu GUI steps\n",
                options.seconds,
                options.editor == "host"  ? "on the host's display"
                : options.editor == "own" ? "on its own display"
                                          : "closed",
                static_cast<unsigned long long>(audio.steps / 2),
                static_cast<unsigned long long>(automation.steps),
                static_cast<unsigned long long>(dispatcher.steps),
                static_cast<unsigned long long>(gui.steps));
    plugin.Dispatch(effMainsChanged, 0, 0);
    plugin.Close();
    status = failed ? 1 : 0;
  }
  if (display) {
    XDestroyWindow(display, window);
    XCloseDisplay(display);
  }
  return status;
}
