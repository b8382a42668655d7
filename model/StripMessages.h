// The rules of a strip message that knows its kind: a Control Change or a
// Note On (by the record's format byte) or a Program Change (by the kind in
// the program's extension). Everything that reads, sends, learns or writes
// a message goes through these, so the Program Change's special place (its
// channel in the extension, channel 0 in the record) is handled once: the
// plug-in's send and learning (StripLearning.h), its parameters, the
// panel's texts, quillet-host's --strip.
//
// Part of the chunk format's definition: header only, standard library and
// the record. Threads: the functions read and write single fields with
// field::Load/Store; the writers that touch several fields (SetKind, Write,
// the strip-list calls) expect the one strip writer of the record
// (in the plug-in: whoever holds its strip lock).
#pragma once

#include "model/Parameters.h"
#include "model/ProgramExtension.h"
#include "model/VSTPluginProgram.h"

#include <cstdint>
#include <cstdio>

namespace strips {

// A message as it means: its kind, and for a Program Change the real
// channel. Numbers and values are stored plus one, as in the record.
struct Message
{
  uint8_t kind = kKindByFormat;
  uint8_t format = 0; // 0 Control Change, else Note On (1 for a Program Change)
  uint8_t channel = 0;
  uint8_t number = 0;
  uint8_t value = 0;
};

enum Field : int32_t
{
  kFormatField = 0,
  kChannelField = 1,
  kNumberField = 2,
  kValueField = 3
};

inline uint8_t& RecordByte(VSTPluginStrip& strip, int32_t field, int32_t message) noexcept
{
  return strip.*param::kStripFields[2 * field + message].field;
}
inline const uint8_t& RecordByte(const VSTPluginStrip& strip, int32_t field,
                                 int32_t message) noexcept
{
  return strip.*param::kStripFields[2 * field + message].field;
}
inline uint8_t& KindByte(ProgramExtension& extension, int32_t strip, int32_t message) noexcept
{
  return message ? extension.kindB[strip] : extension.kindA[strip];
}
inline const uint8_t& KindByte(const ProgramExtension& extension, int32_t strip,
                               int32_t message) noexcept
{
  return message ? extension.kindB[strip] : extension.kindA[strip];
}
inline uint8_t& PcChannelByte(ProgramExtension& extension, int32_t strip, int32_t message) noexcept
{
  return message ? extension.channelB[strip] : extension.channelA[strip];
}
inline const uint8_t& PcChannelByte(const ProgramExtension& extension, int32_t strip,
                                    int32_t message) noexcept
{
  return message ? extension.channelB[strip] : extension.channelA[strip];
}

inline bool IsProgramChange(const ProgramExtension& extension, int32_t strip,
                            int32_t message) noexcept
{
  return field::Load(KindByte(extension, strip, message)) == kKindProgramChange;
}

inline Message Read(const VSTPluginProgram& program, const ProgramExtension& extension,
                    int32_t strip, int32_t message) noexcept
{
  const VSTPluginStrip& s = program.strips[strip];
  Message m;
  m.kind = field::Load(KindByte(extension, strip, message)) == kKindProgramChange
               ? kKindProgramChange
               : kKindByFormat;
  m.format = field::Load(RecordByte(s, kFormatField, message));
  m.channel = m.kind == kKindProgramChange ? field::Load(PcChannelByte(extension, strip, message))
                                           : field::Load(RecordByte(s, kChannelField, message));
  m.number = field::Load(RecordByte(s, kNumberField, message));
  m.value = field::Load(RecordByte(s, kValueField, message));
  return m;
}

// The MIDI bytes of a message that is to be sent, and how many (0 when it
// is not sent). A Control Change or Note On needs channel, number and value
// non-zero, a Program Change channel and number. A chunk may hold bytes no
// dial can set; such a message would come out as another status (channel
// 17 is a Program Change, 65 a SysEx start) or with a data byte above 127,
// so it is not sent at all.
inline int32_t Bytes(const Message& m, uint8_t (&out)[3]) noexcept
{
  if (!m.channel || !m.number || m.channel > 16 || m.number > 128)
    return 0;
  if (m.kind == kKindProgramChange) {
    out[0] = static_cast<uint8_t>(midi::kProgramChange + m.channel - 1);
    out[1] = static_cast<uint8_t>(m.number - 1);
    out[2] = 0;
    return 2;
  }
  if (!m.value || m.value > 128)
    return 0;
  const uint8_t status = m.format == 0 ? midi::kControlChange : midi::kNoteOn;
  out[0] = static_cast<uint8_t>(status + m.channel - 1);
  out[1] = static_cast<uint8_t>(m.number - 1);
  out[2] = static_cast<uint8_t>(m.value - 1);
  return 3;
}

// A message slot is free for learning when it has no channel and is not a
// Program Change.
inline bool Free(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
                 int32_t message) noexcept
{
  return !IsProgramChange(extension, strip, message) &&
         field::Load(RecordByte(program.strips[strip], kChannelField, message)) == 0;
}

// Makes a message a Program Change (kind 1) or a Control Change / Note
// (kind 0). The channel moves with it: into the extension (the record keeps
// channel 0 and format 1, so that a reader of the records alone sees the
// message off), or back into the record.
inline void SetKind(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                    int32_t message, uint8_t kind) noexcept
{
  VSTPluginStrip& s = program.strips[strip];
  const bool pc = IsProgramChange(extension, strip, message);
  if (kind == kKindProgramChange && !pc) {
    field::Store(PcChannelByte(extension, strip, message),
                 field::Load(RecordByte(s, kChannelField, message)));
    field::Store(RecordByte(s, kChannelField, message), 0);
    field::Store(RecordByte(s, kFormatField, message), 1);
    field::Store(KindByte(extension, strip, message), kKindProgramChange);
  } else if (kind != kKindProgramChange) {
    // Also tidies a kind byte a chunk left at another value.
    if (pc)
      field::Store(RecordByte(s, kChannelField, message),
                   field::Load(PcChannelByte(extension, strip, message)));
    field::Store(PcChannelByte(extension, strip, message), 0);
    field::Store(KindByte(extension, strip, message), kKindByFormat);
  }
}

// Writes one field as the dials do (a stored byte). A channel of a Program
// Change goes to the extension; a format written to a Program Change makes
// it a Control Change / Note again.
inline void StoreField(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                       int32_t message, int32_t which, uint8_t byte) noexcept
{
  const bool pc = IsProgramChange(extension, strip, message);
  if (pc && which == kChannelField) {
    field::Store(PcChannelByte(extension, strip, message), byte);
    return;
  }
  if (pc && which == kFormatField)
    SetKind(program, extension, strip, message, kKindByFormat);
  field::Store(RecordByte(program.strips[strip], which, message), byte);
}

// The stored byte of a field as the dials show it (a Program Change's
// channel from the extension).
inline uint8_t LoadField(const VSTPluginProgram& program, const ProgramExtension& extension,
                         int32_t strip, int32_t message, int32_t which) noexcept
{
  if (which == kChannelField && IsProgramChange(extension, strip, message))
    return field::Load(PcChannelByte(extension, strip, message));
  return field::Load(RecordByte(program.strips[strip], which, message));
}

// Writes a whole message (kind first, so that the channel lands in its
// place).
inline void Write(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                  int32_t message, const Message& m) noexcept
{
  SetKind(program, extension, strip, message, kKindByFormat);
  VSTPluginStrip& s = program.strips[strip];
  field::Store(RecordByte(s, kFormatField, message), m.format);
  field::Store(RecordByte(s, kChannelField, message), m.channel);
  field::Store(RecordByte(s, kNumberField, message), m.number);
  field::Store(RecordByte(s, kValueField, message), m.value);
  if (m.kind == kKindProgramChange)
    SetKind(program, extension, strip, message, kKindProgramChange);
}

inline void ResetKinds(ProgramExtension& extension, int32_t strip) noexcept
{
  for (int32_t message = 0; message < 2; ++message) {
    field::Store(KindByte(extension, strip, message), kKindByFormat);
    field::Store(PcChannelByte(extension, strip, message), 0);
  }
}

inline void ResetAllKinds(ProgramExtension& extension) noexcept
{
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip)
    ResetKinds(extension, strip);
}

// Any kind in use in this program.
inline bool KindsInUse(const ProgramExtension& extension) noexcept
{
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    for (int32_t message = 0; message < 2; ++message) {
      if (field::Load(KindByte(extension, strip, message)) != 0 ||
          field::Load(PcChannelByte(extension, strip, message)) != 0)
        return true;
    }
  }
  return false;
}

// ----------------------------------------------------- the strip list
//
// The record's "+", "-" and order repair, with the kinds of the strips
// they add, remove or clear reset.

inline int32_t AddStrip(VSTPluginProgram& program, ProgramExtension& extension) noexcept
{
  const int32_t strip = program.AddStrip();
  if (strip >= 0)
    ResetKinds(extension, strip);
  return strip;
}

inline bool AddStrip(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip) noexcept
{
  const bool listed = strip >= 0 && strip < kStripsPerProgram && program.ColumnOf(strip) >= 0;
  if (!program.AddStrip(strip))
    return false;
  if (!listed)
    ResetKinds(extension, strip);
  return true;
}

inline bool RemoveStrip(VSTPluginProgram& program, ProgramExtension& extension,
                        int32_t strip) noexcept
{
  if (!program.RemoveStrip(strip))
    return false;
  ResetKinds(extension, strip);
  return true;
}

// The repair clears the messages of strips that lose their column; their
// kinds go with them.
inline int32_t RepairStripOrder(VSTPluginProgram& program, ProgramExtension& extension,
                                int32_t (&columns)[kStripsPerProgram]) noexcept
{
  const int32_t count = program.RepairStripOrder(columns);
  bool shown[kStripsPerProgram] = {};
  for (int32_t c = 0; c < count; ++c)
    shown[columns[c]] = true;
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    if (!shown[strip] &&
        (field::Load(extension.kindA[strip]) || field::Load(extension.kindB[strip]) ||
         field::Load(extension.channelA[strip]) || field::Load(extension.channelB[strip])))
      ResetKinds(extension, strip);
  }
  return count;
}

// ------------------------------------------------------------ printing

// Room for the longest text of Describe ("Note 127 ch 16").
constexpr int32_t kDescriptionSize = 16;

// A message as a user reads it, with the numbers as they are sent: "CC 74
// ch 1", "PC 9 ch 1", "Note 60 ch 2"; "off" for a message that is not sent.
inline void Describe(const Message& m, char (&text)[kDescriptionSize]) noexcept
{
  uint8_t bytes[3];
  if (Bytes(m, bytes) == 0) {
    std::snprintf(text, sizeof text, "off");
    return;
  }
  const char* name = m.kind == kKindProgramChange ? "PC" : m.format == 0 ? "CC" : "Note";
  std::snprintf(text, sizeof text, "%s %d ch %d", name, m.number - 1, m.channel);
}

} // namespace strips
