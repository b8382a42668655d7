// The MIDI byte rules: the names of the status bytes, the masks that split a
// status byte into its kind and channel and keep a data byte's seven bits,
// and how many bytes a message takes by its status byte. Whatever of ours
// tests or writes a status byte (the model's message kinds, the engine's
// MIDI through, the host layer, the format adapter) uses these names.
//
// A layer of its own that includes nothing of ours, so that every layer may
// share it. Constants and pure functions: any thread, the audio thread
// included.
#pragma once

#include <cstdint>

namespace midi {

// The channel messages' status bytes on channel 1 (the low nibble carries
// the channel).
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kPolyPressure = 0xA0;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kChannelPressure = 0xD0;
constexpr uint8_t kPitchBend = 0xE0;
// The high nibble of every system message.
constexpr uint8_t kSystem = 0xF0;
// The system messages whose length is not 1.
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kTimeCode = 0xF1; // MTC quarter frame
constexpr uint8_t kSongPosition = 0xF2;
constexpr uint8_t kSongSelect = 0xF3;
constexpr uint8_t kSysExEnd = 0xF7;

// A status byte has its high bit set, a data byte never.
constexpr uint8_t kStatusBit = 0x80;
constexpr uint8_t kStatusMask = 0xF0;
constexpr uint8_t kChannelMask = 0x0F;
constexpr uint8_t kDataMask = 0x7F;

constexpr bool IsStatus(uint8_t byte) noexcept
{
  return (byte & kStatusBit) != 0;
}

// How many bytes a message takes, from its status byte: 1 to 3 for a message
// that fits a VstMidiEvent; 0 for a byte that starts no such message: a data
// byte (no status), or the start or end of a System Exclusive message, whose
// length only its own bytes tell. This is how a host and a format adapter
// know how many of a VstMidiEvent's data bytes count (a Program Change
// travels in the same four bytes as a Control Change, but is two bytes long
// on the wire).
constexpr int32_t MessageLength(uint8_t status) noexcept
{
  if (!IsStatus(status))
    return 0;
  switch (status & kStatusMask) {
  case kProgramChange:
  case kChannelPressure:
    return 2;
  case kSystem:
    break;
  default: // Note Off and On, Poly Pressure, Control Change, Pitch Bend
    return 3;
  }
  switch (status) {
  case kSysExStart:
  case kSysExEnd:
    return 0;
  case kTimeCode:
  case kSongSelect:
    return 2;
  case kSongPosition:
    return 3;
  default: // Tune Request, real-time messages and the undefined ones
    return 1;
  }
}

// The same rule as a table by status byte, for loops over many events.
struct LengthTable
{
  int8_t length[256];
  constexpr LengthTable() : length()
  {
    for (int status = 0; status < 256; ++status)
      length[status] = static_cast<int8_t>(MessageLength(static_cast<uint8_t>(status)));
  }
  constexpr int32_t operator[](uint8_t status) const { return length[status]; }
};
inline constexpr LengthTable kLengths{};

// By status byte, for loops over messages held in a word of bytes (first
// byte lowest): the message's length in the high half and the mask that
// cuts a word to it in the low half, so that one load tells both; 0 for a
// byte that starts no message of one to three bytes.
struct ShortMessageTable
{
  uint64_t entry[256];
  constexpr ShortMessageTable() : entry()
  {
    for (int status = 0; status < 256; ++status) {
      const int32_t length = MessageLength(static_cast<uint8_t>(status));
      entry[status] = length <= 0 || length > 3
                          ? 0
                          : uint64_t(length) << 32 | ((uint64_t{1} << (8 * length)) - 1);
    }
  }
  constexpr uint64_t operator[](uint8_t status) const { return entry[status]; }
};
inline constexpr ShortMessageTable kShortMessages{};
static_assert(kShortMessages[0xC3] == (uint64_t{2} << 32 | 0xFFFF) &&
              kShortMessages[0xF8] == (uint64_t{1} << 32 | 0xFF) && kShortMessages[0xF0] == 0 &&
              kShortMessages[0x40] == 0);

// The one test of a short message held in a word of bytes (first byte
// lowest): returns the length of the whole message of one to three bytes it
// holds and cuts `word` to it; returns 0 where the first byte starts no
// such message or a data byte within that length has its high bit set.
// Branch-free, for the loops over many events.
constexpr uint32_t CutShortMessage(uint32_t& word) noexcept
{
  // The high bit of each byte of a message: the status byte's alone.
  constexpr uint32_t kHighBits = 0x808080;
  const uint64_t message = kShortMessages[static_cast<uint8_t>(word)];
  word &= static_cast<uint32_t>(message);
  const uint32_t whole = (word & kHighBits) == kStatusBit ? ~0u : 0u;
  return static_cast<uint32_t>(message >> 32) & whole;
}

// Calls `visit(bytes, length)` for each whole message of the `size` bytes at
// `bytes`, in order (messages of 1 to 3 bytes, by their status); stops at a
// byte that starts none and at a message cut short. Returns how many it
// visited.
template <typename Visit>
constexpr int32_t ForEachMessage(const uint8_t* bytes, int32_t size, Visit&& visit) noexcept
{
  int32_t messages = 0;
  for (int32_t at = 0; at < size;) {
    const int32_t length = kLengths[bytes[at]];
    if (length == 0 || at + length > size)
      break;
    visit(bytes + at, length);
    at += length;
    ++messages;
  }
  return messages;
}

// Each case: a word, the length it holds and the word cut to it.
static_assert([] {
  constexpr uint32_t kCases[][3] = {
      {0xAA7F4090, 3, 0x7F4090}, // Note On, padding cut off
      {0xAA7F40C3, 2, 0x40C3},   // Program Change: its 2 bytes
      {0x00FFFFF8, 1, 0xF8},     // a clock: 1 byte, whatever follows
      {0x00804090, 0, 0},        // a data byte of 128
      {0x000080C0, 0, 0},        // a Program Change to program 128
      {0x00007F40, 0, 0},        // a data byte first
      {0x000040F0, 0, 0},        // SysEx: no short message
  };
  for (const auto& c : kCases) {
    uint32_t word = c[0];
    const uint32_t length = CutShortMessage(word);
    if (length != c[1] || (length != 0 && word != c[2]))
      return false;
  }
  return true;
}());
static_assert(kLengths[0xC5] == 2 && kLengths[0xF2] == 3 && kLengths[0xF7] == 0);
static_assert(MessageLength(0xC5) == 2 && MessageLength(0xB0) == 3 && MessageLength(0xF8) == 1 &&
              MessageLength(0xF0) == 0 && MessageLength(0x40) == 0 && MessageLength(0xD3) == 2 &&
              MessageLength(0xE0) == 3 && MessageLength(0xF1) == 2);

} // namespace midi
