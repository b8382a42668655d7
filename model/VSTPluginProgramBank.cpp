#include "model/VSTPluginProgramBank.h"

#include "model/StripMessages.h"

#include <cstring>

namespace {

// The trailer of the older bank, by offset from the start of the chunk.
constexpr int32_t kTrailerPresetSwitching = 33796;
constexpr int32_t kTrailerSendOnChange = 33797;
constexpr int32_t kTrailerSendOnInit = 33798;
constexpr int32_t kTrailerChangeDelay = 33800;
constexpr int32_t kTrailerInitDelay = 33804;

int32_t ReadInt32(const uint8_t* bytes)
{
  // Chunks are little-endian, like the machines the plug-in runs on.
  int32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

void WriteInt32(uint8_t* bytes, int32_t value)
{
  std::memcpy(bytes, &value, sizeof value);
}

} // namespace

void VSTPluginProgramBank::Tidy(VSTPluginProgram& program)
{
  program.name[kProgramNameSize - 1] = '\0';
  std::memset(program.alignment, 0, sizeof program.alignment);
}

VSTPluginProgram VSTPluginProgramBank::Incoming(int index, const uint8_t* bytes, int32_t size) const
{
  // The chunk's bytes go over a snapshot of the live record, so that an
  // older layout keeps the fields after its end.
  VSTPluginProgram incoming;
  CopyProgram(incoming, programs[index]);
  std::memcpy(&incoming, bytes, static_cast<size_t>(size));
  Tidy(incoming);
  return incoming;
}

int32_t VSTPluginProgramBank::readBank(const void* data, int32_t size, bool& newer)
{
  newer = false;
  if (!data || size < 0)
    return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);

  if (size == kOlderBankBytes) {
    const uint8_t presetSwitching = bytes[kTrailerPresetSwitching];
    const uint8_t sendOnChange = bytes[kTrailerSendOnChange];
    const uint8_t sendOnInit = bytes[kTrailerSendOnInit];
    const int32_t changeDelay = ReadInt32(bytes + kTrailerChangeDelay);
    const int32_t initDelay = ReadInt32(bytes + kTrailerInitDelay);
    for (int i = 0; i < kBankPrograms; ++i) {
      VSTPluginProgram program = Incoming(i, bytes + i * kOlderProgramBytes, kOlderProgramBytes);
      program.presetSwitching = presetSwitching;
      program.sendOnChange = sendOnChange;
      program.sendOnInit = sendOnInit;
      program.changeDelay = changeDelay;
      program.initDelay = initDelay;
      CopyProgram(programs[i], program);
    }
    ResetExtension(0, kBankPrograms);
    return 1;
  }

  // A bank between the older and the current size holds fewer than 128 full
  // records: it is refused like a short one rather than read past its end.
  if (size < kBankBytes)
    return 0;

  for (int i = 0; i < kBankPrograms; ++i)
    CopyProgram(programs[i], Incoming(i, bytes + i * kProgramBytes, kProgramBytes));
  const bool extended = ReadExtension(bytes + kBankBytes, size - kBankBytes, 0, kBankPrograms);
  if (size > kBankBytes && !(extended && size == kExtendedBankBytes &&
                             ReadInt32(bytes + kBankBytes + 4) == kExtensionVersion))
    newer = true;
  return 1;
}

int32_t VSTPluginProgramBank::readProgram(const void* data, int32_t size, int index, bool& newer)
{
  newer = false;
  if (!data || size < 0 || index < 0 || index >= kBankPrograms)
    return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (size == kOlderProgramBytes) {
    // The options after the older layout keep their values, and so do the
    // bank's settings: only the program's kinds are reset.
    CopyProgram(programs[index], Incoming(index, bytes, kOlderProgramBytes));
    ResetKinds(index, 1);
    return 1;
  }
  // Sizes between the two layouts cannot be read without going past the end
  // of the chunk: refused like a short one.
  if (size < kProgramBytes)
    return 0;
  CopyProgram(programs[index], Incoming(index, bytes, kProgramBytes));
  const bool extended = ReadExtension(bytes + kProgramBytes, size - kProgramBytes, index, 1);
  if (size > kProgramBytes && !(extended && size == kExtendedProgramBytes &&
                                ReadInt32(bytes + kProgramBytes + 4) == kExtensionVersion))
    newer = true;
  return 1;
}

// -------------------------------------------------------------- extension

void VSTPluginProgramBank::ResetKinds(int first, int count)
{
  for (int i = first; i < first + count; ++i)
    strips::ResetAllKinds(extensions[i]);
}

void VSTPluginProgramBank::ResetExtension(int first, int count)
{
  ResetKinds(first, count);
  field::Store(settings.spacingMs, 0);
  field::Store(settings.settleMs, 0);
  field::Store(settings.sendOnPlay, 0);
}

bool VSTPluginProgramBank::ReadExtension(const uint8_t* bytes, int32_t size, int first, int count)
{
  const int32_t needed = static_cast<int32_t>(sizeof(ExtensionHeader)) + count * kProgramKindBytes;
  // A newer version may add fields after ours; its version-1 fields are
  // still read when they are all there.
  if (size < needed || std::memcmp(bytes, kExtensionMagic, sizeof kExtensionMagic) != 0 ||
      ReadInt32(bytes + offsetof(ExtensionHeader, version)) < kExtensionVersion) {
    // The settings are the bank's: a whole bank without them is an old bank
    // and has none, one program without them leaves them as they are.
    if (count == kBankPrograms)
      ResetExtension(first, count);
    else
      ResetKinds(first, count);
    return false;
  }
  const uint8_t* program = bytes + sizeof(ExtensionHeader);
  for (int i = first; i < first + count; ++i, program += kProgramKindBytes) {
    field::CopyBytes(&extensions[i], program, kProgramKindBytes);
    strips::ClearWide(extensions[i]);
  }
  field::Store(settings.spacingMs, ReadInt32(bytes + offsetof(ExtensionHeader, spacingMs)));
  field::Store(settings.settleMs, ReadInt32(bytes + offsetof(ExtensionHeader, settleMs)));
  field::Store(settings.sendOnPlay, bytes[offsetof(ExtensionHeader, sendOnPlay)] ? 1 : 0);
  return true;
}

bool VSTPluginProgramBank::ExtensionInUse(int index) const
{
  return field::Load(settings.spacingMs) != 0 || field::Load(settings.settleMs) != 0 ||
         field::Load(settings.sendOnPlay) != 0 || strips::KindsInUse(extensions[index]);
}

bool VSTPluginProgramBank::ExtensionInUse() const
{
  if (ExtensionInUse(0))
    return true;
  for (int i = 1; i < kBankPrograms; ++i) {
    if (strips::KindsInUse(extensions[i]))
      return true;
  }
  return false;
}

void VSTPluginProgramBank::WriteHeader(uint8_t* out) const
{
  std::memset(out, 0, sizeof(ExtensionHeader));
  std::memcpy(out, kExtensionMagic, sizeof kExtensionMagic);
  WriteInt32(out + offsetof(ExtensionHeader, version), kExtensionVersion);
  WriteInt32(out + offsetof(ExtensionHeader, spacingMs), field::Load(settings.spacingMs));
  WriteInt32(out + offsetof(ExtensionHeader, settleMs), field::Load(settings.settleMs));
  out[offsetof(ExtensionHeader, sendOnPlay)] = field::Load(settings.sendOnPlay);
}

void VSTPluginProgramBank::WriteExtendedBank(uint8_t* out) const
{
  field::CopyBytes(out, programs, kBankBytes);
  WriteHeader(out + kBankBytes);
  for (int i = 0; i < kBankPrograms; ++i)
    field::CopyBytes(out + kBankBytes + sizeof(ExtensionHeader) + i * kProgramKindBytes,
                     &extensions[i], kProgramKindBytes);
}

void VSTPluginProgramBank::WriteExtendedProgram(uint8_t* out, int index) const
{
  field::CopyBytes(out, &programs[index], kProgramBytes);
  WriteHeader(out + kProgramBytes);
  field::CopyBytes(out + kProgramBytes + sizeof(ExtensionHeader), &extensions[index],
                   kProgramKindBytes);
}
