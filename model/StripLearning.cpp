#include "model/StripLearning.h"

namespace strips {

namespace {

constexpr int32_t kSlots = 2 * kStripsPerProgram;

struct Slot
{
  int32_t strip;
  int32_t message;
};

bool Equal(const Message& a, const Message& b) noexcept
{
  return a.kind == b.kind && a.format == b.format && a.channel == b.channel &&
         a.number == b.number && a.value == b.value;
}

bool IsController(const Message& m) noexcept
{
  return m.kind == kKindByFormat && m.format == 0;
}

// The listed strips' slots in the order a send goes through them: strips by
// index, message A before B.
int32_t SendOrder(const VSTPluginProgram& program, Slot (&slots)[kSlots]) noexcept
{
  int32_t columns[kStripsPerProgram];
  const int32_t count = program.StripsInDisplayOrder(columns);
  bool listed[kStripsPerProgram] = {};
  for (int32_t c = 0; c < count; ++c)
    listed[columns[c]] = true;
  int32_t n = 0;
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    if (!listed[strip])
      continue;
    slots[n++] = {strip, 0};
    slots[n++] = {strip, 1};
  }
  return n;
}

// Where a new message goes in the list of learned ones (`count` of them, in
// send order): the nearest place to `wanted` (where its free slot is) that
// keeps its channel's ranks in order.
int32_t OrderedPlace(const Message (&learned)[kSlots], int32_t count, const Message& incoming,
                     int32_t wanted) noexcept
{
  const uint8_t rank = LearnRoleOf(incoming).rank;
  int32_t low = 0;
  int32_t high = count;
  for (int32_t i = 0; i < count; ++i) {
    if (learned[i].channel != incoming.channel || !Learnable(learned[i]))
      continue;
    const uint8_t other = LearnRoleOf(learned[i]).rank;
    if (other < rank)
      low = i + 1;
    else if (other > rank && rank != kRankOther && high == count)
      high = i;
  }
  if (high < low)
    high = low;
  return wanted < low ? low : wanted > high ? high : wanted;
}

} // namespace

bool Learnable(const Message& m) noexcept
{
  const bool pc = m.kind == kKindProgramChange;
  if (!pc && !IsController(m))
    return false;
  if (m.channel < 1 || m.channel > 16 || m.number < 1 || m.number > 128)
    return false;
  return pc || (m.value >= 1 && m.value <= 128);
}

LearnRole LearnRoleOf(const Message& m) noexcept
{
  if (m.kind == kKindProgramChange)
    return {kRankProgram, true};
  if (IsController(m) && m.number == 0 + 1)
    return {kRankBankMsb, false};
  if (IsController(m) && m.number == 32 + 1)
    return {kRankBankLsb, false};
  return {kRankOther, false};
}

bool SameLearned(const Message& a, const Message& b) noexcept
{
  const bool pc = a.kind == kKindProgramChange;
  if (pc != (b.kind == kKindProgramChange) || (!pc && !(IsController(a) && IsController(b))))
    return false;
  return a.channel == b.channel && (LearnRoleOf(a).anyNumber || a.number == b.number);
}

bool FromMidi(uint8_t status, uint8_t data1, uint8_t data2, Message& m) noexcept
{
  const uint8_t type = status & midi::kStatusMask;
  if (type != midi::kControlChange && type != midi::kProgramChange)
    return false;
  m = Message{};
  m.channel = static_cast<uint8_t>((status & midi::kChannelMask) + 1);
  m.number = static_cast<uint8_t>((data1 & midi::kDataMask) + 1);
  if (type == midi::kProgramChange) {
    m.kind = kKindProgramChange;
    m.format = 1;
  } else {
    m.value = static_cast<uint8_t>((data2 & midi::kDataMask) + 1);
  }
  return true;
}

LearnPlace Learn(VSTPluginProgram& program, ProgramExtension& extension, SlotSet learned,
                 const Message& incoming) noexcept
{
  if (!Learnable(incoming))
    return {LearnResult::Full, -1, 0, 0, learned};
  const bool pc = incoming.kind == kKindProgramChange;
  Message message = incoming;
  message.format = pc ? 1 : 0;
  if (pc)
    message.value = 0;

  // The same message anywhere in the listed strips takes the new value (a
  // Program Change its program), in its place.
  int32_t columns[kStripsPerProgram];
  const int32_t count = program.StripsInDisplayOrder(columns);
  for (int32_t c = 0; c < count; ++c) {
    const int32_t strip = columns[c];
    for (int32_t m = 0; m < 2; ++m) {
      if (!SameLearned(Read(program, extension, strip, m), message))
        continue;
      const int32_t field = pc ? kNumberField : kValueField;
      field::Store(RecordByte(program.strips[strip], field, m),
                   pc ? message.number : message.value);
      return {LearnResult::Updated, strip, m, SlotBit(strip, m), learned};
    }
  }

  // A free slot: B of the last strip (A when both are free), else a new one.
  LearnPlace place;
  const int32_t last = columns[count - 1];
  if (Free(program, extension, last, 1)) {
    place = {LearnResult::Placed, last, Free(program, extension, last, 0) ? 0 : 1};
  } else {
    const int32_t strip = AddStrip(program, extension);
    if (strip < 0)
      return {LearnResult::Full, -1, 0, 0, learned};
    place = {LearnResult::Added, strip, 0};
  }

  // The learned messages in send order, with the free slot among them.
  Slot slots[kSlots];
  const int32_t total = SendOrder(program, slots);
  Slot sequence[kSlots];
  Message messages[kSlots];
  int32_t n = 0;
  int32_t wanted = 0;
  for (int32_t i = 0; i < total; ++i) {
    const Slot slot = slots[i];
    if (slot.strip == place.strip && slot.message == place.message) {
      wanted = n;
      sequence[n] = slot;
      messages[n] = message;
      ++n;
      continue;
    }
    if (!(learned & SlotBit(slot.strip, slot.message)) ||
        Free(program, extension, slot.strip, slot.message))
      continue;
    sequence[n] = slot;
    messages[n] = Read(program, extension, slot.strip, slot.message);
    ++n;
  }

  // The new message moves to where its channel's order wants it; the
  // learned messages between move one slot towards where it was.
  Message others[kSlots];
  for (int32_t i = 0, j = 0; i < n; ++i) {
    if (i != wanted)
      others[j++] = messages[i];
  }
  const int32_t at = OrderedPlace(others, n - 1, message, wanted);
  for (int32_t i = 0, j = 0; i < n; ++i)
    messages[i] = i == at ? message : others[j++];

  place.learned = 0;
  for (int32_t i = 0; i < n; ++i) {
    const Slot slot = sequence[i];
    place.learned |= SlotBit(slot.strip, slot.message);
    if (Equal(Read(program, extension, slot.strip, slot.message), messages[i]))
      continue;
    Write(program, extension, slot.strip, slot.message, messages[i]);
    place.changed |= SlotBit(slot.strip, slot.message);
  }
  place.strip = sequence[at].strip;
  place.message = sequence[at].message;
  return place;
}

bool LearnRoom(const VSTPluginProgram& program, const ProgramExtension& extension) noexcept
{
  int32_t columns[kStripsPerProgram];
  const int32_t count = program.StripsInDisplayOrder(columns);
  if (Free(program, extension, columns[count - 1], 1))
    return true;
  if (count >= kStripsPerProgram)
    return false;
  for (int32_t strip = 1; strip < kStripsPerProgram; ++strip) {
    if (!field::Load(program.strips[strip].inUse))
      return true;
  }
  return false;
}

} // namespace strips
