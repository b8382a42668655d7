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

int32_t VSTPluginProgramBank::readBank(const void* data, int32_t size, bool& newer,
                                       LoadedSysEx* sysex)
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
    if (sysex)
      for (auto& set : *sysex)
        set.reset();
    return 1;
  }

  // A bank between the older and the current size holds fewer than 128 full
  // records: it is refused like a short one rather than read past its end.
  if (size < kBankBytes)
    return 0;

  for (int i = 0; i < kBankPrograms; ++i)
    CopyProgram(programs[i], Incoming(i, bytes + i * kProgramBytes, kProgramBytes));
  LoadedSysEx loaded;
  newer = !ReadExtension(bytes + kBankBytes, size - kBankBytes, 0, kBankPrograms, loaded.data());
  if (sysex)
    *sysex = std::move(loaded);
  return 1;
}

int32_t VSTPluginProgramBank::readProgram(const void* data, int32_t size, int index, bool& newer,
                                          std::unique_ptr<const SysExSet>* sysex)
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
    if (sysex)
      sysex->reset();
    return 1;
  }
  // Sizes between the two layouts cannot be read without going past the end
  // of the chunk: refused like a short one.
  if (size < kProgramBytes)
    return 0;
  CopyProgram(programs[index], Incoming(index, bytes, kProgramBytes));
  std::unique_ptr<const SysExSet> loaded;
  newer = !ReadExtension(bytes + kProgramBytes, size - kProgramBytes, index, 1, &loaded);
  if (sysex)
    *sysex = std::move(loaded);
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
  field::Store(settings.sysexGapMs, 0);
  ResetSendSettings();
}

void VSTPluginProgramBank::ResetSendSettings()
{
  field::Store(settings.verifyMs, kDefaultVerifyMs);
  field::Store(settings.retries, kDefaultRetries);
  field::Store(settings.changesOnly, 0);
  field::Store(settings.dinSpeed, 0);
}

bool VSTPluginProgramBank::SendSettingsInUse() const
{
  return field::Load(settings.verifyMs) != kDefaultVerifyMs ||
         field::Load(settings.retries) != kDefaultRetries ||
         field::Load(settings.changesOnly) != 0 || field::Load(settings.dinSpeed) != 0;
}

bool VSTPluginProgramBank::ReadExtension(const uint8_t* bytes, int32_t size, int first, int count,
                                         std::unique_ptr<const SysExSet>* sysex)
{
  for (int i = 0; i < count; ++i)
    sysex[i].reset();
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
    return size == 0;
  }
  const int32_t version = ReadInt32(bytes + offsetof(ExtensionHeader, version));
  const uint8_t* program = bytes + sizeof(ExtensionHeader);
  for (int i = first; i < first + count; ++i, program += kProgramKindBytes) {
    field::CopyBytes(&extensions[i], program, kProgramKindBytes);
    strips::ClearWide(extensions[i]);
  }
  // The settings are the bank's: a bank brings its own, a program (which
  // carries those of the bank it was saved from) goes into this bank as
  // this bank paces it.
  const bool bank = count == kBankPrograms;
  if (bank) {
    field::Store(settings.spacingMs, ReadInt32(bytes + offsetof(ExtensionHeader, spacingMs)));
    field::Store(settings.settleMs, ReadInt32(bytes + offsetof(ExtensionHeader, settleMs)));
    field::Store(settings.sendOnPlay, bytes[offsetof(ExtensionHeader, sendOnPlay)] ? 1 : 0);
    field::Store(settings.sysexGapMs, 0);
    ResetSendSettings();
  }

  int32_t used = 0;
  if (version < kWideExtensionVersion ||
      !ReadTail(bytes + needed, size - needed, first, count, sysex, used, version)) {
    SwitchOffWide(first, count);
    return version == kExtensionVersion && size == needed;
  }
  return version >= kWideExtensionVersion && version <= kDontCareExtensionVersion &&
         needed + used == size;
}

bool VSTPluginProgramBank::ReadTail(const uint8_t* bytes, int32_t size, int first, int count,
                                    std::unique_ptr<const SysExSet>* sysex, int32_t& used,
                                    int32_t version)
{
  constexpr auto kTail = static_cast<int32_t>(sizeof(ExtensionTail));
  constexpr auto kWide = static_cast<int32_t>(sizeof(WideMessages));
  if (size < kTail)
    return false;
  const int32_t tailBytes = ReadInt32(bytes + offsetof(ExtensionTail, tailBytes));
  if (tailBytes < kTail + count * (kWide + kEmptySysExSectionBytes) || tailBytes > size)
    return false;
  // Every section is read before anything is loaded: a broken one leaves
  // the wide fields and the SysEx as a tail-less chunk has them.
  std::vector<std::unique_ptr<const SysExSet>> sets(static_cast<size_t>(count));
  int32_t at = kTail + count * kWide;
  for (int i = 0; i < count; ++i) {
    int32_t section = 0;
    if (!ReadSysExSection(bytes + at, tailBytes - at, section, sets[static_cast<size_t>(i)]))
      return false;
    at += section;
  }
  // Version 4: each program's don't-care bytes after every SysEx section.
  for (int i = 0; version >= kDontCareExtensionVersion && i < count; ++i) {
    int32_t section = 0;
    if (!ReadDontCareSection(bytes + at, tailBytes - at, section, sets[static_cast<size_t>(i)]))
      return false;
    at += section;
  }
  for (int i = 0; i < count; ++i) {
    WideMessages wide;
    std::memcpy(&wide, bytes + kTail + i * kWide, sizeof wide);
    strips::CopyWide(extensions[first + i].wide, wide);
    sysex[i] = std::move(sets[static_cast<size_t>(i)]);
  }
  if (count == kBankPrograms)
    field::Store(settings.sysexGapMs, ReadInt32(bytes + offsetof(ExtensionTail, sysexGapMs)));
  // Version 2 keeps these bytes zero: its bank has the defaults (set above).
  if (count == kBankPrograms && version >= kSendExtensionVersion) {
    uint16_t verify = 0;
    std::memcpy(&verify, bytes + offsetof(ExtensionTail, verifyMs), sizeof verify);
    field::Store(settings.verifyMs, ClampMs(verify, kMaxVerifyMs));
    field::Store(settings.retries, ClampMs(bytes[offsetof(ExtensionTail, retries)], kMaxRetries));
    field::Store(settings.changesOnly,
                 static_cast<uint8_t>(bytes[offsetof(ExtensionTail, changesOnly)] ? 1 : 0));
    field::Store(settings.dinSpeed,
                 static_cast<uint8_t>(bytes[offsetof(ExtensionTail, dinSpeed)] ? 1 : 0));
  }
  // Bytes after the sections, within the tail, are a newer version's.
  used = at == tailBytes ? tailBytes : tailBytes + 1;
  return true;
}

void VSTPluginProgramBank::SwitchOffWide(int first, int count)
{
  for (int i = first; i < first + count; ++i) {
    for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
      for (int32_t message = 0; message < 2; ++message) {
        const strips::MessageKind* kind =
            strips::KindOfByte(field::Load(strips::KindByte(extensions[i], strip, message)));
        if (!kind || !kind->wide)
          continue;
        // The record already has the message off (channel 0).
        field::Store(strips::KindByte(extensions[i], strip, message), kKindByFormat);
        field::Store(strips::ExtensionChannel(extensions[i], strip, message), 0);
      }
    }
    strips::ClearWide(extensions[i]);
  }
}

bool VSTPluginProgramBank::DontCareInUse(int count, const SysExSet* const* sysex)
{
  for (int i = 0; sysex && i < count; ++i) {
    if (sysex[i] && sysex[i]->DontCareCount() > 0)
      return true;
  }
  return false;
}

bool VSTPluginProgramBank::TailInUse(int first, int count, const SysExSet* const* sysex) const
{
  if (field::Load(settings.sysexGapMs) != 0 || SendSettingsInUse())
    return true;
  for (int i = 0; i < count; ++i) {
    if (strips::WideInUse(extensions[first + i]) || (sysex && sysex[i] && !sysex[i]->Empty()))
      return true;
  }
  return false;
}

bool VSTPluginProgramBank::InUse(int first, int count, const SysExSet* const* sysex) const
{
  if (field::Load(settings.spacingMs) != 0 || field::Load(settings.settleMs) != 0 ||
      field::Load(settings.sendOnPlay) != 0 || TailInUse(first, count, sysex))
    return true;
  for (int i = first; i < first + count; ++i) {
    if (strips::KindsInUse(extensions[i]))
      return true;
  }
  return false;
}

std::vector<uint8_t> VSTPluginProgramBank::WriteChunk(int first, int count,
                                                      const SysExSet* const* sysex) const
{
  const int32_t records = count * kProgramBytes;
  const bool extended = InUse(first, count, sysex);
  const bool tail = TailInUse(first, count, sysex);
  const bool dontCare = DontCareInUse(count, sysex);
  const int32_t part = static_cast<int32_t>(sizeof(ExtensionHeader)) + count * kProgramKindBytes;
  int32_t tailBytes = 0;
  if (tail) {
    tailBytes = static_cast<int32_t>(sizeof(ExtensionTail)) +
                count * static_cast<int32_t>(sizeof(WideMessages));
    for (int i = 0; i < count; ++i)
      tailBytes += SysExSectionBytes(sysex ? sysex[i] : nullptr);
    for (int i = 0; dontCare && i < count; ++i)
      tailBytes += DontCareSectionBytes(sysex[i]);
  }
  std::vector<uint8_t> out(static_cast<size_t>(records + (extended ? part : 0) + tailBytes), 0);
  // A snapshot of the live records, each field in one load of its own
  // width, so that the chunk holds every field as it was or as another
  // thread (the audio thread's automation among them) wrote it, never a
  // mix of the two; no lock, so no writer ever waits for a save.
  for (int i = 0; i < count; ++i) {
    VSTPluginProgram record;
    CopyProgram(record, programs[first + i]);
    std::memcpy(out.data() + i * kProgramBytes, &record, sizeof record);
  }
  if (!extended)
    return out;

  uint8_t* header = out.data() + records;
  std::memcpy(header, kExtensionMagic, sizeof kExtensionMagic);
  // Version 4 carries the send settings as version 3 does, at their
  // defaults too.
  const bool send = dontCare || SendSettingsInUse();
  WriteInt32(header + offsetof(ExtensionHeader, version), dontCare ? kDontCareExtensionVersion
                                                          : send   ? kSendExtensionVersion
                                                          : tail   ? kWideExtensionVersion
                                                                   : kExtensionVersion);
  WriteInt32(header + offsetof(ExtensionHeader, spacingMs), field::Load(settings.spacingMs));
  WriteInt32(header + offsetof(ExtensionHeader, settleMs), field::Load(settings.settleMs));
  header[offsetof(ExtensionHeader, sendOnPlay)] = field::Load(settings.sendOnPlay);
  for (int i = 0; i < count; ++i)
    field::CopyBytes(header + sizeof(ExtensionHeader) + i * kProgramKindBytes,
                     &extensions[first + i], kProgramKindBytes);
  if (!tail)
    return out;

  uint8_t* at = header + part;
  WriteInt32(at + offsetof(ExtensionTail, tailBytes), tailBytes);
  WriteInt32(at + offsetof(ExtensionTail, sysexGapMs), field::Load(settings.sysexGapMs));
  if (send) {
    const auto verify =
        static_cast<uint16_t>(ClampMs(field::Load(settings.verifyMs), kMaxVerifyMs));
    std::memcpy(at + offsetof(ExtensionTail, verifyMs), &verify, sizeof verify);
    at[offsetof(ExtensionTail, retries)] =
        static_cast<uint8_t>(ClampMs(field::Load(settings.retries), kMaxRetries));
    at[offsetof(ExtensionTail, changesOnly)] = field::Load(settings.changesOnly) ? 1 : 0;
    at[offsetof(ExtensionTail, dinSpeed)] = field::Load(settings.dinSpeed) ? 1 : 0;
  }
  at += sizeof(ExtensionTail);
  for (int i = 0; i < count; ++i, at += sizeof(WideMessages)) {
    WideMessages wide;
    strips::CopyWide(wide, extensions[first + i].wide);
    std::memcpy(at, &wide, sizeof wide);
  }
  for (int i = 0; i < count; ++i) {
    const SysExSet* set = sysex ? sysex[i] : nullptr;
    WriteSysExSection(set, at);
    at += SysExSectionBytes(set);
  }
  for (int i = 0; dontCare && i < count; ++i) {
    WriteDontCareSection(sysex[i], at);
    at += DontCareSectionBytes(sysex[i]);
  }
  return out;
}

std::vector<uint8_t> VSTPluginProgramBank::WriteBank(const SysExSet* const* sysex) const
{
  return WriteChunk(0, kBankPrograms, sysex);
}

std::vector<uint8_t> VSTPluginProgramBank::WriteProgram(int index, const SysExSet* sysex) const
{
  return WriteChunk(index, 1, &sysex);
}
