#include "tests/fuzz/FuzzSupport.h"

#include "host/HostWindow.h"
#include "midi/MidiBytes.h"
#include "model/MessageKinds.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <string>

namespace fuzz {

uint8_t Bytes::U8()
{
  return Empty() ? 0 : data[position++];
}

uint16_t Bytes::U16()
{
  const uint16_t low = U8();
  return static_cast<uint16_t>(low | (U8() << 8));
}

uint32_t Bytes::U32()
{
  const uint32_t low = U16();
  return low | (static_cast<uint32_t>(U16()) << 16);
}

std::vector<uint8_t> Bytes::Rest()
{
  std::vector<uint8_t> rest;
  if (!Empty())
    rest.assign(data + position, data + size);
  position = size;
  return rest;
}

VstIntPtr Bytes::OddValue()
{
  static const int64_t table[] = {0,     1,     -1,    2,     5,       15,         16,
                                  127,   128,   129,   255,   256,     263,        264,
                                  265,   275,   276,   277,   1000,    33807,      33808,
                                  33809, 35327, 35328, 35329, 40000,   0x7FFFFFFF, -0x7FFFFFFF - 1,
                                  -2,    -128,  -129,  65536, 1 << 24, 0x10000000, 0x40000000};
  const uint8_t kind = U8();
  if (kind < 160)
    return static_cast<VstIntPtr>(table[kind % (sizeof table / sizeof table[0])]);
  if (kind < 230)
    return static_cast<VstIntPtr>(I32());
  // Raw pointer-sized bits (on i386 these are 32 bits again).
  const uint64_t high = U32();
  const uint64_t bits = (high << 32) | U32();
  return static_cast<VstIntPtr>(bits);
}

int32_t Bytes::OddIndex()
{
  const uint8_t kind = U8();
  if (kind < 200)
    return static_cast<int32_t>(U8()) - 5; // -5 .. 250: the table and past it
  if (kind < 230)
    return static_cast<int32_t>(OddValue());
  return I32();
}

float Bytes::OddFloat()
{
  static const float table[] = {0.0f,
                                1.0f,
                                0.5f,
                                0.49999997f,
                                0.50000006f,
                                -0.0f,
                                -1.0f,
                                2.0f,
                                1e-10f,
                                1e-11f,
                                1.0f / 999.0f,
                                3.0f / 999.0f,
                                1.0f / 16.0f,
                                1.0f / 128.0f,
                                127.5f / 128.0f,
                                1e10f,
                                -1e10f,
                                3e9f,
                                std::numeric_limits<float>::max(),
                                std::numeric_limits<float>::lowest(),
                                std::numeric_limits<float>::denorm_min(),
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                std::numeric_limits<float>::quiet_NaN(),
                                -std::numeric_limits<float>::quiet_NaN()};
  const uint8_t kind = U8();
  if (kind < 128)
    return table[kind % (sizeof table / sizeof table[0])];
  if (kind < 200)
    return static_cast<float>(U16()) / 65535.0f;
  const uint32_t bits = U32();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

namespace {

int IgnoreErrors(::Display*, XErrorEvent*)
{
  return 0; // errors about the plug-in's windows must not end the host
}

bool Set(const char* name, const char* value)
{
  const char* set = std::getenv(name);
  return set && std::strcmp(set, value) == 0;
}

} // namespace

HostDisplay::HostDisplay()
{
  if (Set("QUILLET_FUZZ_EDITOR", "off"))
    return;
  XInitThreads();
  Connect();
}

void HostDisplay::Connect()
{
  display = XOpenDisplay(nullptr);
  if (!display)
    return;
  XSetErrorHandler(IgnoreErrors);
  const int screen = DefaultScreen(display);
  window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 120, 238, 0, 0, 0);
  XSelectInput(display, window, StructureNotifyMask | ExposureMask);
  XMapWindow(display, window);
  XSync(display, False);
}

void HostDisplay::Pump() const
{
  if (!display)
    return;
  XSync(display, False);
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.xany.window == window)
      continue;
    if (qhost::EventProc procedure = qhost::ReadEventProc(display, event.xany.window))
      procedure(&event);
  }
}

void HostDisplay::Reconnect()
{
  if (!display || Set("QUILLET_FUZZ_KEEP_DISPLAY", "1"))
    return;
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  display = nullptr;
  window = 0;
  Connect();
}

HostDisplay& Host()
{
  static HostDisplay* host = new HostDisplay();
  return *host;
}

qhost::PluginLibrary& Library()
{
  // Never unloaded: the fuzzer ends the process, and an unload at exit
  // would only hide the plug-in's frames from a late report.
  static qhost::PluginLibrary* library = [] {
    const char* path = std::getenv("QUILLET_FUZZ_PLUGIN");
    auto* loaded = new qhost::PluginLibrary(path && *path ? path : QUILLET_PLUGIN_PATH);
    if (!loaded->Loaded()) {
      std::fprintf(stderr, "fuzz: cannot load %s: %s\n", loaded->Path().c_str(),
                   loaded->Error().c_str());
      std::abort();
    }
    return loaded;
  }();
  return *library;
}

std::unique_ptr<qhost::PluginInstance> NewInstance(qhost::HostConfig config)
{
  auto instance = std::make_unique<qhost::PluginInstance>(Library(), std::move(config));
  Require(instance->Loaded(), "the plug-in refused to load");
  instance->StartUp();
  return instance;
}

namespace {

bool Skipped(const char* what)
{
  static const std::vector<std::string> words = [] {
    std::vector<std::string> list;
    const char* skip = std::getenv("QUILLET_FUZZ_SKIP");
    std::string word;
    for (const char* c = skip ? skip : "";; ++c) {
      if (*c == ';' || *c == '\0') {
        if (!word.empty())
          list.push_back(word);
        word.clear();
        if (*c == '\0')
          break;
      } else {
        word += *c;
      }
    }
    return list;
  }();
  static std::set<std::string> reported;
  for (const std::string& word : words) {
    if (std::strstr(what, word.c_str())) {
      if (reported.insert(what).second)
        std::fprintf(stderr, "fuzz: check failed (skipped): %s\n", what);
      return true;
    }
  }
  return false;
}

} // namespace

void Require(bool holds, const char* what)
{
  if (holds || Skipped(what))
    return;
  std::fprintf(stderr, "fuzz: check failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

namespace {

// The statuses a stored message goes out with: its kind's, or a Note Off
// (the release of a held note).
bool KindStatus(uint8_t status)
{
  const uint8_t type = status & midi::kStatusMask;
  if (type == midi::kNoteOff)
    return true;
  for (const strips::MessageKind& kind : strips::AllKinds()) {
    if (type == kind.status)
      return true;
  }
  return false;
}

} // namespace

void CheckOutputEvents(const VstEvents& events, bool generatedOnly)
{
  // QUILLET_FUZZ_TRACE=1 prints what the plug-in sends, for reading a
  // reproducer.
  static const bool trace = std::getenv("QUILLET_FUZZ_TRACE") != nullptr;
  // A block is longer than its declared two entries.
  VstEvent* const* pointers = events.events;
  if (trace) {
    std::fprintf(stderr, "fuzz: %d events:", events.numEvents);
    for (int32_t i = 0; i < events.numEvents && i < 256; ++i) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(pointers[i]);
      if (midi)
        std::fprintf(stderr, " [type %d size %d %02X %02X %02X]", midi->type, midi->byteSize,
                     midi->midiData[0], midi->midiData[1], midi->midiData[2]);
    }
    std::fprintf(stderr, "\n");
  }
  Require(events.numEvents >= 0 && events.numEvents <= 256, "an event block holds 0 to 256 events");
  for (int32_t i = 0; i < events.numEvents; ++i) {
    const VstEvent* event = pointers[i];
    Require(event != nullptr, "every event pointer of a block is set");
    if (!event)
      continue;
    if (event->type == kVstSysExType) {
      // A program's SysEx messages (a chunk's, or imported by the plug-in's
      // own vendor call).
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      const auto* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      Require(bytes && sysex->dumpBytes >= 2 && bytes[0] == 0xF0 &&
                  bytes[sysex->dumpBytes - 1] == 0xF7,
              "a sent SysEx event holds a whole message, F0 to F7");
      continue;
    }
    const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
    Require(midi->type == kVstMidiType, "the plug-in sends MIDI and SysEx events only");
    Require(midi->byteSize == 24, "a sent MIDI event's byte size is 24");
    if (!generatedOnly)
      continue;
    Require(KindStatus(midi->midiData[0]),
            "a stored message goes out with the status of a message kind (the model's table) or "
            "a Note Off");
    Require(midi::MessageLength(midi->midiData[0]) != 2 || midi->midiData[2] == 0,
            "a message of two bytes has no second data byte");
    Require(midi->midiData[1] < 0x80 && midi->midiData[2] < 0x80,
            "a stored message goes out with data bytes below 128");
  }
}

qhost::HostConfig CheckedConfig(bool generatedOnly)
{
  qhost::HostConfig config;
  config.onEvents = [generatedOnly](const VstEvents& events) {
    CheckOutputEvents(events, generatedOnly);
  };
  return config;
}

void RunBlock(AEffect* effect, int32_t frames, bool accumulating)
{
  constexpr int32_t kMaxFrames = 4096;
  static float buffers[4][kMaxFrames];
  if (frames < 0 || frames > kMaxFrames)
    frames = kMaxFrames;
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
  if (accumulating)
    effect->process(effect, inputs, outputs, frames);
  else
    effect->processReplacing(effect, inputs, outputs, frames);
}

void ReadAllParameters(AEffect* effect)
{
  for (int32_t index = -3; index < 146; ++index) {
    const float value = effect->getParameter(effect, index);
    Require(std::isfinite(value), "every parameter reads as a finite value");
    if (index == 0 || index == 1)
      Require(value >= 0.0f && value <= 1.0f, "the host's parameters lie within 0..1");
  }
}

} // namespace fuzz

// The library is loaded before the fuzzer starts, so that its coverage
// counters are known from the first input on.
extern "C" __attribute__((visibility("default"))) int LLVMFuzzerInitialize(int*, char***)
{
  // XInitThreads comes before any other X call in the process.
  fuzz::Host();
  fuzz::Library();
  return 0;
}

// Undefined behaviour ends a run like any other fault (suppressions given
// in UBSAN_OPTIONS still pass the reports they name).
extern "C" __attribute__((visibility("default"))) const char* __ubsan_default_options()
{
  return "halt_on_error=1:print_stacktrace=1";
}
