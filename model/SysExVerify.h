// Verify: whether a synth holds the dump a program sent it. After a send,
// the program's dump request goes out and the first reply that has a
// stored dump's header and length is compared with that dump, byte by
// byte, skipping the bytes the synth may answer differently (don't-care):
// the low nibble of the byte after the manufacturer id, which most synths
// use for their device number, and every byte the program marks (its
// SysExSet's don't-care bytes: a byte a strip changes, a checksum over it,
// a counter). Here are that rule, the result as the
// engine publishes it (one 64-bit word, so that any thread reads it whole)
// and its texts, shared by the engine, the editor, the LV2 edition and
// quillet-host; and the bank's send settings as parameters (verify time,
// retries, changes only, DIN speed), so that the engine and quillet-host
// store them by one rule.
//
// Pure functions: callable from any thread, the audio thread included; none
// allocates.
#pragma once

#include "model/Parameters.h"
#include "model/ProgramExtension.h"
#include "model/SysEx.h"

#include <cstdint>

enum class VerifyCode : uint32_t
{
  None = 0,
  Verified = 1,
  Differs = 2,
  NoAnswer = 3
};

struct VerifyResult
{
  VerifyCode code = VerifyCode::None;
  int32_t program = 0;
  int32_t bytes = 0;   // the stored dump's size (Verified, Differs)
  int32_t at = 0;      // Differs: the offset of the first byte that differs
  uint8_t sent = 0;    // Differs: the stored byte there
  uint8_t synth = 0;   // Differs: the synth's
  int32_t attempt = 1; // this try, 1 to tries
  int32_t tries = 1;   // retries + 1
  bool last = true;    // no try follows
};

// The bits of byte `index` of `stored` that a reply must match: 0x00 for a
// byte `marks` marks don't-care (never the F0 or the last byte; `marks`
// nullptr: none marked), 0x70 for the byte after the manufacturer id
// (don't-care low nibble), 0xFF else. `marks` is the set `stored` belongs
// to, whose don't-care bytes are those of every dump it holds.
uint8_t VerifyMask(SysExView stored, int32_t index, const SysExSet* marks) noexcept;
// A reply to `stored`: the same length and the same header (SysExHeaderBytes,
// don't-care bits skipped).
bool IsReplyTo(SysExView stored, SysExView reply, const SysExSet* marks) noexcept;
// The first stored message of `set` that `reply` answers (-1: none), by
// the set's own don't-care bytes.
int32_t ReplyIndex(const SysExSet& set, SysExView reply) noexcept;
// `reply` (a reply to `stored`) compared with it: Verified, or Differs with
// the first byte that differs. `program`, attempt and tries are left as
// they are.
VerifyResult CompareReply(SysExView stored, SysExView reply, const SysExSet* marks) noexcept;

// The result in one word (0: none yet) and back.
uint64_t PackVerify(const VerifyResult& result) noexcept;
VerifyResult UnpackVerify(uint64_t word) noexcept;

constexpr int32_t kVerifyTextSize = 96;
// The status row's text: "Verified", "Differs at byte 12 (sent 05, synth
// 07)", "No answer"; a failed try that another follows with ", trying
// again", the last with ", 2 tries failed". Empty for None.
void DescribeVerify(const VerifyResult& result, char (&text)[kVerifyTextSize]) noexcept;
// The line quillet-host and the LV2 log print: "verify program 0: verified
// (163 bytes)", "verify program 3: differs at byte 12 (sent 05, synth 07),
// try 1 of 2", "verify program 3: no answer, 2 tries failed" (a failed
// last try says how many failed, "1 try failed" without retries).
void VerifyLine(const VerifyResult& result, char (&text)[kVerifyTextSize]) noexcept;

// ------------------------------------------------- the send settings

// Stores parameter `index` (kVerifyTime to kDinSpeed) of `value` (0..1)
// in `settings`, clamped to its range; false for another index.
bool StoreSendSetting(ExtensionSettings& settings, int32_t index, float value) noexcept;
// The parameter value of setting `index` (0 for another index).
float SendSettingParameter(const ExtensionSettings& settings, int32_t index) noexcept;

// The time a message of `bytes` bytes takes on a 31,250-baud MIDI cable: ten
// bits a byte, 320 µs.
constexpr int32_t kCableMicrosecondsPerByte = 320;
inline double CableMs(int32_t bytes) noexcept
{
  return bytes * (kCableMicrosecondsPerByte / 1000.0);
}
