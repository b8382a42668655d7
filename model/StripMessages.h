// The strip list of a program with the message kinds kept right: the
// record's "+", "-" and order repair, each resetting the kinds of the
// strips it adds, removes or clears, and the resets and checks of a
// program's kinds. A message's own rules (storage, bytes, learning,
// printing, parsing) are its kind's, in MessageKinds.h, which this header
// includes for everything that reads, sends, learns or writes a message.
//
// Part of the chunk format's definition. Threads: the functions read and
// write single fields with field::Load/Store; the strip-list calls expect
// the one strip writer of the record (in the plug-in: whoever holds its
// strip lock).
#pragma once

#include "model/MessageKinds.h"

#include <cstdint>

namespace strips {

inline void ResetKinds(ProgramExtension& extension, int32_t strip) noexcept
{
  for (int32_t message = 0; message < 2; ++message) {
    field::Store(KindByte(extension, strip, message), kKindByFormat);
    field::Store(ExtensionChannel(extension, strip, message), 0);
    for (int32_t which = kWideNumber; which <= kWideOptions; ++which)
      StoreWide(extension, strip, message, which, 0);
  }
}

// The wide fields of every message (a chunk without them).
inline void ClearWide(ProgramExtension& extension) noexcept
{
  for (int32_t i = 0; i < 2 * kStripsPerProgram; ++i) {
    field::Store(extension.wide.number[i], 0);
    field::Store(extension.wide.value[i], 0);
    field::Store(extension.wide.options[i], 0);
  }
}

// Copies every wide field of `from` over `to`, each in one load and one
// store: a 16-bit field copied as two bytes could be seen (or saved) half
// old and half new by a thread that reads it meanwhile.
inline void CopyWide(WideMessages& to, const WideMessages& from) noexcept
{
  for (int32_t i = 0; i < 2 * kStripsPerProgram; ++i) {
    field::Store(to.number[i], field::Load(from.number[i]));
    field::Store(to.value[i], field::Load(from.value[i]));
    field::Store(to.options[i], field::Load(from.options[i]));
  }
}

// The kinds, channels and wide fields of `from` over `to`, field by field.
inline void CopyExtension(ProgramExtension& to, const ProgramExtension& from) noexcept
{
  field::CopyBytes(&to, &from, kProgramKindBytes);
  CopyWide(to.wide, from.wide);
}

inline void ResetAllKinds(ProgramExtension& extension) noexcept
{
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip)
    ResetKinds(extension, strip);
}

// Any kind in use in this program (the chunk extension is needed).
inline bool KindsInUse(const ProgramExtension& extension) noexcept
{
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    for (int32_t message = 0; message < 2; ++message) {
      if (field::Load(KindByte(extension, strip, message)) != 0 ||
          field::Load(ExtensionChannel(extension, strip, message)) != 0)
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

} // namespace strips
