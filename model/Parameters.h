// The plug-in's parameter table: every index, how each stored field encodes
// a parameter value (the scale factor k, the rounding, the getter's factor),
// and the MIDI status bytes that strips and incoming events are made of. The
// engine, the panel, quillet-host and the tests all take their numbers from
// here, so that a scale is written once.
//
// The host sees only 0 and 1; the editor reads and writes the others
// directly; 136 to 141 are notices to the editor and store nothing.
// 200 to 238 are the internal parameters of the message kinds, paced
// sending, learning, send on play and the SysEx gap (editor and
// quillet-host only); 236 and 237 are notices that also read a state; 239
// to 334 the wide fields of the NRPN, RPN and 14-bit CC messages; 335 a
// notice of a changed SysEx list; 336 to 341 the send settings and the
// verify result.
//
// Part of the chunk format's definition (with VSTPluginProgram.h): it
// includes nothing but the record and the standard library. Constants and
// pure functions only, callable from any thread, the audio thread included.
#pragma once

#include "model/VSTPluginProgram.h"

#include <cmath>
#include <cstdint>

namespace param {

// ------------------------------------------------------------- indices

constexpr int32_t kResend = 0; // trigger: only the rise sends
constexpr int32_t kThru = 1;
constexpr int32_t kUnused = 2;
constexpr int32_t kSendOnInit = 3;
constexpr int32_t kInitDelay = 4;
constexpr int32_t kSendOnChange = 5;
constexpr int32_t kChangeDelay = 6;
constexpr int32_t kPresetSwitching = 7;
// Strip fields: base + strip index (0..15).
constexpr int32_t kFormatA = 8;
constexpr int32_t kFormatB = 24;
constexpr int32_t kChannelA = 40;
constexpr int32_t kChannelB = 56;
constexpr int32_t kNumberA = 72;
constexpr int32_t kNumberB = 88;
constexpr int32_t kValueA = 104;
constexpr int32_t kValueB = 120;
constexpr int32_t kStripEnd = 136;
// Notices: they store nothing and only wake the open editor. On the first
// two the panel lays its strip columns out again; the third does nothing.
constexpr int32_t kLayoutNotice = 136;
constexpr int32_t kLayoutNoticeAlso = 137;
constexpr int32_t kSpareNotice = 138;
// Countdown notices, sent by the countdown thread.
constexpr int32_t kCountdownState = 139; // started or finished
constexpr int32_t kCountdownTick = 140;  // once per second
constexpr int32_t kCountdownEnd = 141;   // after the send or on cancel
constexpr int32_t kCount = 142;

// Internal parameters: base + strip index (0..15) for the kinds.
constexpr int32_t kExtendedFirst = 200;
constexpr int32_t kKindA = 200; // 1.0 = message A is a Program Change
constexpr int32_t kKindB = 216;
constexpr int32_t kSpacing = 232;    // ms / 250
constexpr int32_t kSettle = 233;     // ms / 2000
constexpr int32_t kLearn = 234;      // switch; a session state, never stored
constexpr int32_t kSendOnPlay = 235; // switch, stored
// Notices that read a state: learning is full (16 strips, no free slot, a
// new message refused), a paced send is in progress.
constexpr int32_t kLearnNotice = 236;
constexpr int32_t kPacedNotice = 237;
constexpr int32_t kSysExGap = 238; // ms / 2000, the pause after each SysEx message
constexpr int32_t kExtendedEnd = 239;
// The wide fields of NRPN, RPN and 14-bit CC messages (MessageKinds.h):
// base + strip index. A number or value is value × 16383, the options
// (bit 0 a 14-bit value, bit 1 the null after) value × 3.
constexpr int32_t kWideNumberA = 239;
constexpr int32_t kWideNumberB = 255;
constexpr int32_t kWideValueA = 271;
constexpr int32_t kWideValueB = 287;
constexpr int32_t kWideOptionsA = 303;
constexpr int32_t kWideOptionsB = 319;
constexpr int32_t kWideEnd = 335;
// Notice: the current program's SysEx list changed (learning replaced or
// added a message). Stores nothing, reads 0.
constexpr int32_t kSysExNotice = 335;
// The bank's send settings (model/SysExVerify.h): the verify time (ms /
// 5000, 0 off), the retries (n / 3), changes only and DIN speed
// (switches); then two that store nothing: the last verify result's code
// / 3 (also the notice of a new result) and the number of results so far
// (a count, not 0 to 1).
constexpr int32_t kSendSettingsFirst = 336;
constexpr int32_t kVerifyTime = 336;
constexpr int32_t kRetries = 337;
constexpr int32_t kChangesOnly = 338;
constexpr int32_t kDinSpeed = 339;
constexpr int32_t kVerifyNotice = 340;
constexpr int32_t kVerifyCount = 341;
constexpr int32_t kSendSettingsEnd = 342;

// ----------------------------------------------------------- encodings

// Switches (0, 1, 3, 5, 7) are on above this value when written and read
// back as 1.0 or 0.0.
constexpr float kSwitchThreshold = 0.5f;
// An option read as a parameter counts as on from this value.
constexpr float kOptionOn = 1e-10f;

inline bool SwitchOn(float value) noexcept
{
  return value > kSwitchThreshold;
}

// How a stored field holds a parameter value: setParameter stores
// Encode(value, scale), getParameter gives stored × factor.
struct Encoding
{
  int32_t scale;
  float factor;
};

constexpr Encoding kSwitch{1, 1.0f};
constexpr Encoding kDelay{999, 1.0f / 999.0f}; // 0.001001001 in single precision
constexpr Encoding kFormat{2, 0.5f};
constexpr Encoding kChannel{16, 0.0625f};
constexpr Encoding kByte{128, 0.0078125f}; // numbers and values
constexpr Encoding kKind{1, 1.0f};         // 1 Program Change, else by kind byte (KindParameter)
constexpr Encoding kWideField{16383, 1.0f / 16383.0f};
constexpr Encoding kWideOptions{3, 1.0f / 3.0f};
constexpr Encoding kSpacingMs{250, 1.0f / 250.0f};
constexpr Encoding kSettleMs{2000, 1.0f / 2000.0f};
constexpr Encoding kSysExGapMs{2000, 1.0f / 2000.0f};
constexpr Encoding kVerifyMs{5000, 1.0f / 5000.0f};
constexpr Encoding kRetryCount{3, 1.0f / 3.0f};

// value × k taken to single precision, then rounded to the nearest integer,
// halves upward. It saturates instead of converting a float that no int32
// holds: NaN gives 0, anything beyond the range its nearer end.
inline int32_t Encode(float value, int32_t k) noexcept
{
  const float product = value * static_cast<float>(k);
  const double rounded = std::floor(static_cast<double>(product) + 0.5);
  if (rounded != rounded)
    return 0;
  if (rounded >= 2147483647.0)
    return INT32_MAX;
  if (rounded <= -2147483648.0)
    return INT32_MIN;
  return static_cast<int32_t>(rounded);
}

// The getter: the stored integer times the factor, in single precision.
inline float Decode(int32_t stored, Encoding encoding) noexcept
{
  return static_cast<float>(stored) * encoding.factor;
}

// Delays are used within 0 to 999 seconds, whatever a chunk brought (the
// stored bytes keep what was loaded).
constexpr int32_t kMaxDelaySeconds = 999;

constexpr int32_t DelaySeconds(int32_t stored) noexcept
{
  return stored < 0 ? 0 : stored > kMaxDelaySeconds ? kMaxDelaySeconds : stored;
}

// The eight strip fields in index order: group g holds the field of strip s
// at index kFormatA + 16·g + s.
struct StripField
{
  int32_t first; // the index of strip 0's field
  uint8_t VSTPluginStrip::*field;
  Encoding encoding;
};

constexpr int32_t kStripGroups = 8;
constexpr StripField kStripFields[kStripGroups] = {
    {kFormatA, &VSTPluginStrip::formatA, kFormat},
    {kFormatB, &VSTPluginStrip::formatB, kFormat},
    {kChannelA, &VSTPluginStrip::channelA, kChannel},
    {kChannelB, &VSTPluginStrip::channelB, kChannel},
    {kNumberA, &VSTPluginStrip::numberA, kByte},
    {kNumberB, &VSTPluginStrip::numberB, kByte},
    {kValueA, &VSTPluginStrip::valueA, kByte},
    {kValueB, &VSTPluginStrip::valueB, kByte},
};

constexpr bool IsStripIndex(int32_t index) noexcept
{
  return index >= kFormatA && index < kStripEnd;
}
// For a strip index: its group (0..7) and its strip (0..15).
constexpr int32_t GroupOf(int32_t index) noexcept
{
  return (index - kFormatA) / kStripsPerProgram;
}
constexpr int32_t StripOf(int32_t index) noexcept
{
  return (index - kFormatA) % kStripsPerProgram;
}
constexpr int32_t StripIndex(int32_t group, int32_t strip) noexcept
{
  return kFormatA + kStripsPerProgram * group + strip;
}

constexpr bool IsKindIndex(int32_t index) noexcept
{
  return index >= kKindA && index < kKindB + kStripsPerProgram;
}
constexpr bool IsExtendedIndex(int32_t index) noexcept
{
  return index >= kExtendedFirst && index < kExtendedEnd;
}
// For a kind index: its message (0 = A, 1 = B) and its strip.
constexpr int32_t KindMessageOf(int32_t index) noexcept
{
  return (index - kKindA) / kStripsPerProgram;
}
constexpr int32_t KindStripOf(int32_t index) noexcept
{
  return (index - kKindA) % kStripsPerProgram;
}
constexpr int32_t KindIndex(int32_t message, int32_t strip) noexcept
{
  return kKindA + kStripsPerProgram * message + strip;
}

constexpr bool IsSendSettingIndex(int32_t index) noexcept
{
  return index >= kSendSettingsFirst && index < kSendSettingsEnd;
}

constexpr bool IsWideIndex(int32_t index) noexcept
{
  return index >= kWideNumberA && index < kWideEnd;
}
// For a wide index: its field (0 number, 1 value, 2 options), its message
// and its strip.
constexpr int32_t WideFieldOf(int32_t index) noexcept
{
  return (index - kWideNumberA) / (2 * kStripsPerProgram);
}
constexpr int32_t WideMessageOf(int32_t index) noexcept
{
  return (index - kWideNumberA) / kStripsPerProgram % 2;
}
constexpr int32_t WideStripOf(int32_t index) noexcept
{
  return (index - kWideNumberA) % kStripsPerProgram;
}
constexpr int32_t WideParameter(int32_t field, int32_t message, int32_t strip) noexcept
{
  return kWideNumberA + 2 * kStripsPerProgram * field + kStripsPerProgram * message + strip;
}
static_assert(WideParameter(2, 1, 15) == kWideEnd - 1);

// The encoding of a stored index: a switch, a delay, a strip field, a kind
// or a pacing time (the SysEx gap too). Other indices (the trigger, 2, the notices, the learn
// switch, anything outside) store nothing and get {0, 0}.
constexpr Encoding EncodingOf(int32_t index) noexcept
{
  if (IsStripIndex(index))
    return kStripFields[GroupOf(index)].encoding;
  if (IsKindIndex(index))
    return kKind;
  if (IsWideIndex(index))
    return WideFieldOf(index) == 2 ? kWideOptions : kWideField;
  switch (index) {
  case kSpacing:
    return kSpacingMs;
  case kSettle:
    return kSettleMs;
  case kSysExGap:
    return kSysExGapMs;
  case kVerifyTime:
    return kVerifyMs;
  case kRetries:
    return kRetryCount;
  case kChangesOnly:
  case kDinSpeed:
  case kThru:
  case kSendOnInit:
  case kSendOnChange:
  case kPresetSwitching:
  case kSendOnPlay:
    return kSwitch;
  case kInitDelay:
  case kChangeDelay:
    return kDelay;
  default:
    return Encoding{0, 0.0f};
  }
}

} // namespace param
