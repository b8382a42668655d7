// The program record: up to 16 strips of two stored MIDI messages, their
// display order and the options. The record is also the unit of the program
// and bank chunks, which store it byte for byte, so its layout is fixed
// (little-endian, 276 bytes) and checked below.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kStripsPerProgram = 16;
constexpr int kProgramNameSize = 48;
// Marks an empty slot in stripOrder.
constexpr int32_t kNoStrip = 16;

// One strip: messages A and B side by side. A message is sent only when its
// channel, number and value are all non-zero; numbers and values are stored
// plus one.
struct VSTPluginStrip
{
  uint8_t inUse;   // 1 = the strip exists (shown and sent)
  uint8_t formatA; // 0 = Control Change, anything else = Note On
  uint8_t formatB;
  uint8_t channelA; // 0 = off, 1..16 = MIDI channel
  uint8_t channelB;
  uint8_t numberA; // 0 = off, 1..128 = controller or note + 1
  uint8_t numberB;
  uint8_t valueA; // 0 = off, 1..128 = value or velocity + 1
  uint8_t valueB;
};
static_assert(sizeof(VSTPluginStrip) == 9);

struct VSTPluginProgram
{
  char name[kProgramNameSize];
  VSTPluginStrip strips[kStripsPerProgram];
  int32_t stripOrder[kStripsPerProgram];
  int32_t stripCount;
  uint8_t reserved;
  uint8_t midiThru;        // per program
  uint8_t presetSwitching; // the rest are global in effect
  uint8_t sendOnChange;
  uint8_t sendOnInit;
  uint8_t alignment[3]; // always zero, so that equal states give equal chunks
  int32_t initDelay;
  int32_t changeDelay;
};

static_assert(offsetof(VSTPluginProgram, name) == 0);
static_assert(offsetof(VSTPluginProgram, strips) == 48);
static_assert(offsetof(VSTPluginProgram, stripOrder) == 192);
static_assert(offsetof(VSTPluginProgram, stripCount) == 256);
static_assert(offsetof(VSTPluginProgram, reserved) == 260);
static_assert(offsetof(VSTPluginProgram, midiThru) == 261);
static_assert(offsetof(VSTPluginProgram, presetSwitching) == 262);
static_assert(offsetof(VSTPluginProgram, sendOnChange) == 263);
static_assert(offsetof(VSTPluginProgram, sendOnInit) == 264);
static_assert(offsetof(VSTPluginProgram, alignment) == 265);
static_assert(offsetof(VSTPluginProgram, initDelay) == 268);
static_assert(offsetof(VSTPluginProgram, changeDelay) == 272);
static_assert(sizeof(VSTPluginProgram) == 276);

// A fresh record with the given name: strip 0 in use and listed, no options,
// an init delay of 5 seconds.
void InitProgram(VSTPluginProgram& program, const char* name);
