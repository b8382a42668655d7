// What the fuzz targets share: the plug-in library loaded once per process
// through the host layer (so every input reaches the plug-in only through
// its effect record, as from a host), a reader that turns the fuzzer's bytes
// into choices, and the checks a target makes.
//
// A target reports a fault by ending the process: a sanitizer abort, a
// crash, or Require() failing on something a host can see (a refused chunk
// that changed the bank, an event block of more than 256 events, ...).
//
// Threads: the targets drive the plug-in from the fuzzer's one thread; the
// plug-in's own threads (countdown, idle) run as they would in a host.
#pragma once

#include "host/VstHost.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace fuzz {

// Reads the input front to back. Past its end every read gives 0, so that
// any input, however short, is a complete run.
class Bytes
{
public:
  Bytes(const uint8_t* data, size_t size) : data(data), size(size) {}

  bool Empty() const { return position >= size; }
  size_t Left() const { return Empty() ? 0 : size - position; }

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // 0 .. n-1 (n > 0).
  uint32_t Below(uint32_t n) { return U32() % n; }
  bool Bit() { return (U8() & 1) != 0; }
  // The rest of the input, consumed.
  std::vector<uint8_t> Rest();

  // A value a careless or hostile host might pass: the edges of the types,
  // the sizes the plug-in knows, or raw bits.
  VstIntPtr OddValue();
  int32_t OddIndex();
  float OddFloat();

private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

// This host's own display connection and top-level window, for opening the
// editor: none without an X server, or with QUILLET_FUZZ_EDITOR=off.
class HostDisplay
{
public:
  HostDisplay();
  HostDisplay(const HostDisplay&) = delete;
  HostDisplay& operator=(const HostDisplay&) = delete;

  ::_XDisplay* Display() const { return display; }
  unsigned long Window() const { return window; }

  // A host's event loop: every event of a window carrying "_XEventProc" is
  // handed to the procedure named there.
  void Pump() const;
  // Closes the connection (as hosts may after effEditClose) and opens a new
  // one with a new window; nothing with QUILLET_FUZZ_KEEP_DISPLAY=1.
  void Reconnect();

private:
  void Connect();

  ::_XDisplay* display = nullptr;
  unsigned long window = 0;
};

// The host display of this process, made at the first call.
HostDisplay& Host();

// The library under test: QUILLET_FUZZ_PLUGIN, else the build's quillet.so.
// Loaded at the first call and kept until the process ends.
qhost::PluginLibrary& Library();

// A fresh instance started as a host starts one (open, rate, block size,
// resume). Ends the process when the plug-in refuses to load, which it
// never does in a host it accepts.
std::unique_ptr<qhost::PluginInstance> NewInstance(qhost::HostConfig config = {});

// Ends the process with the message on standard error unless `holds`.
// QUILLET_FUZZ_SKIP lets a known fault pass while others are looked for:
// checks whose message contains one of its ';'-separated words are only
// reported, once.
void Require(bool holds, const char* what);

// Checks an event block the plug-in handed to the host: at most 256 events,
// each a MIDI record of 24 bytes. With `generatedOnly` (no host MIDI was fed,
// so every event is one the plug-in made from its stored strips or its
// held notes) each must also be a well-formed Control Change, Note On or
// Note Off: a status byte of those kinds and data bytes below 128.
void CheckOutputEvents(const VstEvents& events, bool generatedOnly);

// A host configuration whose every event block is checked.
qhost::HostConfig CheckedConfig(bool generatedOnly = false);

// One block of silence through processReplacing, or process when
// `accumulating`; frames are limited to the buffers here (4096).
void RunBlock(AEffect* effect, int32_t frames, bool accumulating = false);

// Reads every parameter of the plug-in's table (0..141) and a few beyond,
// as the editor and hosts do, and requires finite values; the two the host
// sees must lie within 0..1.
void ReadAllParameters(AEffect* effect);

} // namespace fuzz

// Defined by each target; called once per input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Loads the plug-in library (FuzzSupport.cpp); called once before any input.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
