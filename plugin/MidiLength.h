// How many bytes a MIDI message takes, from its status byte: the one rule by
// which a host and a format adapter know how many of a VstMidiEvent's data
// bytes count (a Program Change travels in the same four bytes as a Control
// Change, but is two bytes long on the wire).
//
// Part of the binary interface, like VstInterface.h: it includes nothing,
// so the host layer and the format adapters can share it. A pure function,
// callable from any thread, the audio thread included.
#pragma once

#include <cstdint>

// 1 to 3 for a message that fits a VstMidiEvent; 0 for a byte that starts
// no such message: a data byte (no status), or the start or end of a System
// Exclusive message, whose length only its own bytes tell.
constexpr int32_t MidiMessageLength(uint8_t status) noexcept
{
  if (status < 0x80)
    return 0;
  switch (status & 0xF0) {
  case 0xC0: // Program Change
  case 0xD0: // Channel Pressure
    return 2;
  case 0xF0:
    break;
  default: // Note Off and On, Poly Pressure, Control Change, Pitch Bend
    return 3;
  }
  switch (status) {
  case 0xF0: // System Exclusive start
  case 0xF7: // and end
    return 0;
  case 0xF1: // MTC quarter frame
  case 0xF3: // Song Select
    return 2;
  case 0xF2: // Song Position
    return 3;
  default: // Tune Request, real-time messages and the undefined ones
    return 1;
  }
}

// The same rule as a table by status byte, for loops over many events.
struct MidiLengthTable
{
  int8_t length[256];
  constexpr MidiLengthTable() : length()
  {
    for (int status = 0; status < 256; ++status)
      length[status] = static_cast<int8_t>(MidiMessageLength(static_cast<uint8_t>(status)));
  }
  constexpr int32_t operator[](uint8_t status) const { return length[status]; }
};
inline constexpr MidiLengthTable kMidiLengths{};

static_assert(kMidiLengths[0xC5] == 2 && kMidiLengths[0xF2] == 3 && kMidiLengths[0xF7] == 0);
static_assert(MidiMessageLength(0xC5) == 2 && MidiMessageLength(0xB0) == 3 &&
              MidiMessageLength(0xF8) == 1 && MidiMessageLength(0xF0) == 0 &&
              MidiMessageLength(0x40) == 0);
