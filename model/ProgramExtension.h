// The extension block that follows the program records in a chunk: the kind
// of every strip message (MessageKinds.h), the real channel of a message
// that is not a Control Change or Note, and the settings of paced sending
// and send on play; from version 2 on a tail with the wide kinds' fields
// (NRPN, RPN, 14-bit CC, Pitch Bend), the SysEx gap and each program's
// SysEx (from version 4 with its don't-care bytes).
//
// The block is written only when one of these settings is in use, and the
// tail only when one of its own is: without them a chunk is exactly what
// older builds read and write. A message kept here has channel 0 in its
// record (so a reader that knows only the records sees it switched off).
//
// Layout (little-endian, fixed widths):
//   bank chunk     35,328 bytes of records, header, 128 × 64 bytes of kinds
//                  [, ExtensionTail, 128 × WideMessages, 128 SysEx sections
//                  [, 128 don't-care sections]]
//   program chunk     276 bytes of record,  header, 64 bytes of kinds
//                  [, ExtensionTail, WideMessages, one SysEx section
//                  [, one don't-care section]]
// The reader and writer are VSTPluginProgramBank's (the only ones).
//
// Part of the chunk format's definition (with VSTPluginProgram.h): standard
// library only. Threads: the live extensions are shared field by field
// exactly as the records are (field::Load/Store on every access).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Message kinds kept in the extension: every kind's byte is its line in
// the table of MessageKinds.cpp, where its rules are. These two have a
// meaning of their own: 0 is no kind (the format byte says Control Change
// or Note On), and the Program Change's parameter is 1.0.
constexpr uint8_t kKindByFormat = 0;
constexpr uint8_t kKindProgramChange = 1; // the number byte is the program + 1
// Room for kinds: the kind parameter (200 to 231) names the kind bytes up
// to this one (MessageKinds.h, KindParameter), so a kind byte above it
// could be stored but never set. Raising it needs another encoding of the
// parameter.
constexpr uint8_t kMaxKindByte = 16;

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

// The wide fields of a program's 32 messages (index 2 · strip + message):
// the NRPN, RPN, 14-bit CC and Pitch Bend number, value (0..16383) and
// options (bit 0 a 14-bit value, bit 1 the null parameter after). Version 2 of the
// extension stores it per program, after the version-1 part.
struct WideMessages
{
  uint16_t number[32];
  uint16_t value[32];
  uint8_t options[32];
};
static_assert(offsetof(WideMessages, number) == 0);
static_assert(offsetof(WideMessages, value) == 64);
static_assert(offsetof(WideMessages, options) == 128);
static_assert(sizeof(WideMessages) == 160);

// One per program, strip by strip. The chunk's version-1 block is the
// first kProgramKindBytes (the kinds and channels); the wide fields follow
// in memory and go to the tail of a version-2 chunk.
struct ProgramExtension
{
  uint8_t kindA[16];
  uint8_t kindB[16];
  uint8_t channelA[16]; // the channel (1..16) of a message kept here, else 0
  uint8_t channelB[16];
  WideMessages wide;
};
static_assert(offsetof(ProgramExtension, kindA) == 0);
static_assert(offsetof(ProgramExtension, kindB) == 16);
static_assert(offsetof(ProgramExtension, channelA) == 32);
static_assert(offsetof(ProgramExtension, channelB) == 48);
static_assert(offsetof(ProgramExtension, wide) == 64);
static_assert(sizeof(ProgramExtension) == 224);
static_assert(std::is_trivially_copyable_v<ProgramExtension> &&
              std::is_standard_layout_v<ProgramExtension>);
// The per-program block of the chunk's version-1 part.
constexpr int32_t kProgramKindBytes = 64;

// The tail of a version-2 extension, after the version-1 part: this
// header, then WideMessages per program, then the SysEx section per
// program (SysEx.h). Version 3 is version 2 with the send settings in
// what version 2 keeps zero (verify, retries, changes only, DIN speed); it
// is written only when one of them is not at its default, so a bank that
// leaves them alone is byte for byte a version-2 (or older) chunk. Version
// 4 is version 3 (its send settings always written) with, after the SysEx
// sections, the don't-care section per program (SysEx.h); it is written
// only when a program written has a don't-care byte, so a bank without
// them is byte for byte a version-3 (or older) chunk, and a version-2 or 3
// reader loads the rest and says the chunk is from a newer version.
struct ExtensionTail
{
  int32_t tailBytes;   // the whole tail, this header included
  int32_t sysexGapMs;  // 0..2000
  uint16_t verifyMs;   // version 3: 0..5000 (0: verify off)
  uint8_t retries;     // version 3: 0..3
  uint8_t changesOnly; // version 3: 0/1
  uint8_t dinSpeed;    // version 3: 0/1
  uint8_t reserved[3];
};
static_assert(offsetof(ExtensionTail, tailBytes) == 0);
static_assert(offsetof(ExtensionTail, sysexGapMs) == 4);
static_assert(offsetof(ExtensionTail, verifyMs) == 8);
static_assert(offsetof(ExtensionTail, retries) == 10);
static_assert(offsetof(ExtensionTail, changesOnly) == 11);
static_assert(offsetof(ExtensionTail, dinSpeed) == 12);
static_assert(offsetof(ExtensionTail, reserved) == 13);
static_assert(sizeof(ExtensionTail) == 16);

constexpr char kExtensionMagic[4] = {'Q', 'X', 'E', 'X'};
constexpr int32_t kExtensionVersion = 1;         // kinds, channels, pacing, send on play
constexpr int32_t kWideExtensionVersion = 2;     // the tail: wide messages, SysEx
constexpr int32_t kSendExtensionVersion = 3;     // the tail with the send settings
constexpr int32_t kDontCareExtensionVersion = 4; // and the don't-care sections
constexpr int32_t kMaxSpacingMs = 250;
constexpr int32_t kMaxSettleMs = 2000;

constexpr int32_t kBankExtensionBytes =
    static_cast<int32_t>(sizeof(ExtensionHeader)) + 128 * kProgramKindBytes;
constexpr int32_t kProgramExtensionBytes =
    static_cast<int32_t>(sizeof(ExtensionHeader)) + kProgramKindBytes;
static_assert(kBankExtensionBytes == 8216);
static_assert(kProgramExtensionBytes == 88);

// The send settings of version 3: their ranges and defaults.
constexpr int32_t kMaxVerifyMs = 5000;
constexpr int32_t kDefaultVerifyMs = 2000;
constexpr int32_t kMaxRetries = 3;
constexpr int32_t kDefaultRetries = 1;

// The global settings of the extension header, as the plug-in keeps them.
struct ExtensionSettings
{
  int32_t spacingMs = 0;
  int32_t settleMs = 0;
  uint8_t sendOnPlay = 0;
  int32_t sysexGapMs = 0; // version 2
  // Version 3.
  int32_t verifyMs = kDefaultVerifyMs;
  int32_t retries = kDefaultRetries;
  uint8_t changesOnly = 0;
  uint8_t dinSpeed = 0;
};

constexpr int32_t ClampMs(int32_t ms, int32_t most) noexcept
{
  return ms < 0 ? 0 : ms > most ? most : ms;
}
