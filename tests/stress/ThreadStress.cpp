// quillet-stress: the plug-in driven from every thread a host has at once,
// with its editor open, for a given time. Built in every configuration; in
// the tsan one it is the race detector's workload.
//
//   audio       processEvents with notes, controllers and Program Changes
//               (preset switching on at times), then processReplacing; thru
//               and the resend automated between blocks
//   automation  setParameter and getParameter over indices 0..141, now and
//               then a setting of the chunk's extension (200..334)
//   dispatcher  setProgram, getChunk (each chunk copied with memcpy, as a
//               host copies it) and setChunk of banks and programs,
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
//   quillet-stress [--seconds N] [--editor host|own|none] [--format vst|lv2]
//                  [--newer-banks]
//
// --newer-banks also loads banks from a newer version now and then, which
// show the plug-in's message box.
//
// --format lv2 drives the LV2 edition instead, through the lilv test host,
// from the threads an LV2 host has:
//   audio       run() with notes, controllers, Program Changes, SysEx and
//               the transport starting and stopping, the control ports
//               moving (the resend, thru, the program)
//   worker      the worker's work() selecting programs, as a host's worker
//               thread runs it beside run()
//   state       the state saved (the bank copied with memcpy beside run()),
//               and now and then restored between two blocks (restore is
//               never concurrent with run)
//   gui         the LV2 editor open in a window, idled every 20 ms
#include "host/HostWindow.h"
#include "host/VstHost.h"
#include "midi/MidiBytes.h"
#include "model/VSTPluginProgramBank.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/testsupport/XvfbServer.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/worker/worker.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
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
  std::string format = "vst";
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
    } else if (arg == "--format" && i + 1 < argc) {
      options.format = argv[++i];
      if (options.format != "vst" && options.format != "lv2")
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
    Doing(what);
    steps.fetch_add(1, std::memory_order_relaxed);
  }
  // Names what the thread does without counting a step.
  void Doing(const char* what) { doing.store(what, std::memory_order_relaxed); }
};

// Stretches of 250 ms, every other one extending: the automation sets the
// chunk extension's settings only then, and the dispatcher loads a bank
// without them as the next one starts, so that saves take both ways (the
// records alone, and with the extension).
bool Extending()
{
  static const Clock::time_point start = Clock::now();
  return (Clock::now() - start) / std::chrono::milliseconds(250) % 2 == 1;
}

// Chunks the dispatcher saved, and how many of them with the extension.
std::atomic<uint64_t> chunkSaves{0};
std::atomic<uint64_t> extendedSaves{0};

// The host copies the chunk getChunk points at with a plain memcpy, which
// the race detector watches: the plug-in hands out a snapshot of its own,
// which none of its threads writes meanwhile.
void CopyChunk(const void* from, size_t size, std::vector<uint8_t>& to)
{
  to.resize(size);
  std::memcpy(to.data(), from, size);
}

// A bank or program chunk of the records alone, or followed by the
// extension (when its settings are in use).
bool ChunkSizeRight(VstIntPtr size, bool program)
{
  const VstIntPtr records =
      program ? VSTPluginProgramBank::kProgramBytes : VSTPluginProgramBank::kBankBytes;
  const VstIntPtr extended = program ? VSTPluginProgramBank::kExtendedProgramBytes
                                     : VSTPluginProgramBank::kExtendedBankBytes;
  ++chunkSaves;
  if (size >= extended)
    ++extendedSaves;
  return size == records || size >= extended;
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
    // Automation played on the audio thread, as hosts do it (and as the LV2
    // edition moves its ports from run()): thru and the resend, while the
    // other threads save and load chunks.
    if (n % 7 == 0) {
      progress.Doing("setParameter (thru)");
      effect->setParameter(effect, 1, random() % 4 ? 1.0f : 0.0f);
    }
    if (n % 11 == 0) {
      progress.Doing("setParameter (resend)");
      effect->setParameter(effect, 0, static_cast<float>(n / 11 % 2));
    }
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
  // Now and then, while extending, a setting of the chunk's extension: the
  // kinds, the spacing and settle time, send on play, the SysEx gap, the
  // wide fields.
  struct Range
  {
    int32_t first;
    uint32_t count;
  };
  static const Range extended[] = {{200, 34}, {235, 1}, {238, 97}};
  while (!done) {
    int32_t index = static_cast<int32_t>(random() % 142);
    if (Extending() && random() % 16 == 0) {
      const Range& range = extended[random() % 3];
      index = range.first + static_cast<int32_t>(random() % range.count);
    }
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
  // The bank as it starts, without the extension's settings.
  std::vector<uint8_t> plain;
  void* start = nullptr;
  if (plugin.Dispatch(effGetChunk, 0, 0, &start) == VSTPluginProgramBank::kBankBytes && start)
    CopyChunk(start, VSTPluginProgramBank::kBankBytes, plain);
  bool extending = false;
  char name[256];
  for (uint64_t n = 0; !done; ++n) {
    if (extending && !Extending() && !plain.empty()) {
      progress.Step("effSetChunk (a bank without the extension)");
      if (plugin.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(plain.size()), plain.data()) != 1)
        Fail("setChunk refused the plug-in's own bank");
      // What was saved while extending would bring the settings back.
      bank = plain;
      program.clear();
    }
    extending = Extending();
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
      if (!ChunkSizeRight(size, false) || !data) {
        Fail("getChunk of the bank gives neither 35,328 bytes nor an extended bank");
        break;
      }
      CopyChunk(data, static_cast<size_t>(size), bank);
      break;
    }
    case 3: {
      progress.Step("effGetChunk (program)");
      void* data = nullptr;
      const VstIntPtr size = plugin.Dispatch(effGetChunk, 1, 0, &data);
      if (!ChunkSizeRight(size, true) || !data) {
        Fail("getChunk of a program gives neither 276 bytes nor an extended program");
        break;
      }
      CopyChunk(data, static_cast<size_t>(size), program);
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

// Watches for progress until the time is up and every thread has ended; a
// thread that makes none for 15 s ends the run as a hang.
void Watch(const std::vector<Progress*>& watched, double seconds, std::atomic<bool>& done)
{
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
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
}

// ---------------------------------------------------------------- LV2

// The LV2 output as a host reads it: each event a whole MIDI message.
void CheckLv2Output(lv2test::Lv2TestHost& host)
{
  const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(host.Output());
  int64_t last = 0;
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
  {
    const auto* bytes = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
    if (event->time.frames < last || event->body.size == 0 ||
        midi::MessageLength(bytes[0]) != static_cast<int32_t>(event->body.size))
      Fail("the LV2 output holds an event out of order or not of its status byte's length");
    last = event->time.frames;
  }
}

void Lv2Audio(lv2test::Lv2TestHost& host, std::mutex& processing, Progress& progress,
              const std::atomic<bool>& done)
{
  std::mt19937 random(1);
  for (uint64_t n = 0; !done; ++n) {
    const int count = static_cast<int>(random() % 32);
    for (int i = 0; i < count; ++i) {
      static const uint8_t statuses[] = {0x90, 0x90, 0x80, 0x80, 0xB0, 0xE0, 0xC0};
      const auto status = static_cast<uint8_t>(statuses[random() % 7] | (random() % 2));
      std::vector<uint8_t> bytes = {status, static_cast<uint8_t>(random() % 128),
                                    static_cast<uint8_t>(random() % 128)};
      bytes.resize(static_cast<size_t>(midi::MessageLength(status)));
      host.QueueMidi(bytes, static_cast<int64_t>(random() % 128));
    }
    if (n % 16 == 0)
      host.QueueMidi({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, 64);
    if (n % 40 == 0)
      host.QueuePosition(n % 80 ? 1.0f : 0.0f, static_cast<int64_t>(random() % 128));
    if (n % 5 == 0)
      host.SetControl(2, host.Control(2) > 0.5f ? 0.0f : 1.0f);
    if (n % 23 == 0)
      host.SetControl(3, host.Control(3) > 0.5f ? 0.0f : 1.0f);
    if (n % 31 == 0)
      host.SetControl(4, static_cast<float>(random() % 128));
    {
      std::lock_guard<std::mutex> hold(processing);
      progress.Step("run");
      host.Run(128);
      progress.Step("reading the output");
      CheckLv2Output(host);
    }
    if (n % 64 == 0)
      host.ClearReceived();
    std::this_thread::sleep_for(std::chrono::microseconds(700));
  }
  progress.finished = true;
}

void Lv2Worker(lv2test::Lv2TestHost& host, Progress& progress, const std::atomic<bool>& done)
{
  std::mt19937 random(3);
  const auto* worker = static_cast<const LV2_Worker_Interface*>(
      lilv_instance_get_extension_data(host.Instance(), LV2_WORKER__interface));
  while (!done) {
    const auto program = static_cast<int32_t>(random() % 128);
    progress.Step("work (a program)");
    worker->work(lilv_instance_get_handle(host.Instance()), nullptr, nullptr, sizeof program,
                 &program);
    std::this_thread::sleep_for(std::chrono::microseconds(400));
  }
  progress.finished = true;
}

LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                       uint32_t type, uint32_t)
{
  // Copied as a host copies it, while run() moves the ports.
  auto& state = *static_cast<std::map<uint32_t, lv2test::Property>*>(handle);
  state[key].type = type;
  CopyChunk(value, size, state[key].value);
  return LV2_STATE_SUCCESS;
}

void Lv2State(lv2test::Lv2TestHost& host, std::mutex& processing, Progress& progress,
              const std::atomic<bool>& done)
{
  const auto* iface = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(host.Instance(), LV2_STATE__interface));
  LV2_Handle handle = lilv_instance_get_handle(host.Instance());
  for (uint64_t n = 0; !done; ++n) {
    std::map<uint32_t, lv2test::Property> state;
    progress.Step("save");
    if (iface->save(handle, Store, &state, 0, host.Features()) != LV2_STATE_SUCCESS)
      Fail("the LV2 state could not be saved");
    if (n % 20 == 0) {
      std::lock_guard<std::mutex> hold(processing);
      progress.Step("restore");
      if (host.Restore(state) != LV2_STATE_SUCCESS)
        Fail("the LV2 edition refused its own state");
    }
    std::this_thread::sleep_for(std::chrono::microseconds(900));
  }
  progress.finished = true;
}

void Lv2Gui(lv2test::Lv2TestHost& host, Window window, Progress& progress,
            const std::atomic<bool>& done)
{
  std::string why;
  const LV2UI_Descriptor* descriptor = host.EditorDescriptor(why);
  if (!descriptor) {
    Fail("the LV2 editor was not found");
    progress.finished = true;
    return;
  }
  const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(window)};
  const LV2_Feature instance{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(host.Instance())};
  const LV2_Feature* features[] = {&parent, &instance, host.LogFeature(), nullptr};
  LV2UI_Widget widget = nullptr;
  progress.Step("instantiate the editor");
  LV2UI_Handle ui = descriptor->instantiate(
      descriptor, "urn:quillet:quillet", "",
      [](void*, uint32_t, uint32_t, uint32_t, const void*) {}, nullptr, &widget, features);
  if (!ui) {
    Fail("the LV2 editor did not open");
    progress.finished = true;
    return;
  }
  const auto* idle =
      static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
  while (!done) {
    progress.Step("idle");
    idle->idle(ui);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  progress.Step("cleanup of the editor");
  descriptor->cleanup(ui);
  progress.finished = true;
}

} // namespace

int main(int argc, char** argv)
{
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: quillet-stress [--seconds N] [--editor host|own|none] [--format vst|lv2] "
                 "[--newer-banks]\n");
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
  if (options.format == "lv2") {
    lv2test::Lv2TestHost::Config config;
    config.maxBlock = 128;
    lv2test::Lv2TestHost host(config);
    if (!host.Loaded()) {
      std::fprintf(stderr, "stress: %s\n", host.Error().c_str());
      return 1;
    }
    host.Activate();
    host.SetControl(3, 1.0f);
    std::atomic<bool> done{false};
    std::mutex processing;
    Progress audio{"audio"};
    Progress worker{"worker"};
    Progress state{"state"};
    Progress gui{"gui"};
    std::vector<Progress*> watched = {&audio, &worker, &state};
    std::vector<std::thread> threads;
    if (editor) {
      watched.push_back(&gui);
      threads.emplace_back(Lv2Gui, std::ref(host), window, std::ref(gui), std::cref(done));
    }
    threads.emplace_back(Lv2Audio, std::ref(host), std::ref(processing), std::ref(audio),
                         std::cref(done));
    threads.emplace_back(Lv2Worker, std::ref(host), std::ref(worker), std::cref(done));
    threads.emplace_back(Lv2State, std::ref(host), std::ref(processing), std::ref(state),
                         std::cref(done));
    Watch(watched, options.seconds, done);
    for (std::thread& thread : threads)
      thread.join();
    std::printf("stress: %.0f s of the LV2 edition with the editor %s: %llu runs, %llu worker "
                "calls, %llu state calls, %llu GUI steps\n",
                options.seconds, editor ? "open" : "closed",
                static_cast<unsigned long long>(audio.steps / 2),
                static_cast<unsigned long long>(worker.steps),
                static_cast<unsigned long long>(state.steps),
                static_cast<unsigned long long>(gui.steps));
    status = failed ? 1 : 0;
  } else {
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

    Watch(watched, options.seconds, done);
    for (std::thread& thread : threads)
      thread.join();
    std::printf("stress: %.0f s with the editor %s: %llu blocks, %llu parameter calls, %llu "
                "dispatcher calls (%llu chunks saved, %llu of them extended), %llu GUI steps\n",
                options.seconds,
                options.editor == "host"  ? "on the host's display"
                : options.editor == "own" ? "on its own display"
                                          : "closed",
                static_cast<unsigned long long>(audio.steps / 2),
                static_cast<unsigned long long>(automation.steps),
                static_cast<unsigned long long>(dispatcher.steps),
                static_cast<unsigned long long>(chunkSaves),
                static_cast<unsigned long long>(extendedSaves),
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
