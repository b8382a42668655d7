#include "model/VSTPluginProgram.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

bool IsStrip(int32_t strip)
{
  return strip >= 0 && strip < kStripsPerProgram;
}

} // namespace

void InitProgram(VSTPluginProgram& program, const char* name)
{
  std::memset(&program, 0, sizeof program);
  std::snprintf(program.name, sizeof program.name, "%s", name);
  program.strips[0].inUse = 1;
  program.stripOrder[0] = 0;
  for (int i = 1; i < kStripsPerProgram; ++i)
    program.stripOrder[i] = kNoStrip;
  program.stripCount = 1;
  program.initDelay = 5;
  program.changeDelay = 0;
}

void CopyProgram(VSTPluginProgram& to, const VSTPluginProgram& from) noexcept
{
  field::CopyBytes(to.name, from.name, sizeof to.name);
  to.CopyContentsFrom(from);
  field::CopyBytes(to.alignment, from.alignment, sizeof to.alignment);
}

// ------------------------------------------------------------ strip list

template <typename Program>
int32_t VSTPluginProgram::WalkStripOrder(Program& program,
                                         int32_t (&columns)[kStripsPerProgram]) noexcept
{
  constexpr bool repair = !std::is_const_v<Program>;
  // Slot 0 is not read: it holds strip 0, which always has column 0.
  bool shown[kStripsPerProgram] = {true};
  columns[0] = 0;
  int32_t count = 1;
  for (int slot = 1; slot < kStripsPerProgram; ++slot) {
    const int32_t s = field::Load(program.stripOrder[slot]);
    if (!IsStrip(s))
      continue;
    if (!shown[s] && field::Load(program.strips[s].inUse)) {
      shown[s] = true;
      columns[count++] = s;
      continue;
    }
    if constexpr (repair) {
      // A listed strip that is not in use loses its values; a strip listed
      // again (strip 0 included) only its later slot.
      if (!shown[s])
        program.ClearMessages(s);
      field::Store(program.stripOrder[slot], kNoStrip);
    }
  }
  for (int32_t c = count; c < kStripsPerProgram; ++c)
    columns[c] = kNoStrip;
  if constexpr (repair)
    field::Store(program.stripCount, count);
  return count;
}

int32_t VSTPluginProgram::RepairStripOrder(int32_t (&columns)[kStripsPerProgram]) noexcept
{
  return WalkStripOrder(*this, columns);
}

int32_t VSTPluginProgram::StripsInDisplayOrder(int32_t (&columns)[kStripsPerProgram]) const noexcept
{
  return WalkStripOrder(*this, columns);
}

int32_t VSTPluginProgram::ColumnOf(int32_t strip) const noexcept
{
  int32_t columns[kStripsPerProgram];
  const int32_t count = StripsInDisplayOrder(columns);
  for (int32_t c = 0; c < count; ++c) {
    if (columns[c] == strip)
      return c;
  }
  return -1;
}

int32_t VSTPluginProgram::CompactStripOrder(int32_t (&columns)[kStripsPerProgram]) noexcept
{
  // The repair leaves slots that give no column where they are, so a listed
  // strip may sit behind an empty slot. "+" writes at slot stripCount and
  // "-" at the strip's column, which are only the right slots when the
  // listed ones come first; for an order repaired from a damaged chunk they
  // are moved there (for any other order this writes nothing).
  const int32_t count = RepairStripOrder(columns);
  for (int32_t slot = 1; slot < kStripsPerProgram; ++slot) {
    if (field::Load(stripOrder[slot]) != columns[slot])
      field::Store(stripOrder[slot], columns[slot]);
  }
  return count;
}

void VSTPluginProgram::ClearMessages(int32_t strip) noexcept
{
  VSTPluginStrip& s = strips[strip];
  for (uint8_t* byte : {&s.formatA, &s.formatB, &s.channelA, &s.channelB, &s.numberA, &s.numberB,
                        &s.valueA, &s.valueB})
    field::Store(*byte, 0);
}

int32_t VSTPluginProgram::AddStrip() noexcept
{
  int32_t strip = 1;
  while (strip < kStripsPerProgram && field::Load(strips[strip].inUse))
    ++strip;
  if (strip == kStripsPerProgram)
    return -1;
  return AddStrip(strip) ? strip : -1;
}

bool VSTPluginProgram::AddStrip(int32_t strip) noexcept
{
  if (!IsStrip(strip))
    return false;
  if (strip == 0) {
    field::Store(strips[0].inUse, 1);
    return true;
  }
  int32_t columns[kStripsPerProgram];
  const int32_t count = CompactStripOrder(columns);
  for (int32_t c = 1; c < count; ++c) {
    if (columns[c] == strip)
      return true;
  }
  if (count >= kStripsPerProgram)
    return false; // at most 16 strips
  field::Store(strips[strip].inUse, 1);
  field::Store(stripOrder[count], strip);
  field::Store(stripCount, count + 1);
  return true;
}

bool VSTPluginProgram::RemoveStrip(int32_t strip) noexcept
{
  if (strip < 1 || strip >= kStripsPerProgram)
    return false; // strip 0 cannot be removed
  int32_t columns[kStripsPerProgram];
  const int32_t count = CompactStripOrder(columns);
  int32_t column = 1;
  while (column < count && columns[column] != strip)
    ++column;
  if (column == count)
    return false;
  field::Store(strips[strip].inUse, 0);
  ClearMessages(strip);
  // The freed slot moves behind the remaining entries, which keep their
  // order.
  for (int32_t c = column; c + 1 < count; ++c)
    field::Store(stripOrder[c], columns[c + 1]);
  field::Store(stripOrder[count - 1], kNoStrip);
  field::Store(stripCount, count - 1);
  return true;
}

// ---------------------------------------------------------------- copies

void VSTPluginProgram::ReadName(char* text) const noexcept
{
  field::CopyBytes(text, name, kProgramNameSize);
  text[kProgramNameSize - 1] = '\0';
}

void VSTPluginProgram::WriteName(const char* text) noexcept
{
  const size_t length = strnlen(text, kProgramNameSize - 1);
  for (size_t i = 0; i < kProgramNameSize; ++i)
    field::Store(name[i], i < length ? text[i] : '\0');
}

void VSTPluginProgram::CopyStripListFrom(const VSTPluginProgram& source) noexcept
{
  field::CopyBytes(strips, source.strips, sizeof strips);
  for (int i = 0; i < kStripsPerProgram; ++i)
    field::Store(stripOrder[i], field::Load(source.stripOrder[i]));
  field::Store(stripCount, field::Load(source.stripCount));
}

void VSTPluginProgram::CopyContentsFrom(const VSTPluginProgram& source) noexcept
{
  CopyStripListFrom(source);
  field::Store(reserved, field::Load(source.reserved));
  field::Store(midiThru, field::Load(source.midiThru));
  field::Store(presetSwitching, field::Load(source.presetSwitching));
  field::Store(sendOnChange, field::Load(source.sendOnChange));
  field::Store(sendOnInit, field::Load(source.sendOnInit));
  field::Store(initDelay, field::Load(source.initDelay));
  field::Store(changeDelay, field::Load(source.changeDelay));
}
