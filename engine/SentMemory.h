// SentMemory: what each MIDI channel was last sent in this session, for
// "Changes only": the value of every controller, the Program Change, the
// pitch bend and the channel pressure, and a fingerprint of the SysEx
// messages of the last send. A send of a program whose Program Change (and
// Bank Select) a channel was last sent already skips those and every
// message the channel holds already; a different Program Change sends
// everything, and forgets the controllers it resets.
//
// A session state, never stored. Threads: the audio thread alone (the paced
// sender's start of a send); other threads only ask for it to be forgotten
// (Forget, an atomic flag), for instance when a send went past it. Fixed
// arrays: nothing allocates.
#pragma once

#include "midi/MidiBytes.h"

#include <atomic>
#include <cstdint>
#include <cstring>

class SentMemory
{
public:
  static constexpr int16_t kUnknown = -1;

  // Any thread: everything is forgotten before the next use.
  void Forget() noexcept { stale.store(true, std::memory_order_relaxed); }

  // Audio thread, at the start of a send: takes up a Forget.
  void Begin() noexcept
  {
    if (stale.exchange(false, std::memory_order_relaxed))
      Clear();
  }

  void Clear() noexcept
  {
    for (Channel& channel : channels) {
      for (int16_t& value : channel.controller)
        value = kUnknown;
      channel.program = kUnknown;
      channel.bend = -1;
      channel.pressure = kUnknown;
    }
    sysexPrint = 0;
    sysexKnown = false;
  }

  // Whether channel `channel` (0..15) was last sent Program Change
  // `program`, with the Bank Select values given (kUnknown: the send has
  // none) equal to those it was last sent.
  bool SamePatch(int32_t channel, int16_t program, int16_t bankMsb, int16_t bankLsb) const noexcept
  {
    const Channel& c = channels[channel & 15];
    return c.program == program && (bankMsb == kUnknown || c.controller[0] == bankMsb) &&
           (bankLsb == kUnknown || c.controller[32] == bankLsb);
  }

  // Whether the one MIDI message `bytes` (its length by its status) would
  // change nothing the channel was last sent. Notes and everything without
  // a channel always count as a change.
  bool Holds(const uint8_t* bytes) const noexcept
  {
    const Channel& c = channels[bytes[0] & midi::kChannelMask];
    switch (bytes[0] & 0xF0) {
    case midi::kControlChange:
      return c.controller[bytes[1] & midi::kDataMask] == bytes[2];
    case midi::kProgramChange:
      return c.program == bytes[1];
    case midi::kChannelPressure:
      return c.pressure == bytes[1];
    case midi::kPitchBend:
      return c.bend == (bytes[1] | bytes[2] << 7);
    default:
      return false;
    }
  }

  // The one MIDI message `bytes` was sent. A Program Change resets the
  // synth's patch: of the controllers only the Bank Select stays known.
  void Sent(const uint8_t* bytes) noexcept
  {
    Channel& c = channels[bytes[0] & midi::kChannelMask];
    switch (bytes[0] & 0xF0) {
    case midi::kControlChange:
      c.controller[bytes[1] & midi::kDataMask] = bytes[2];
      break;
    case midi::kProgramChange: {
      const int16_t msb = c.controller[0];
      const int16_t lsb = c.controller[32];
      for (int16_t& value : c.controller)
        value = kUnknown;
      c.controller[0] = msb;
      c.controller[32] = lsb;
      c.program = bytes[1];
      c.pressure = kUnknown;
      c.bend = -1;
      break;
    }
    case midi::kChannelPressure:
      c.pressure = bytes[1];
      break;
    case midi::kPitchBend:
      c.bend = static_cast<int16_t>(bytes[1] | bytes[2] << 7);
      break;
    default:
      break;
    }
  }

  // The SysEx messages of the last send, by a fingerprint of their bytes.
  bool SysExSame(uint64_t print) const noexcept { return sysexKnown && sysexPrint == print; }
  void SysExSent(uint64_t print) noexcept
  {
    sysexPrint = print;
    sysexKnown = true;
  }
  void SysExForget() noexcept { sysexKnown = false; }

private:
  struct Channel
  {
    int16_t controller[128];
    int16_t program;
    int16_t bend;
    int16_t pressure;
  };
  Channel channels[16] = {};
  uint64_t sysexPrint = 0;
  bool sysexKnown = false;
  // Set by Forget (any thread), taken by Begin (the audio thread). Starts
  // set, so the first send finds everything unknown.
  std::atomic<bool> stale{true};
};
