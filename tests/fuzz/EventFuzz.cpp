// Fuzz target: the host's event lists. Lists of 0 to 1000 events of any
// type, byte size, delta frames (INT32_MIN and INT32_MAX among them) and
// data bytes reach the plug-in through
// effProcessEvents, between audio blocks of odd lengths, while thru, preset
// switching, send on change and stored strips decide what comes out.
//
// Every event record is allocated on its own with 64 bytes, so that a read
// past what a host hands over is caught; a list's pointers are always valid.
// Every block the plug-in sends back is checked (at most 256 MIDI events of
// 24 bytes, each starting with a status byte).
//
// Input:
//   byte 0      options: bit 0 thru, 1 preset switching, 2 send on change,
//               3 strips stored (a count byte, then per program its number
//               and four bytes), 4 process instead of
//               processReplacing, 5 suspended at times
//   then steps, each a kind byte:
//     0..159    an event list: a 16-bit count (0..1000) and a template of
//               8 bytes; the events are the template varied by their index
//               or, when bit 7 of the template's last byte is set, by one
//               input byte each; then the length of the block that follows
//     160..199  an audio block of an odd length
//     200..219  a resend
//     220..229  thru switched
//     230..239  a program selected
//     240..247  suspend, a block, resume
//     248..255  several lists before one block
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>
#include <memory>

namespace {

constexpr int kMaxEvents = 1000;
constexpr int kMaxSteps = 64;
constexpr size_t kEventBytes = 64;

struct EventList
{
  std::vector<std::unique_ptr<uint8_t[]>> records;
  std::vector<uint8_t> block; // VstEvents with room for every pointer

  VstEvents* Events() { return reinterpret_cast<VstEvents*>(block.data()); }
};

void MakeList(EventList& list, fuzz::Bytes& in)
{
  const int count = in.U16() % (kMaxEvents + 1);
  uint8_t templ[8];
  for (uint8_t& byte : templ)
    byte = in.U8();
  list.block.assign(sizeof(VstEvents) + sizeof(VstEvent*) * static_cast<size_t>(count), 0);
  VstEvents* events = list.Events();
  events->numEvents = count;
  auto** pointers = reinterpret_cast<VstEvent**>(list.block.data() + offsetof(VstEvents, events));
  for (int i = 0; i < count; ++i) {
    list.records.emplace_back(new uint8_t[kEventBytes]());
    auto* event = reinterpret_cast<VstMidiEvent*>(list.records.back().get());
    // Template byte 7 bit 7: each event takes one more input byte to vary by
    // (else its index varies it).
    const uint8_t vary = templ[7] & 0x80 ? in.U8() : static_cast<uint8_t>(i);
    // Mostly MIDI events of the right size; now and then anything.
    switch (templ[0] % 8) {
    case 0:
      event->type = static_cast<int32_t>(vary % 8);
      break;
    case 1:
      event->type = static_cast<int32_t>(templ[1]) - 128;
      break;
    default:
      event->type = kVstMidiType;
      break;
    }
    static const int32_t sizes[] = {24, 24, 24, 24, 0, -1, 8, 32, 1000, 0x7FFFFFFF};
    event->byteSize = sizes[(templ[1] + (templ[0] & 0x40 ? vary : 0)) % 10];
    // Template byte 0 bit 5: delta frames at the ends of their range.
    static const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, -1};
    if (templ[0] & 0x20)
      event->deltaFrames = extremes[vary % 5];
    else
      event->deltaFrames = templ[2] & 0x80 ? static_cast<int32_t>(templ[2]) * -1000 + i
                                           : static_cast<int32_t>(templ[2]) * i;
    event->flags = templ[3] & 1;
    event->noteLength = templ[3];
    event->noteOffset = -static_cast<int32_t>(templ[3]);
    event->midiData[0] = static_cast<uint8_t>(templ[4] + (templ[7] & 1 ? vary : 0));
    event->midiData[1] = static_cast<uint8_t>(templ[5] + (templ[7] & 2 ? vary : i));
    event->midiData[2] = static_cast<uint8_t>(templ[6] ^ (templ[7] & 4 ? vary : 0));
    event->midiData[3] = templ[7];
    event->detune = static_cast<int8_t>(vary);
    event->noteOffVelocity = templ[6];
    pointers[i] = reinterpret_cast<VstEvent*>(event);
  }
}

void Hand(qhost::PluginInstance& plugin, fuzz::Bytes& in)
{
  EventList list;
  MakeList(list, in);
  plugin.Dispatch(effProcessEvents, 0, 0, list.Events());
}

void StoreStrip(qhost::PluginInstance& plugin, fuzz::Bytes& in)
{
  // Strip 0 of one to eight programs: a Control Change and a Note On.
  const int programs = 1 + in.U8() % 8;
  for (int k = 0; k < programs; ++k) {
    plugin.SelectProgram(in.U8() % 128);
    plugin.SetParameter(40, static_cast<float>(1 + in.U8() % 16) / 16.0f);
    plugin.SetParameter(72, static_cast<float>(1 + in.U8() % 128) / 128.0f);
    plugin.SetParameter(104, static_cast<float>(1 + in.U8() % 128) / 128.0f);
    plugin.SetParameter(24, 1.0f);
    plugin.SetParameter(56, 1.0f / 16.0f);
    plugin.SetParameter(88, static_cast<float>(1 + in.U8() % 128) / 128.0f);
    plugin.SetParameter(120, 1.0f);
  }
  plugin.SelectProgram(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::Bytes in(data, size);
  auto plugin = fuzz::NewInstance(fuzz::CheckedConfig());
  AEffect* effect = plugin->Effect();
  const uint8_t options = in.U8();
  const bool accumulating = (options & 16) != 0;
  if (options & 8)
    StoreStrip(*plugin, in);
  // The options are global in effect: every program gets them.
  plugin->SetParameter(7, options & 2 ? 1.0f : 0.0f);
  plugin->SetParameter(5, options & 4 ? 1.0f : 0.0f);
  plugin->SetParameter(6, 0.0f); // change sends at once
  for (int program = 0; program < 128; ++program) {
    plugin->SelectProgram(program);
    plugin->SetParameter(1, options & 1 ? 1.0f : 0.0f);
  }
  plugin->SelectProgram(0);
  // Selecting programs whose thru was still off asked for a release of held
  // notes, which drops the input of the next two blocks.
  fuzz::RunBlock(effect, 64, accumulating);
  fuzz::RunBlock(effect, 64, accumulating);

  static const int32_t frames[] = {0, 1, 16, 64, 128, 512, 1024, 4096};
  for (int step = 0; step < kMaxSteps && !in.Empty(); ++step) {
    const uint8_t kind = in.U8();
    if (kind < 160) {
      Hand(*plugin, in);
      fuzz::RunBlock(effect, frames[in.U8() % 8], accumulating);
    } else if (kind < 200) {
      fuzz::RunBlock(effect, frames[in.U8() % 8], accumulating);
    } else if (kind < 220) {
      plugin->SetParameter(0, 1.0f);
      plugin->SetParameter(0, 0.0f);
    } else if (kind < 230) {
      plugin->SetParameter(1, in.Bit() ? 1.0f : 0.0f);
    } else if (kind < 240) {
      plugin->SelectProgram(in.U8() % 128);
    } else if (kind < 248) {
      if (options & 32) {
        plugin->Suspend();
        Hand(*plugin, in);
        fuzz::RunBlock(effect, 64, accumulating);
        plugin->Resume();
      }
    } else {
      const int lists = 1 + in.U8() % 4;
      for (int i = 0; i < lists; ++i)
        Hand(*plugin, in);
      fuzz::RunBlock(effect, frames[in.U8() % 8], accumulating);
    }
    plugin->ClearReceived();
    plugin->ClearCallbacks();
  }
  // Two more blocks let a release of held notes finish.
  fuzz::RunBlock(effect, 64, accumulating);
  fuzz::RunBlock(effect, 64, accumulating);
  plugin->Close();
  return 0;
}
