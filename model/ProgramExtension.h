// The extension block that follows the program records in a chunk: the kind
// of every strip message (Control Change or Note by the format byte, or
// Program Change), the real channel of a Program Change message, and the
// settings of paced sending and send on play.
//
// The block is written only when one of these settings is in use; without
// it a chunk is exactly the records, as older builds read and write it. A
// Program Change message keeps channel 0 in its record (so a reader that
// knows only the records sees it switched off) and its channel here.
//
// Layout (little-endian, fixed widths):
//   bank chunk     35,328 bytes of records, header, 128 program extensions
//   program chunk     276 bytes of record,  header, 1 program extension
//
// Part of the chunk format's definition (with VSTPluginProgram.h): standard
// library only. Threads: the live extensions are shared field by field
// exactly as the records are (field::Load/Store on every access).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Message kinds kept in the extension.
constexpr uint8_t kKindByFormat = 0;      // Control Change or Note On, by the format byte
constexpr uint8_t kKindProgramChange = 1; // the number byte is the program + 1

struct ExtensionHeader
{
  char magic[4]; // 'Q','X','E','X'
  int32_t version;
  int32_t spacingMs;  // 0..250, clamped where used
  int32_t settleMs;   // 0..2000, clamped where used
  uint8_t sendOnPlay; // 0/1
  uint8_t reserved[7];
};
static_assert(offsetof(ExtensionHeader, magic) == 0);
static_assert(offsetof(ExtensionHeader, version) == 4);
static_assert(offsetof(ExtensionHeader, spacingMs) == 8);
static_assert(offsetof(ExtensionHeader, settleMs) == 12);
static_assert(offsetof(ExtensionHeader, sendOnPlay) == 16);
static_assert(offsetof(ExtensionHeader, reserved) == 17);
static_assert(sizeof(ExtensionHeader) == 24);

// One per program, strip by strip.
struct ProgramExtension
{
  uint8_t kindA[16];
  uint8_t kindB[16];
  uint8_t channelA[16]; // the channel (1..16) of a Program Change message, else 0
  uint8_t channelB[16];
};
static_assert(offsetof(ProgramExtension, kindA) == 0);
static_assert(offsetof(ProgramExtension, kindB) == 16);
static_assert(offsetof(ProgramExtension, channelA) == 32);
static_assert(offsetof(ProgramExtension, channelB) == 48);
static_assert(sizeof(ProgramExtension) == 64);
static_assert(std::is_trivially_copyable_v<ProgramExtension> &&
              std::is_standard_layout_v<ProgramExtension>);

constexpr char kExtensionMagic[4] = {'Q', 'X', 'E', 'X'};
constexpr int32_t kExtensionVersion = 1;
constexpr int32_t kMaxSpacingMs = 250;
constexpr int32_t kMaxSettleMs = 2000;

constexpr int32_t kBankExtensionBytes =
    static_cast<int32_t>(sizeof(ExtensionHeader) + 128 * sizeof(ProgramExtension));
constexpr int32_t kProgramExtensionBytes =
    static_cast<int32_t>(sizeof(ExtensionHeader) + sizeof(ProgramExtension));
static_assert(kBankExtensionBytes == 8216);
static_assert(kProgramExtensionBytes == 88);

// The global settings of the extension header, as the plug-in keeps them.
struct ExtensionSettings
{
  int32_t spacingMs;
  int32_t settleMs;
  uint8_t sendOnPlay;
};

constexpr int32_t ClampMs(int32_t ms, int32_t most) noexcept
{
  return ms < 0 ? 0 : ms > most ? most : ms;
}
