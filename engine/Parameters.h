// The plug-in's parameter indices. The host sees only 0 and 1; the editor
// reads and writes the others directly; 139 to 141 are countdown notices to
// the editor and store nothing.
#pragma once

#include <cstdint>

namespace param {

constexpr int32_t kResend = 0;
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
// Countdown notices.
constexpr int32_t kCountdownState = 139;
constexpr int32_t kCountdownTick = 140;
constexpr int32_t kCountdownEnd = 141;
constexpr int32_t kCount = 142;

// Scale factors of the stored fields.
constexpr int32_t kDelayScale = 999;
constexpr int32_t kFormatScale = 2;
constexpr int32_t kChannelScale = 16;
constexpr int32_t kByteScale = 128;

// An option read as a parameter counts as on from this value.
constexpr float kOptionOn = 1e-10f;

} // namespace param
