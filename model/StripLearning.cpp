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
         a.number == b.number && a.value == b.value && a.options == b.options;
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
  const uint8_t rank = LearnRankOf(incoming);
  int32_t low = 0;
  int32_t high = count;
  for (int32_t i = 0; i < count; ++i) {
    if (learned[i].channel != incoming.channel || !Learnable(learned[i]))
      continue;
    const uint8_t other = LearnRankOf(learned[i]);
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

LearnPlace Learn(VSTPluginProgram& program, ProgramExtension& extension, SlotSet learned,
                 const Message& incoming, const Message& replaces) noexcept
{
  if (!Learnable(incoming))
    return {LearnResult::Full, -1, 0, 0, learned};
  const Message message = LearnedForm(incoming);

  // The same message anywhere in the listed strips takes the new value (a
  // Program Change its program), in its place.
  int32_t columns[kStripsPerProgram];
  const int32_t count = program.StripsInDisplayOrder(columns);
  for (int32_t c = 0; c < count; ++c) {
    const int32_t strip = columns[c];
    for (int32_t m = 0; m < 2; ++m) {
      if (!SameLearned(Read(program, extension, strip, m), message))
        continue;
      UpdateLearned(program, extension, strip, m, message);
      return {LearnResult::Updated, strip, m, SlotBit(strip, m), learned};
    }
  }
  // A message that completes the one learned just before takes its slot.
  for (int32_t c = 0; replaces.channel && c < count; ++c) {
    const int32_t strip = columns[c];
    for (int32_t m = 0; m < 2; ++m) {
      const Message stored = Read(program, extension, strip, m);
      if (!SameLearned(stored, replaces) || KindIndexOf(stored) != KindIndexOf(replaces))
        continue;
      Write(program, extension, strip, m, message);
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

// ------------------------------------------------------------ recogniser

namespace strips {

namespace {

bool IsController(const Message& m) noexcept
{
  return m.kind == kKindByFormat && m.format == 0 && m.channel >= 1 && m.channel <= 16 &&
         m.number >= 1 && m.number <= 128 && m.value >= 1 && m.value <= 128;
}

const MessageKind* SelectKindOf(int32_t controller) noexcept
{
  for (int32_t k = 0; k < KindCount(); ++k) {
    const MessageKind& kind = Kinds()[k];
    if (kind.selectMsb && (controller == kind.selectMsb || controller == kind.selectLsb))
      return &kind;
  }
  return nullptr;
}

const MessageKind* PairKind() noexcept
{
  for (int32_t k = 0; k < KindCount(); ++k) {
    if (Kinds()[k].pairs)
      return &Kinds()[k];
  }
  return nullptr;
}

Message Wide(const MessageKind& kind, uint8_t channel, int32_t number, int32_t value) noexcept
{
  Message m;
  m.kind = kind.kindByte;
  m.format = kind.format;
  m.channel = channel;
  m.number = static_cast<uint16_t>(number);
  m.value = static_cast<uint16_t>(value); // a data entry's MSB alone: a 7-bit value
  return m;
}

} // namespace

int32_t LearnRecogniser::Release(Channel& channel, Recognised (&out)[kMaxOut], int32_t n) noexcept
{
  for (int32_t i = 0; i < channel.count && n < kMaxOut; ++i)
    out[n++] = {channel.held[i], Message{}};
  channel.count = 0;
  channel.select = nullptr;
  channel.msb = -1;
  channel.lsb = -1;
  return n;
}

int32_t LearnRecogniser::Feed(const Message& in, Recognised (&out)[kMaxOut]) noexcept
{
  if (in.channel < 1 || in.channel > 16) {
    out[0] = {in, Message{}};
    return 1;
  }
  Channel& ch = channels[in.channel - 1];
  const Message pairMsb = ch.pairMsb;
  ch.pairMsb = Message{};
  if (!IsController(in)) {
    // A Program Change (or anything else) ends what was held before it.
    ch.entered = Message{};
    int32_t n = Release(ch, out, 0);
    out[n++] = {in, Message{}};
    return n;
  }
  const int32_t controller = in.number - 1;
  const int32_t value = in.value - 1;

  if (const MessageKind* kind = SelectKindOf(controller)) {
    int32_t n = 0;
    const bool msbHalf = controller == kind->selectMsb;
    if (ch.select != kind || (msbHalf ? ch.msb : ch.lsb) >= 0)
      n = Release(ch, out, 0);
    ch.select = kind;
    (msbHalf ? ch.msb : ch.lsb) = value;
    ch.held[ch.count++] = in;
    if (ch.msb == kNullNumber && ch.lsb == kNullNumber && kind->selectMsb == kNullSelectMsb &&
        ch.entered.kind != kKindByFormat) {
      // The null parameter after a message: that message has the option.
      ch.entered.options |= kOptionNull;
      out[n++] = {ch.entered, Message{}};
      ch.entered = Message{};
      ch.count = 0;
      ch.select = nullptr;
      ch.msb = ch.lsb = -1;
    }
    return n;
  }

  if (controller == kDataEntryMsb && ch.select && ch.msb >= 0 && ch.lsb >= 0) {
    // The selection stays: another data entry sets the same parameter.
    ch.entered = Wide(*ch.select, in.channel, ch.msb << 7 | ch.lsb, value);
    ch.enteredLsb = false;
    ch.count = 0;
    out[0] = {ch.entered, Message{}};
    return 1;
  }
  if (controller == kDataEntryLsb && ch.entered.kind != kKindByFormat && !ch.enteredLsb &&
      ch.count == 0) {
    ch.entered.value = static_cast<uint16_t>(ch.entered.value << 7 | value);
    ch.entered.options |= kOption14Bit;
    ch.enteredLsb = true;
    out[0] = {ch.entered, Message{}};
    return 1;
  }

  // Any other controller ends a selection and a data entry.
  ch.entered = Message{};
  int32_t n = Release(ch, out, 0);
  const MessageKind* pair = PairKind();
  if (pair && pairMsb.channel && controller == pairMsb.number - 1 + 32) {
    out[n++] = {Wide(*pair, in.channel, pairMsb.number - 1, (pairMsb.value - 1) << 7 | value),
                pairMsb};
    return n;
  }
  if (pair && controller >= 1 && controller < pair->numbers)
    ch.pairMsb = in;
  out[n++] = {in, Message{}};
  return n;
}

int32_t LearnRecogniser::Flush(int32_t channel, Recognised (&out)[kMaxOut]) noexcept
{
  if (channel < 1 || channel > 16)
    return 0;
  return Release(channels[channel - 1], out, 0);
}

bool LearnRecogniser::Holding() const noexcept
{
  for (const Channel& channel : channels) {
    if (channel.count > 0)
      return true;
  }
  return false;
}

void LearnRecogniser::Reset() noexcept
{
  for (Channel& channel : channels)
    channel = Channel{};
}

} // namespace strips
