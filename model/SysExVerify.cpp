#include "model/SysExVerify.h"

#include "support/threading/FieldAccess.h"

#include <cstdio>
#include <cstring>

uint8_t VerifyMask(SysExView stored, int32_t index, const SysExSet* marks) noexcept
{
  if (!stored.data || stored.size < 2)
    return 0xFF;
  if (marks && index > 0 && index < stored.size - 1 && marks->IsDontCare(index))
    return 0x00;
  // The byte after the manufacturer id (one byte, or three when the first
  // is 00): most synths put their device number in its low nibble.
  const int32_t device = stored.data[1] == 0x00 ? 4 : 2;
  return index == device ? 0x70 : 0xFF;
}

bool IsReplyTo(SysExView stored, SysExView reply, const SysExSet* marks) noexcept
{
  if (!stored.data || !reply.data || stored.size != reply.size || stored.size <= 0)
    return false;
  const int32_t header = SysExHeaderBytes(stored);
  for (int32_t i = 0; i < header; ++i) {
    if ((stored.data[i] ^ reply.data[i]) & VerifyMask(stored, i, marks))
      return false;
  }
  return true;
}

int32_t ReplyIndex(const SysExSet& set, SysExView reply) noexcept
{
  for (int32_t i = 0; i < set.Count(); ++i) {
    if (IsReplyTo(set.Message(i), reply, &set))
      return i;
  }
  return -1;
}

VerifyResult CompareReply(SysExView stored, SysExView reply, const SysExSet* marks) noexcept
{
  VerifyResult result;
  result.code = VerifyCode::Verified;
  result.bytes = stored.size;
  if (!stored.data || !reply.data || stored.size != reply.size) {
    result.code = VerifyCode::Differs;
    return result;
  }
  for (int32_t i = 0; i < stored.size; ++i) {
    // The marks are looked at only where a byte differs: a 20 KB reply that
    // matches costs a compare a byte.
    const auto diff = static_cast<uint8_t>(stored.data[i] ^ reply.data[i]);
    if (diff != 0 && (diff & VerifyMask(stored, i, marks)) != 0) {
      result.code = VerifyCode::Differs;
      result.at = i;
      result.sent = stored.data[i];
      result.synth = reply.data[i];
      break;
    }
  }
  return result;
}

// The word, from bit 0: code 2, last 1, attempt - 1 2, tries - 1 2,
// program 7, sent 8, synth 8, at 16, bytes 17 (63 bits).
uint64_t PackVerify(const VerifyResult& r) noexcept
{
  auto bits = [](int64_t value, int32_t width) {
    const int64_t most = (int64_t{1} << width) - 1;
    return static_cast<uint64_t>(value < 0 ? 0 : value > most ? most : value);
  };
  uint64_t word = bits(static_cast<int64_t>(r.code), 2);
  word |= bits(r.last ? 1 : 0, 1) << 2;
  word |= bits(r.attempt - 1, 2) << 3;
  word |= bits(r.tries - 1, 2) << 5;
  word |= bits(r.program, 7) << 7;
  word |= bits(r.sent, 8) << 14;
  word |= bits(r.synth, 8) << 22;
  word |= bits(r.at, 16) << 30;
  word |= bits(r.bytes, 17) << 46;
  return word;
}

VerifyResult UnpackVerify(uint64_t word) noexcept
{
  auto take = [word](int32_t shift, int32_t width) {
    return static_cast<int32_t>(word >> shift & ((uint64_t{1} << width) - 1));
  };
  VerifyResult r;
  r.code = static_cast<VerifyCode>(take(0, 2));
  r.last = take(2, 1) != 0;
  r.attempt = take(3, 2) + 1;
  r.tries = take(5, 2) + 1;
  r.program = take(7, 7);
  r.sent = static_cast<uint8_t>(take(14, 8));
  r.synth = static_cast<uint8_t>(take(22, 8));
  r.at = take(30, 16);
  r.bytes = take(46, 17);
  return r;
}

namespace {

// The result's words, first letter capital or not.
void Words(const VerifyResult& r, bool capital, char* text, size_t size) noexcept
{
  switch (r.code) {
  case VerifyCode::Verified:
    std::snprintf(text, size, "%cerified", capital ? 'V' : 'v');
    break;
  case VerifyCode::Differs:
    std::snprintf(text, size, "%ciffers at byte %d (sent %02X, synth %02X)", capital ? 'D' : 'd',
                  static_cast<int>(r.at), r.sent, r.synth);
    break;
  case VerifyCode::NoAnswer:
    std::snprintf(text, size, "%co answer", capital ? 'N' : 'n');
    break;
  case VerifyCode::None:
    text[0] = '\0';
    break;
  }
}

} // namespace

void DescribeVerify(const VerifyResult& r, char (&text)[kVerifyTextSize]) noexcept
{
  Words(r, true, text, sizeof text);
  if (r.code == VerifyCode::Differs || r.code == VerifyCode::NoAnswer) {
    const size_t used = std::strlen(text);
    if (r.last)
      std::snprintf(text + used, sizeof text - used, ", %d %s failed", static_cast<int>(r.attempt),
                    r.attempt == 1 ? "try" : "tries");
    else if (!r.last)
      std::snprintf(text + used, sizeof text - used, ", trying again");
  }
}

void VerifyLine(const VerifyResult& r, char (&text)[kVerifyTextSize]) noexcept
{
  char words[kVerifyTextSize];
  Words(r, false, words, sizeof words);
  int used =
      std::snprintf(text, sizeof text, "verify program %d: %s", static_cast<int>(r.program), words);
  if (used < 0 || used >= kVerifyTextSize)
    return;
  const size_t at = static_cast<size_t>(used);
  if (r.code == VerifyCode::Verified)
    std::snprintf(text + at, sizeof text - at, " (%d bytes)", static_cast<int>(r.bytes));
  else if (r.code != VerifyCode::None && !r.last)
    std::snprintf(text + at, sizeof text - at, ", try %d of %d", static_cast<int>(r.attempt),
                  static_cast<int>(r.tries));
  else if (r.code != VerifyCode::None)
    std::snprintf(text + at, sizeof text - at, ", %d %s failed", static_cast<int>(r.attempt),
                  r.attempt == 1 ? "try" : "tries");
}

bool StoreSendSetting(ExtensionSettings& settings, int32_t index, float value) noexcept
{
  const int32_t stored = param::Encode(value, param::EncodingOf(index).scale);
  switch (index) {
  case param::kVerifyTime:
    field::Store(settings.verifyMs, ClampMs(stored, kMaxVerifyMs));
    return true;
  case param::kRetries:
    field::Store(settings.retries, ClampMs(stored, kMaxRetries));
    return true;
  case param::kChangesOnly:
    field::Store(settings.changesOnly, static_cast<uint8_t>(param::SwitchOn(value) ? 1 : 0));
    return true;
  case param::kDinSpeed:
    field::Store(settings.dinSpeed, static_cast<uint8_t>(param::SwitchOn(value) ? 1 : 0));
    return true;
  default:
    return false;
  }
}

float SendSettingParameter(const ExtensionSettings& settings, int32_t index) noexcept
{
  switch (index) {
  case param::kVerifyTime:
    return param::Decode(ClampMs(field::Load(settings.verifyMs), kMaxVerifyMs), param::kVerifyMs);
  case param::kRetries:
    return param::Decode(ClampMs(field::Load(settings.retries), kMaxRetries), param::kRetryCount);
  case param::kChangesOnly:
    return field::Load(settings.changesOnly) ? 1.0f : 0.0f;
  case param::kDinSpeed:
    return field::Load(settings.dinSpeed) ? 1.0f : 0.0f;
  default:
    return 0.0f;
  }
}
