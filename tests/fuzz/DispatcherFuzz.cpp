// Fuzz target: a host that calls the dispatcher with every opcode from -5 to
// 100 and odd index, value and float arguments, interleaved with parameter
// calls, audio blocks and its own event loop.
//
// Pointers are only ever null or valid: a zeroed buffer, a buffer holding a
// terminated text, or one holding bytes of the input (64 KiB, so that any
// structure the plug-in may fill fits). Where the value argument is itself
// a pointer or a size, it is kept honest too: the value of effSetChunk never
// claims more bytes than the buffer has, effEditOpen is handed this host's
// display and window (when DISPLAY names a server) or nothing, the
// speaker arrangement opcodes get null or pointers to zeroed storage, and
// the plug-in's own vendor calls get what they claim: kQuilletReplaceSysEx
// never more bytes than the buffer has, kQuilletPackedInput a record of
// events and a room inside the buffer.
//
// Input: a sequence of steps; each starts with a kind byte
//   0..211    dispatcher opcode (kind % 106) - 5, then a pointer byte, an
//             index, a value and a float
//   212..227  setParameter(index, float)
//   228..239  getParameter(index)
//   240..247  one audio block of an odd length
//   248..251  the host's event loop and effEditIdle
//   252..253  close the plug-in and load a new one
//   254..255  effEditClose, then the host closes its display connection
//             and opens a new one (QUILLET_FUZZ_KEEP_DISPLAY=1 keeps it)
#include "tests/fuzz/FuzzSupport.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kBufferBytes = 65536;
constexpr int kMaxSteps = 400;
constexpr int kMaxReloads = 6;

// The pointer argument of one call, and what it points at.
struct Argument
{
  std::vector<uint8_t> buffer;
  void* ptr = nullptr;

  void Make(fuzz::Bytes& in)
  {
    const uint8_t kind = in.U8() % 4;
    if (kind == 0)
      return;
    buffer.assign(kBufferBytes, 0);
    ptr = buffer.data();
    if (kind == 2) {
      // A terminated text of up to 300 characters.
      const size_t length = in.U16() % 300;
      for (size_t i = 0; i < length; ++i) {
        const uint8_t c = in.U8();
        buffer[i] = c ? c : 'a';
      }
    } else if (kind == 3) {
      const size_t count = in.U16() % 1024;
      for (size_t i = 0; i < count; ++i)
        buffer[i] = in.U8();
    }
  }
};

// A small, valid event list inside the buffer.
void MakeEvents(Argument& argument, fuzz::Bytes& in)
{
  if (!argument.ptr)
    return;
  const int count = in.U8() % 64;
  uint8_t* base = argument.buffer.data();
  auto* events = reinterpret_cast<VstEvents*>(base);
  auto** pointers = reinterpret_cast<VstEvent**>(base + offsetof(VstEvents, events));
  uint8_t* records = base + 4096;
  events->numEvents = count;
  events->reserved = 0;
  for (int i = 0; i < count; ++i) {
    auto* event = reinterpret_cast<VstMidiEvent*>(records + 32 * i);
    event->type = in.U8() % 8 ? static_cast<int32_t>(kVstMidiType) : in.U8();
    event->byteSize = 24;
    event->deltaFrames = in.U8();
    event->midiData[0] = in.U8();
    event->midiData[1] = in.U8();
    event->midiData[2] = in.U8();
    pointers[i] = reinterpret_cast<VstEvent*>(event);
  }
}

// A packed-events record at the buffer's start: up to 64 events of input
// bytes (frames near the block, sizes and types mostly those of MIDI),
// written into a room of up to 64 events in the buffer's second half.
void MakePacked(Argument& argument, fuzz::Bytes& in)
{
  uint8_t* base = argument.buffer.data();
  QuilletPackedInput packed{};
  packed.count = in.U8() % 65;
  packed.type = in.U8() % 4 ? 7 : in.U8();
  packed.start = in.U8() % 4 ? 0 : static_cast<int64_t>(in.U16()) - 1000;
  packed.end = packed.start + in.U16() % 1025;
  uint8_t* events = base + 4096;
  for (int32_t i = 0; i < packed.count; ++i) {
    uint8_t* event = events + static_cast<size_t>(i) * kQuilletPackedEventBytes;
    const int64_t frame = packed.start + in.U8() * 4 - 8;
    const uint32_t size = in.U8() % 8 ? 1 + in.U8() % 3 : in.U8();
    const uint32_t type = in.U8() % 8 ? packed.type : in.U8();
    std::memcpy(event, &frame, sizeof frame);
    std::memcpy(event + 8, &size, sizeof size);
    std::memcpy(event + 12, &type, sizeof type);
    for (int b = 16; b < kQuilletPackedEventBytes; ++b)
      event[b] = b < 19 ? in.U8() : 0;
  }
  packed.events = events;
  packed.out = in.U8() % 8 ? base + kBufferBytes / 2 : nullptr;
  packed.room = in.U16() % (64 * kQuilletPackedEventBytes + 1);
  std::memcpy(base, &packed, sizeof packed);
}

void CheckAnswer(int32_t opcode, VstIntPtr result, const Argument& argument)
{
  if (opcode == effGetChunk && argument.ptr && result != 0) {
    fuzz::Require(result == 276 || result == 35328 || result == 364 || result == 43544,
                  "getChunk gives a program or a bank, with or without the extension");
    const void* data = *static_cast<void* const*>(argument.ptr);
    fuzz::Require(data != nullptr, "getChunk points at its chunk");
    // The host reads the whole chunk (the sanitizer checks every byte).
    std::vector<uint8_t> copy(static_cast<size_t>(result));
    std::memcpy(copy.data(), data, copy.size());
  }
  if (opcode == effEditGetRect && argument.ptr && result != 0) {
    const ERect* rect = *static_cast<ERect* const*>(argument.ptr);
    fuzz::Require(rect != nullptr, "getRect points at a rectangle");
    fuzz::Require(rect->right > rect->left && rect->bottom > rect->top,
                  "the editor rectangle is not empty");
  }
  if (opcode == effVendorSpecific && result == 1 && argument.ptr) {
    QuilletPackedInput packed{};
    std::memcpy(&packed, argument.buffer.data(), sizeof packed);
    if (packed.events == argument.buffer.data() + 4096) {
      fuzz::Require(packed.taken >= 0 && packed.taken <= packed.count && packed.kept >= 0 &&
                        packed.kept <= packed.taken &&
                        static_cast<uint32_t>(packed.kept) * kQuilletPackedEventBytes <=
                            packed.room,
                    "the plug-in takes no more packed events than it was handed, and keeps "
                    "no more than the room holds");
    }
  }
  if (opcode == effGetVstVersion)
    fuzz::Require(result == 2300, "the plug-in speaks version 2300");
}

void Dispatch(qhost::PluginInstance& plugin, int32_t opcode, fuzz::Bytes& in)
{
  Argument argument;
  argument.Make(in);
  int32_t index = in.OddIndex();
  VstIntPtr value = in.OddValue();
  const float opt = in.OddFloat();
  std::vector<uint8_t> pointee(256, 0); // for values that are pointers

  switch (opcode) {
  case effSetChunk:
    // The host never claims more bytes than it hands over.
    if (argument.ptr && value > static_cast<VstIntPtr>(kBufferBytes))
      value = static_cast<VstIntPtr>(kBufferBytes);
    if (argument.ptr && value < -0x7FFFFFFF - 1)
      value = -1;
    break;
  case effProcessEvents:
    MakeEvents(argument, in);
    break;
  case effEditOpen: {
    const fuzz::HostDisplay& host = fuzz::Host();
    argument.ptr = host.Window() && argument.ptr ? reinterpret_cast<void*>(host.Window()) : nullptr;
    value = host.Display() && (value & 1) ? reinterpret_cast<VstIntPtr>(host.Display()) : 0;
    break;
  }
  case effVendorSpecific:
    // Half the time the plug-in's own call (a SysEx section to import), its
    // size never more than the buffer holds; a quarter of the rest the
    // packed events of the LV2 edition, a record whose pointers point into
    // the buffer and hold what they claim (the events' bytes anything).
    if (argument.ptr && (value & 1)) {
      index = kQuilletReplaceSysEx;
      value = static_cast<VstIntPtr>((static_cast<uint64_t>(value) >> 1) % (kBufferBytes + 1));
    } else if ((argument.ptr && (value & 6) == 2) || index == kQuilletPackedInput) {
      index = kQuilletPackedInput;
      if (argument.ptr)
        MakePacked(argument, in);
    }
    break;
  case effSetSpeakerArrangement:
  case effGetSpeakerArrangement:
    value = value & 1 ? reinterpret_cast<VstIntPtr>(pointee.data()) : 0;
    break;
  default:
    break;
  }
  const VstIntPtr result = plugin.Dispatch(opcode, index, value, argument.ptr, opt);
  CheckAnswer(opcode, result, argument);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::Bytes in(data, size);
  fuzz::HostDisplay& host = fuzz::Host();
  auto plugin = fuzz::NewInstance(fuzz::CheckedConfig());
  int reloads = 0;
  for (int step = 0; step < kMaxSteps && !in.Empty(); ++step) {
    const uint8_t kind = in.U8();
    AEffect* effect = plugin->Effect();
    if (kind < 212) {
      const int32_t opcode = kind % 106 - 5;
      if (opcode == effClose) {
        plugin->Close();
        plugin = fuzz::NewInstance(fuzz::CheckedConfig());
        continue;
      }
      Dispatch(*plugin, opcode, in);
    } else if (kind < 228) {
      int32_t index = in.OddIndex();
      effect->setParameter(effect, index, in.OddFloat());
    } else if (kind < 240) {
      const float value = effect->getParameter(effect, in.OddIndex());
      fuzz::Require(!std::isnan(value), "a parameter never reads as NaN");
    } else if (kind < 248) {
      static const int32_t frames[] = {0, 1, 2, 63, 64, 512, 1024, 4096};
      const int32_t length = frames[in.U8() % 8];
      fuzz::RunBlock(effect, length, in.Bit());
    } else if (kind < 252) {
      host.Pump();
      plugin->Dispatch(effEditIdle);
    } else if (kind < 254) {
      if (reloads < kMaxReloads) {
        ++reloads;
        plugin->Dispatch(effEditClose);
        plugin->Close();
        plugin = fuzz::NewInstance(fuzz::CheckedConfig());
      }
    } else {
      // A host may close its display connection any time after
      // effEditClose, and hand a new one with the next effEditOpen.
      plugin->Dispatch(effEditClose);
      host.Reconnect();
    }
    plugin->ClearReceived();
    plugin->ClearCallbacks();
  }
  fuzz::ReadAllParameters(plugin->Effect());
  plugin->Dispatch(effEditClose);
  plugin->Close();
  host.Pump();
  return 0;
}
