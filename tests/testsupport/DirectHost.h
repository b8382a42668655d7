// A minimal host callback for tests that build the plug-in's classes
// directly (in this process, without the host layer), and a block runner
// for them.
#pragma once

#include "plugin/AudioEffect.h"
#include "plugin/AudioEffectX.h"
#include "plugin/VstInterface.h"

#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

struct DirectHost
{
  // What the callback answers; shared by all directly built plug-ins.
  static inline std::string product = "direct test host";
  static inline VstIntPtr vendorVersion = 1;
  static inline VstIntPtr version = 2400;
  static inline std::mutex lock;
  static inline std::vector<int32_t> opcodes;
  // MIDI handed to the host, three bytes each.
  static inline std::vector<std::array<uint8_t, 3>> midi;

  static void Reset()
  {
    std::lock_guard<std::mutex> hold(lock);
    product = "direct test host";
    vendorVersion = 1;
    version = 2400;
    opcodes.clear();
    midi.clear();
  }

  static std::vector<std::array<uint8_t, 3>> Midi()
  {
    std::lock_guard<std::mutex> hold(lock);
    return midi;
  }

  static VstIntPtr Callback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
  {
    std::lock_guard<std::mutex> hold(lock);
    opcodes.push_back(opcode);
    switch (opcode) {
    case audioMasterVersion:
      return version;
    case audioMasterGetProductString:
      if (ptr)
        std::strncpy(static_cast<char*>(ptr), product.c_str(), 63);
      return 1;
    case audioMasterGetVendorVersion:
      return vendorVersion;
    case audioMasterProcessEvents: {
      auto* events = static_cast<VstEvents*>(ptr);
      for (int32_t i = 0; events && i < events->numEvents; ++i) {
        const auto* event = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
        midi.push_back({event->midiData[0], event->midiData[1], event->midiData[2]});
      }
      return 1;
    }
    default:
      return 0;
    }
  }
};

// Runs one block of silence through a directly built plug-in.
inline void RunDirectBlock(AudioEffect& effect, int32_t frames = 64)
{
  static float in[2][512];
  static float out[2][512];
  float* inputs[2] = {in[0], in[1]};
  float* outputs[2] = {out[0], out[1]};
  effect.processReplacing(inputs, outputs, frames);
}

// Hands one SysEx message (its bytes as they are) to a directly built
// plug-in, as a host's event between two blocks.
inline void HandSysEx(AudioEffectX& effect, const std::vector<uint8_t>& bytes)
{
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = static_cast<int32_t>(sizeof event) - 8;
  event.dumpBytes = static_cast<int32_t>(bytes.size());
  event.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data()));
  VstEventBlock<1> events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  effect.processEvents(events.AsEvents());
}

} // namespace testsupport
