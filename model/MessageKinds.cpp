#include "model/MessageKinds.h"

#include "midi/MidiBytes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace strips {

namespace {

bool ChannelOk(const Message& m) noexcept
{
  return m.channel >= 1 && m.channel <= 16;
}

void Put(MessageBytes& out, uint8_t status, uint8_t data1, uint8_t data2) noexcept
{
  out.data[out.size++] = status;
  out.data[out.size++] = data1;
  if (midi::MessageLength(status) == 3)
    out.data[out.size++] = data2;
}

// The value's range: a kind with options has 7 bits unless its 14-bit
// option is set.
int32_t ValueCount(const MessageKind& kind, const Message& m) noexcept
{
  return kind.options && !(m.options & kOption14Bit) ? 128 : kind.values;
}

// The fields a kind has are in its ranges (as stored: the record's plus
// one, the wide block's as sent). A chunk may hold bytes no dial can set;
// such a message would come out as another status (channel 17 is a
// Program Change) or with a data byte above 127, so it is not sent at all.
bool FieldsOk(const MessageKind& kind, const Message& m) noexcept
{
  const int32_t plus = kind.wide ? 0 : 1;
  auto within = [plus](int32_t field, int32_t count) {
    return field >= plus && field < count + plus;
  };
  return ChannelOk(m) && (!HasNumber(kind) || within(m.number, kind.numbers)) &&
         (!HasValue(kind) || within(m.value, ValueCount(kind, m)));
}

// ------------------------------------------------------ the kinds' bytes

// One event, whose data bytes are the number when the kind has one, then
// the value when it has one: a byte, or 14 bits as LSB and MSB (Pitch
// Bend). The record's fields are stored plus one.
int32_t EventBytes(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept
{
  out.size = 0;
  if (!FieldsOk(kind, m))
    return 0;
  const int32_t plus = kind.wide ? 0 : 1;
  uint8_t data[3] = {};
  int32_t n = 0;
  if (HasNumber(kind))
    data[n++] = static_cast<uint8_t>(m.number - plus);
  if (HasValue(kind) && kind.values > 128) {
    data[n++] = static_cast<uint8_t>(m.value & midi::kDataMask);
    data[n++] = static_cast<uint8_t>(m.value >> 7);
  } else if (HasValue(kind)) {
    data[n++] = static_cast<uint8_t>(m.value - plus);
  }
  Put(out, static_cast<uint8_t>(kind.status + m.channel - 1), data[0], data[1]);
  return out.size;
}

// NRPN and RPN: the parameter's MSB and LSB, the value's MSB (a 7-bit
// value: the value itself) and LSB, and the null parameter when asked.
int32_t SelectBytes(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept
{
  out.size = 0;
  if (!FieldsOk(kind, m))
    return 0;
  const auto cc = static_cast<uint8_t>(kind.status + m.channel - 1);
  Put(out, cc, kind.selectMsb, static_cast<uint8_t>(m.number >> 7));
  Put(out, cc, kind.selectLsb, static_cast<uint8_t>(m.number & midi::kDataMask));
  if (m.options & kOption14Bit) {
    Put(out, cc, kDataEntryMsb, static_cast<uint8_t>(m.value >> 7));
    Put(out, cc, kDataEntryLsb, static_cast<uint8_t>(m.value & midi::kDataMask));
  } else {
    Put(out, cc, kDataEntryMsb, static_cast<uint8_t>(m.value));
  }
  if (m.options & kOptionNull) {
    Put(out, cc, kNullSelectMsb, kNullNumber);
    Put(out, cc, kNullSelectLsb, kNullNumber);
  }
  return out.size;
}

// 14-bit CC: controller n (0..31) with the MSB, n + 32 with the LSB.
int32_t PairBytes(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept
{
  out.size = 0;
  if (!FieldsOk(kind, m))
    return 0;
  const auto cc = static_cast<uint8_t>(kind.status + m.channel - 1);
  Put(out, cc, static_cast<uint8_t>(m.number), static_cast<uint8_t>(m.value >> 7));
  Put(out, cc, static_cast<uint8_t>(m.number + 32),
      static_cast<uint8_t>(m.value & midi::kDataMask));
  return out.size;
}

// ------------------------------------------------ the kinds' learning

// The message of one event, EventBytes read backwards.
bool FromEvent(const MessageKind& kind, uint8_t status, uint8_t data1, uint8_t data2,
               Message& m) noexcept
{
  const int32_t plus = kind.wide ? 0 : 1;
  const uint8_t data[2] = {static_cast<uint8_t>(data1 & midi::kDataMask),
                           static_cast<uint8_t>(data2 & midi::kDataMask)};
  int32_t n = 0;
  m = Message{};
  m.kind = kind.kindByte;
  m.format = kind.format;
  m.channel = static_cast<uint8_t>((status & midi::kChannelMask) + 1);
  if (HasNumber(kind))
    m.number = static_cast<uint16_t>(data[n++] + plus);
  if (HasValue(kind) && kind.values > 128)
    m.value = static_cast<uint16_t>(data[n] | data[n + 1] << 7);
  else if (HasValue(kind))
    m.value = static_cast<uint16_t>(data[n] + plus);
  return true;
}

// ------------------------------------------------------ the kinds' ranks

uint8_t ControllerRank(const Message& m) noexcept
{
  return m.number == 0 + 1 ? kRankBankMsb : m.number == 32 + 1 ? kRankBankLsb : kRankOther;
}
uint8_t ProgramRank(const Message&) noexcept
{
  return kRankProgram;
}
uint8_t OtherRank(const Message&) noexcept
{
  return kRankOther;
}

// ------------------------------------------------------------ the table

// A table line, written as what the kind is: Kind(...) names it and gives
// its kind byte and status, the rest say what differs from a kind of one
// event without fields that is not learned.
struct Line
{
  MessageKind kind;

  // This line with one field set.
  template <typename T, typename V> constexpr Line With(T MessageKind::*field, V value) const
  {
    Line line = *this;
    line.kind.*field = value;
    return line;
  }
  constexpr Line Number(const char* word, uint16_t count) const
  {
    return With(&MessageKind::numberWord, word).With(&MessageKind::numbers, count);
  }
  constexpr Line Value(uint16_t count, uint16_t initial = 0) const
  {
    return With(&MessageKind::values, count).With(&MessageKind::defaultValue, initial);
  }
  // Number, value and options in the wide block.
  constexpr Line Wide() const { return With(&MessageKind::wide, true); }
  // The parameter-select controllers of an NRPN or RPN, with the options.
  constexpr Line Select(uint8_t msb, uint8_t lsb) const
  {
    return Wide()
        .With(&MessageKind::bytes, SelectBytes)
        .With(&MessageKind::selectMsb, msb)
        .With(&MessageKind::selectLsb, lsb)
        .With(&MessageKind::options, true);
  }
  constexpr Line Pairs() const
  {
    return Wide().With(&MessageKind::bytes, PairBytes).With(&MessageKind::pairs, true);
  }
  constexpr Line Settles() const { return With(&MessageKind::settles, true); }
  // Learned from events of `status`: each one is a message (FromEvent), or,
  // without `one`, the recogniser makes it of several.
  constexpr Line LearnedFrom(uint8_t status, bool one = true) const
  {
    return With(&MessageKind::learnStatus, status)
        .With(&MessageKind::fromMidi, one ? FromEvent : nullptr);
  }
  constexpr Line Ranked(uint8_t (*rank)(const Message&) noexcept, bool anyNumber = false) const
  {
    return With(&MessageKind::rank, rank).With(&MessageKind::anyNumber, anyNumber);
  }
  constexpr operator MessageKind() const { return kind; }
};

constexpr Line Kind(const char* name, const char* title, const char* word, uint8_t kindByte,
                    uint8_t format, uint8_t status)
{
  Line line{};
  line.kind.name = name;
  line.kind.title = title;
  line.kind.word = word;
  line.kind.kindByte = kindByte;
  line.kind.format = format;
  line.kind.status = status;
  line.kind.bytes = EventBytes;
  line.kind.rank = OtherRank;
  return line;
}

// The kinds, in the format dial's order. A kind byte is stored in chunks:
// a new kind takes the next free one.
constexpr uint8_t kCc = midi::kControlChange;
constexpr MessageKind kKinds[] = {
    Kind("CC", "Control Change", "cc", kKindByFormat, 0, kCc)
        .Number("NUM", 128)
        .Value(128)
        .LearnedFrom(kCc)
        .Ranked(ControllerRank),
    Kind("Note", "Note On", "note", kKindByFormat, 1, midi::kNoteOn).Number("NUM", 128).Value(128),
    Kind("PC", "Program Change", "pc", kKindProgramChange, 1, midi::kProgramChange)
        .Number("PROG", 128)
        .Settles()
        .LearnedFrom(midi::kProgramChange)
        .Ranked(ProgramRank, true),
    Kind("NRPN", "NRPN", "nrpn", 2, 1, kCc)
        .Number("PARAM", 16384)
        .Value(16384)
        .Select(99, 98)
        .LearnedFrom(kCc, false),
    Kind("RPN", "RPN", "rpn", 3, 1, kCc)
        .Number("PARAM", 16384)
        .Value(16384)
        .Select(kNullSelectMsb, kNullSelectLsb)
        .LearnedFrom(kCc, false),
    Kind("CC14", "14-bit CC", "cc14", 4, 1, kCc)
        .Number("N", 32)
        .Value(16384)
        .Pairs()
        .LearnedFrom(kCc, false),
    Kind("CP", "Channel Pressure", "cp", 5, 1, midi::kChannelPressure)
        .Value(128)
        .LearnedFrom(midi::kChannelPressure),
    Kind("Poly", "Poly Pressure", "poly", 6, 1, midi::kPolyPressure)
        .Number("KEY", 128)
        .Value(128)
        .LearnedFrom(midi::kPolyPressure),
    Kind("PB", "Pitch Bend", "pb", 7, 1, midi::kPitchBend)
        .Value(16384, 8192)
        .Wide()
        .LearnedFrom(midi::kPitchBend),
};
constexpr int32_t kKindCount = static_cast<int32_t>(sizeof kKinds / sizeof kKinds[0]);

// Every line is a whole definition: a kind byte of its own within the
// kind parameter's room, a status the MIDI rules know, a spelling for each
// field it has, a value that fits its range; Control Change and Note On
// first, the two kinds by format (ByFormat).
constexpr bool TableIsWhole()
{
  for (int32_t i = 0; i < kKindCount; ++i) {
    const MessageKind& kind = kKinds[i];
    if (kind.kindByte > kMaxKindByte || midi::MessageLength(kind.status) < 2 ||
        (kind.numberWord == nullptr) == HasNumber(kind) ||
        (HasValue(kind) && kind.defaultValue >= kind.values) ||
        (kind.kindByte == kKindByFormat) != (i < 2) || kind.format != (i == 0 ? 0 : 1))
      return false;
    for (int32_t j = 0; j < i; ++j) {
      if (kKinds[j].kindByte == kind.kindByte && kind.kindByte != kKindByFormat)
        return false;
    }
  }
  return true;
}
static_assert(TableIsWhole(), "a kind line is not whole (see TableIsWhole)");

// The statuses learning takes, a bit per status nibble.
constexpr uint16_t LearnedStatuses()
{
  uint16_t bits = 0;
  for (const MessageKind& kind : kKinds) {
    if (Learned(kind))
      bits = static_cast<uint16_t>(bits | 1u << (kind.learnStatus >> 4));
  }
  return bits;
}
constexpr uint16_t kLearnedStatuses = LearnedStatuses();

const MessageKind& ByFormat(uint8_t format) noexcept
{
  return kKinds[format == 0 ? 0 : 1];
}

const MessageKind& KindFrom(uint8_t kindByte, uint8_t format) noexcept
{
  if (kindByte != kKindByFormat) {
    if (const MessageKind* kind = KindOfByte(kindByte))
      return *kind;
  }
  return ByFormat(format);
}

void ClearWide(ProgramExtension& extension, int32_t strip, int32_t message) noexcept
{
  const int32_t i = WideIndex(strip, message);
  field::Store(extension.wide.number[i], 0);
  field::Store(extension.wide.value[i], 0);
  field::Store(extension.wide.options[i], 0);
}

// A message made of another kind: a number it does not have goes, and a
// kind with a default value starts at it (a Pitch Bend at its centre, not
// bent fully down). Every other field stays as it was.
void StartAs(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip, int32_t message,
             const MessageKind& kind) noexcept
{
  const int32_t i = WideIndex(strip, message);
  VSTPluginStrip& s = program.strips[strip];
  if (!HasNumber(kind) && kind.wide)
    field::Store(extension.wide.number[i], 0);
  else if (!HasNumber(kind))
    field::Store(RecordByte(s, kNumberField, message), 0);
  if (kind.defaultValue == 0)
    return;
  if (kind.wide)
    field::Store(extension.wide.value[i], kind.defaultValue);
  else
    field::Store(RecordByte(s, kValueField, message), static_cast<uint8_t>(kind.defaultValue + 1));
}

} // namespace

const MessageKind* Kinds() noexcept
{
  return kKinds;
}

int32_t KindCount() noexcept
{
  return kKindCount;
}

const MessageKind* KindOfByte(uint8_t kindByte) noexcept
{
  for (const MessageKind& kind : kKinds) {
    if (kind.kindByte == kindByte)
      return &kind;
  }
  return nullptr;
}

const MessageKind& KindOf(const Message& m) noexcept
{
  return KindFrom(m.kind, m.format);
}

int32_t KindIndexOf(const Message& m) noexcept
{
  return static_cast<int32_t>(&KindOf(m) - kKinds);
}

// ---------------------------------------------------------------- storage

const MessageKind& StoredKind(const ProgramExtension& extension, const VSTPluginProgram& program,
                              int32_t strip, int32_t message) noexcept
{
  return KindFrom(field::Load(KindByte(extension, strip, message)),
                  field::Load(RecordByte(program.strips[strip], kFormatField, message)));
}

bool InExtension(const ProgramExtension& extension, int32_t strip, int32_t message) noexcept
{
  const uint8_t kindByte = field::Load(KindByte(extension, strip, message));
  return kindByte != kKindByFormat && KindOfByte(kindByte);
}

Message Read(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
             int32_t message) noexcept
{
  const VSTPluginStrip& s = program.strips[strip];
  const MessageKind& kind = StoredKind(extension, program, strip, message);
  Message m;
  m.kind = kind.kindByte;
  m.format = field::Load(RecordByte(s, kFormatField, message));
  m.channel = kind.kindByte != kKindByFormat
                  ? field::Load(ExtensionChannel(extension, strip, message))
                  : field::Load(RecordByte(s, kChannelField, message));
  if (kind.wide) {
    const int32_t i = WideIndex(strip, message);
    m.number = field::Load(extension.wide.number[i]);
    m.value = field::Load(extension.wide.value[i]);
    m.options = field::Load(extension.wide.options[i]);
  } else {
    m.number = field::Load(RecordByte(s, kNumberField, message));
    m.value = field::Load(RecordByte(s, kValueField, message));
  }
  return m;
}

void SetKind(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip, int32_t message,
             uint8_t kindByte) noexcept
{
  VSTPluginStrip& s = program.strips[strip];
  const MessageKind* to = kindByte == kKindByFormat ? nullptr : KindOfByte(kindByte);
  const uint8_t fromByte = field::Load(KindByte(extension, strip, message));
  const MessageKind* from = fromByte == kKindByFormat ? nullptr : KindOfByte(fromByte);
  if (to) {
    if (!from) {
      field::Store(ExtensionChannel(extension, strip, message),
                   field::Load(RecordByte(s, kChannelField, message)));
      field::Store(RecordByte(s, kChannelField, message), 0);
    }
    field::Store(RecordByte(s, kFormatField, message), to->format);
    if (from && from->wide && !to->wide)
      ClearWide(extension, strip, message);
    field::Store(KindByte(extension, strip, message), to->kindByte);
    if (to != from)
      StartAs(program, extension, strip, message, *to);
    return;
  }
  // By format. Also tidies a kind byte a chunk left at another value.
  if (from)
    field::Store(RecordByte(s, kChannelField, message),
                 field::Load(ExtensionChannel(extension, strip, message)));
  field::Store(ExtensionChannel(extension, strip, message), 0);
  if (from && from->wide)
    ClearWide(extension, strip, message);
  field::Store(KindByte(extension, strip, message), kKindByFormat);
}

void StoreField(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                int32_t message, int32_t which, uint8_t byte) noexcept
{
  const bool kept = InExtension(extension, strip, message);
  if (kept && which == kChannelField) {
    field::Store(ExtensionChannel(extension, strip, message), byte);
    return;
  }
  if (kept && which == kFormatField)
    SetKind(program, extension, strip, message, kKindByFormat);
  field::Store(RecordByte(program.strips[strip], which, message), byte);
}

uint8_t LoadField(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
                  int32_t message, int32_t which) noexcept
{
  if (which == kChannelField && InExtension(extension, strip, message))
    return field::Load(ExtensionChannel(extension, strip, message));
  return field::Load(RecordByte(program.strips[strip], which, message));
}

void Write(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip, int32_t message,
           const Message& m) noexcept
{
  // The kind first (from by format, so that nothing of the old message's
  // kind is left), then every field in its place.
  SetKind(program, extension, strip, message, kKindByFormat);
  const MessageKind& kind = KindOf(m);
  if (kind.kindByte != kKindByFormat)
    SetKind(program, extension, strip, message, kind.kindByte);
  VSTPluginStrip& s = program.strips[strip];
  field::Store(RecordByte(s, kFormatField, message), kind.kindByte ? kind.format : m.format);
  if (kind.kindByte != kKindByFormat)
    field::Store(ExtensionChannel(extension, strip, message), m.channel);
  else
    field::Store(RecordByte(s, kChannelField, message), m.channel);
  field::Store(RecordByte(s, kNumberField, message), kind.wide ? 0 : m.number);
  field::Store(RecordByte(s, kValueField, message), kind.wide ? 0 : m.value);
  if (kind.wide) {
    const int32_t i = WideIndex(strip, message);
    field::Store(extension.wide.number[i], m.number);
    field::Store(extension.wide.value[i], m.value);
    field::Store(extension.wide.options[i], m.options);
  }
}

bool Free(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
          int32_t message) noexcept
{
  return !InExtension(extension, strip, message) &&
         field::Load(RecordByte(program.strips[strip], kChannelField, message)) == 0;
}

void StoreWide(ProgramExtension& extension, int32_t strip, int32_t message, int32_t which,
               uint16_t value) noexcept
{
  // A message of another kind keeps no wide fields (they would not be
  // saved), nor one without a number a number; clearing them is always
  // allowed.
  const uint8_t kindByte = field::Load(KindByte(extension, strip, message));
  const MessageKind* kind = kindByte == kKindByFormat ? nullptr : KindOfByte(kindByte);
  if (value != 0 && !(kind && kind->wide && (which != kWideNumber || HasNumber(*kind))))
    return;
  const int32_t i = WideIndex(strip, message);
  if (which == kWideNumber)
    field::Store(extension.wide.number[i], value);
  else if (which == kWideValue)
    field::Store(extension.wide.value[i], value);
  else
    field::Store(extension.wide.options[i], value & (kOption14Bit | kOptionNull));
}

uint16_t LoadWide(const ProgramExtension& extension, int32_t strip, int32_t message,
                  int32_t which) noexcept
{
  const int32_t i = WideIndex(strip, message);
  return which == kWideNumber  ? field::Load(extension.wide.number[i])
         : which == kWideValue ? field::Load(extension.wide.value[i])
                               : field::Load(extension.wide.options[i]);
}

bool WideInUse(const ProgramExtension& extension) noexcept
{
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    for (int32_t message = 0; message < 2; ++message) {
      const uint8_t kindByte = field::Load(KindByte(extension, strip, message));
      const MessageKind* kind = kindByte == kKindByFormat ? nullptr : KindOfByte(kindByte);
      if (kind && kind->wide)
        return true;
    }
  }
  return false;
}

// ------------------------------------------------------------------ bytes

int32_t Bytes(const Message& m, MessageBytes& out) noexcept
{
  const MessageKind& kind = KindOf(m);
  return kind.bytes(kind, m, out);
}

bool Settles(const Message& m) noexcept
{
  return KindOf(m).settles;
}

// ------------------------------------------------------------- parameters

namespace {

// The kind parameter on a grid of 32nds up to 0.5: kind byte k at step 2k
// up to kind byte 8 (k / 16, as before there was more room), and the kind
// bytes from 9 on at the odd steps 1, 3 ... 15 between them.
constexpr int32_t kKindSteps = 32;
constexpr int32_t kOldKindBytes = 8; // the kind bytes that k / 16 holds below the switch threshold

constexpr int32_t StepOf(int32_t kindByte) noexcept
{
  return kindByte <= kOldKindBytes ? 2 * kindByte : 2 * (kindByte - kOldKindBytes) - 1;
}
constexpr int32_t KindByteOfStep(int32_t step) noexcept
{
  return step % 2 == 0 ? step / 2 : (step + 1) / 2 + kOldKindBytes;
}
constexpr bool KindStepsFit()
{
  for (int32_t k = kKindProgramChange + 1; k <= kMaxKindByte; ++k) {
    const int32_t step = StepOf(k);
    if (step < 1 || step > kKindSteps / 2 || KindByteOfStep(step) != k)
      return false;
  }
  return true;
}
static_assert(KindStepsFit(), "the kind parameter has no room for kMaxKindByte kinds");

} // namespace

float KindParameter(uint8_t kindByte) noexcept
{
  if (kindByte == kKindProgramChange)
    return 1.0f;
  if (kindByte == kKindByFormat || kindByte > kMaxKindByte || !KindOfByte(kindByte))
    return 0.0f;
  return static_cast<float>(StepOf(kindByte)) / static_cast<float>(kKindSteps);
}

uint8_t KindFromParameter(float value) noexcept
{
  // Anything above the switch threshold was a Program Change before there
  // were other kinds, and stays one.
  if (param::SwitchOn(value))
    return kKindProgramChange;
  const int32_t step = param::Encode(value, kKindSteps);
  if (step < 1 || step > kKindSteps / 2)
    return kKindByFormat;
  const int32_t kindByte = KindByteOfStep(step);
  if (kindByte <= kKindProgramChange || kindByte > kMaxKindByte)
    return kKindByFormat;
  return KindOfByte(static_cast<uint8_t>(kindByte)) ? static_cast<uint8_t>(kindByte)
                                                    : kKindByFormat;
}

// --------------------------------------------------------------- learning

bool Learnable(const Message& m) noexcept
{
  const MessageKind& kind = KindOf(m);
  return Learned(kind) && FieldsOk(kind, m);
}

uint8_t LearnRankOf(const Message& m) noexcept
{
  return KindOf(m).rank(m);
}

bool SameLearned(const Message& a, const Message& b) noexcept
{
  // A stored message without a value (set off by hand) is still the same
  // message: it takes the learned value.
  const MessageKind& kind = KindOf(a);
  // Controller n is the MSB of a stored 14-bit CC n: it sets that part.
  if (kind.pairs && &KindOf(b) == &kKinds[0])
    return a.channel == b.channel && a.number + 1 == b.number;
  return Learned(kind) && &kind == &KindOf(b) && a.channel == b.channel &&
         (kind.anyNumber || !HasNumber(kind) || a.number == b.number);
}

Message LearnedForm(const Message& m) noexcept
{
  const MessageKind& kind = KindOf(m);
  Message out = m;
  out.format = kind.format;
  if (!HasNumber(kind))
    out.number = 0;
  if (!HasValue(kind))
    out.value = 0;
  if (!kind.wide)
    out.options = 0;
  return out;
}

void UpdateLearned(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                   int32_t message, const Message& m) noexcept
{
  // Only a field whose value changes is written: a controller moved back
  // and forth is learned again and again, and a store of the same value
  // would still take the record's cache line from the audio thread, which
  // reads it for every send.
  auto storeWide = [&](int32_t which, uint16_t value) {
    if (LoadWide(extension, strip, message, which) != value)
      StoreWide(extension, strip, message, which, value);
  };
  const MessageKind& kind = KindOf(m);
  if (StoredKind(extension, program, strip, message).pairs && !kind.wide) {
    // The MSB of a 14-bit CC (SameLearned): its LSB stays.
    const uint16_t lsb = LoadWide(extension, strip, message, kWideValue) & midi::kDataMask;
    storeWide(kWideValue, static_cast<uint16_t>((m.value - 1) << 7 | lsb));
    return;
  }
  if (kind.wide) {
    storeWide(kWideValue, m.value);
    storeWide(kWideOptions, m.options);
    return;
  }
  // A kind without a value learns its number (a Program Change its program).
  const int32_t which = HasValue(kind) ? kValueField : kNumberField;
  uint8_t& field = RecordByte(program.strips[strip], which, message);
  const auto value = static_cast<uint8_t>(HasValue(kind) ? m.value : m.number);
  if (field::Load(field) != value)
    field::Store(field, value);
}

bool LearnsStatus(uint8_t status) noexcept
{
  return midi::IsStatus(status) && (kLearnedStatuses >> (status >> 4) & 1) != 0;
}

bool FromMidi(uint8_t status, uint8_t data1, uint8_t data2, Message& m) noexcept
{
  const uint8_t type = status & midi::kStatusMask;
  for (const MessageKind& kind : kKinds) {
    if (kind.fromMidi && kind.learnStatus == type)
      return kind.fromMidi(kind, status, data1, data2, m);
  }
  return false;
}

// ------------------------------------------------------------- printing

void Describe(const Message& m, char (&text)[kDescriptionSize]) noexcept
{
  MessageBytes bytes;
  if (Bytes(m, bytes) == 0) {
    std::snprintf(text, sizeof text, "off");
    return;
  }
  const MessageKind& kind = KindOf(m);
  const int32_t plus = kind.wide ? 0 : 1;
  int32_t at = std::snprintf(text, sizeof text, "%s", kind.name);
  if (HasNumber(kind))
    at += std::snprintf(text + at, sizeof text - at, " %d", m.number - plus);
  at += std::snprintf(text + at, sizeof text - at, " ch %d", m.channel);
  if (HasValue(kind) && (kind.wide || !HasNumber(kind)))
    at += std::snprintf(text + at, sizeof text - at, " = %d", m.value - plus);
  if (kind.options && (m.options & kOptionNull))
    std::snprintf(text + at, sizeof text - at, " null");
}

namespace {

// Splits `text` at '/' into at most `most` parts (pointers into `copy`).
int32_t Split(const char* text, char (&copy)[64], const char* (&parts)[8]) noexcept
{
  if (std::strlen(text) >= sizeof copy)
    return 0;
  std::snprintf(copy, sizeof copy, "%s", text);
  int32_t count = 0;
  char* at = copy;
  for (;;) {
    if (count == 8)
      return 0;
    parts[count++] = at;
    char* slash = std::strchr(at, '/');
    if (!slash)
      return count;
    *slash = '\0';
    at = slash + 1;
  }
}

bool Number(const char* text, long low, long high, long& out) noexcept
{
  if (!*text)
    return false;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end || value < low || value > high)
    return false;
  out = value;
  return true;
}

} // namespace

bool Parse(const char* text, Message& m) noexcept
{
  if (std::strcmp(text, "off") == 0) {
    m = Message{};
    return true;
  }
  char copy[64];
  const char* parts[8];
  const int32_t count = Split(text, copy, parts);
  for (const MessageKind& kind : kKinds) {
    if (count == 0 || std::strcmp(parts[0], kind.word) != 0)
      continue;
    // The word, the channel, the number and the value the kind has, then
    // its options.
    const int32_t fields = 2 + (HasNumber(kind) ? 1 : 0) + (HasValue(kind) ? 1 : 0);
    if (count < fields || count > fields + (kind.options ? 2 : 0))
      return false;
    Message out;
    out.kind = kind.kindByte;
    out.format = kind.format;
    bool sevenBit = false;
    for (int32_t i = fields; i < count; ++i) {
      if (std::strcmp(parts[i], "7") == 0 && !sevenBit)
        sevenBit = true;
      else if (std::strcmp(parts[i], "null") == 0 && !(out.options & kOptionNull))
        out.options |= kOptionNull;
      else
        return false;
    }
    if (kind.options && !sevenBit)
      out.options |= kOption14Bit;
    long channel = 0;
    long number = 0;
    long value = 0;
    const char* const* field = parts + 2;
    if (!Number(parts[1], 1, 16, channel) ||
        (HasNumber(kind) && !Number(*field++, 0, kind.numbers - 1, number)) ||
        (HasValue(kind) && !Number(*field, 0, ValueCount(kind, out) - 1, value)))
      return false;
    out.channel = static_cast<uint8_t>(channel);
    // The record kinds store their number and value plus one.
    const long plus = kind.wide ? 0 : 1;
    out.number = HasNumber(kind) ? static_cast<uint16_t>(number + plus) : 0;
    out.value = HasValue(kind) ? static_cast<uint16_t>(value + plus) : 0;
    m = out;
    return true;
  }
  return false;
}

namespace {

// Appends to text[at] what fits of `more`, always terminated; returns the
// new length.
int32_t Append(char* text, int32_t size, int32_t at, const char* more) noexcept
{
  if (size <= 0)
    return 0;
  if (at >= size)
    at = size - 1;
  while (*more && at < size - 1)
    text[at++] = *more++;
  text[at] = '\0';
  return at;
}

} // namespace

int32_t Syntax(const MessageKind& kind, char* text, int32_t size) noexcept
{
  int32_t at = Append(text, size, 0, kind.word);
  at = Append(text, size, at, "/CH");
  if (HasNumber(kind)) {
    at = Append(text, size, at, "/");
    at = Append(text, size, at, kind.numberWord);
  }
  if (HasValue(kind))
    at = Append(text, size, at, "/VAL");
  if (kind.options)
    at = Append(text, size, at, "[/7][/null]");
  return at;
}

const char* ParseSyntax() noexcept
{
  // Built once from the table (a static's initialisation is thread-safe).
  struct Text
  {
    char text[512] = {};
    Text()
    {
      int32_t at = 0;
      for (const MessageKind& kind : kKinds) {
        if (at > 0)
          at = Append(text, sizeof text, at, ", ");
        at += Syntax(kind, text + at, static_cast<int32_t>(sizeof text) - at);
      }
      Append(text, sizeof text, at, " or off");
    }
  };
  static const Text syntax;
  return syntax.text;
}

int32_t ListKinds(const KindList& list, char* text, int32_t size) noexcept
{
  // The whole text on one line first: "lead A, B and C tail".
  const char* items[kKindCount + 1];
  int32_t count = 0;
  for (const MessageKind& kind : kKinds) {
    if (!list.which || list.which(kind))
      items[count++] = list.titles ? kind.title : kind.name;
  }
  if (list.more)
    items[count++] = list.more;
  char line[512];
  int32_t length = Append(line, sizeof line, 0, list.lead);
  for (int32_t i = 0; i < count; ++i) {
    const char* before = i == 0 ? (*list.lead ? " " : "") : i == count - 1 ? " and " : ", ";
    length = Append(line, sizeof line, length, before);
    length = Append(line, sizeof line, length, items[i]);
  }
  Append(line, sizeof line, length, list.tail);

  // Then word by word (a word with the spaces before it), a line break and
  // the indent instead of the spaces before a word that would take its line
  // past the width.
  int32_t at = Append(text, size, 0, "");
  int32_t lineStart = 0;
  char word[64];
  for (const char* from = line; *from;) {
    const auto spaces = static_cast<int32_t>(std::strspn(from, " "));
    const auto n = static_cast<int32_t>(std::strcspn(from + spaces, " "));
    std::snprintf(word, sizeof word, "%.*s", n, from + spaces);
    if (list.width > 0 && from != line && at - lineStart + spaces + n > list.width) {
      at = Append(text, size, at, "\n");
      lineStart = at;
      at = Append(text, size, at, list.indent);
    } else {
      std::snprintf(word, sizeof word, "%.*s", spaces + n, from);
    }
    at = Append(text, size, at, word);
    from += spaces + n;
  }
  return at;
}

} // namespace strips
