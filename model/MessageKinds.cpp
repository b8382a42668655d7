#include "model/MessageKinds.h"

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

// ------------------------------------------------------ the kinds' bytes

// Control Change and Note On: channel, number and value non-zero (stored
// plus one). A chunk may hold bytes no dial can set; such a message would
// come out as another status (channel 17 is a Program Change) or with a
// data byte above 127, so it is not sent at all.
int32_t RecordBytes(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept
{
  out.size = 0;
  if (!ChannelOk(m) || m.number < 1 || m.number > 128 || m.value < 1 || m.value > 128)
    return 0;
  Put(out, static_cast<uint8_t>(kind.status + m.channel - 1), static_cast<uint8_t>(m.number - 1),
      static_cast<uint8_t>(m.value - 1));
  return out.size;
}

int32_t ProgramBytes(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept
{
  out.size = 0;
  if (!ChannelOk(m) || m.number < 1 || m.number > 128)
    return 0;
  Put(out, static_cast<uint8_t>(kind.status + m.channel - 1), static_cast<uint8_t>(m.number - 1),
      0);
  return out.size;
}

bool WideValueOk(const MessageKind& kind, const Message& m) noexcept
{
  const bool fourteen = !kind.options || (m.options & kOption14Bit);
  return m.number < kind.numbers && m.value < (fourteen ? 16384 : 128);
}

// NRPN and RPN: the parameter's MSB and LSB, the value's MSB (a 7-bit
// value: the value itself) and LSB, and the null parameter when asked.
int32_t SelectBytes(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept
{
  out.size = 0;
  if (!ChannelOk(m) || !WideValueOk(kind, m))
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
  if (!ChannelOk(m) || !WideValueOk(kind, m))
    return 0;
  const auto cc = static_cast<uint8_t>(kind.status + m.channel - 1);
  Put(out, cc, static_cast<uint8_t>(m.number), static_cast<uint8_t>(m.value >> 7));
  Put(out, cc, static_cast<uint8_t>(m.number + 32),
      static_cast<uint8_t>(m.value & midi::kDataMask));
  return out.size;
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

// The table. Fields: name, word, kind byte, format, status, in extension,
// wide, has value, settles, learnable, options, select MSB/LSB, pairs,
// numbers, bytes, rank, any number. A kind of one short event with a
// number and a value (Poly Pressure, say) is a line with RecordBytes.
constexpr uint8_t kCc = midi::kControlChange;
constexpr MessageKind kKinds[] = {
    {"CC", "cc", kKindByFormat, 0, kCc, false, false, true, false, true, false, 0, 0, false, 128,
     RecordBytes, ControllerRank, false},
    {"Note", "note", kKindByFormat, 1, midi::kNoteOn, false, false, true, false, false, false, 0, 0,
     false, 128, RecordBytes, OtherRank, false},
    {"PC", "pc", kKindProgramChange, 1, midi::kProgramChange, true, false, false, true, true, false,
     0, 0, false, 128, ProgramBytes, ProgramRank, true},
    {"NRPN", "nrpn", kKindNrpn, 1, kCc, true, true, true, false, true, true, 99, 98, false, 16384,
     SelectBytes, OtherRank, false},
    {"RPN", "rpn", kKindRpn, 1, kCc, true, true, true, false, true, true, kNullSelectMsb,
     kNullSelectLsb, false, 16384, SelectBytes, OtherRank, false},
    {"CC14", "cc14", kKindCc14, 1, kCc, true, true, true, false, true, false, 0, 0, true, 32,
     PairBytes, OtherRank, false},
};
constexpr int32_t kKindCount = static_cast<int32_t>(sizeof kKinds / sizeof kKinds[0]);

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
  const MessageKind* kind = kindByte == kKindByFormat ? nullptr : KindOfByte(kindByte);
  return kind && kind->inExtension;
}

Message Read(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
             int32_t message) noexcept
{
  const VSTPluginStrip& s = program.strips[strip];
  const MessageKind& kind = StoredKind(extension, program, strip, message);
  Message m;
  m.kind = kind.kindByte;
  m.format = field::Load(RecordByte(s, kFormatField, message));
  m.channel = kind.inExtension ? field::Load(ExtensionChannel(extension, strip, message))
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
  if (to && to->inExtension) {
    if (!(from && from->inExtension)) {
      field::Store(ExtensionChannel(extension, strip, message),
                   field::Load(RecordByte(s, kChannelField, message)));
      field::Store(RecordByte(s, kChannelField, message), 0);
    }
    field::Store(RecordByte(s, kFormatField, message), to->format);
    if (from && from->wide && !to->wide)
      ClearWide(extension, strip, message);
    field::Store(KindByte(extension, strip, message), to->kindByte);
    return;
  }
  // By format. Also tidies a kind byte a chunk left at another value.
  if (from && from->inExtension)
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
  SetKind(program, extension, strip, message, kKindByFormat);
  const MessageKind& kind = KindOf(m);
  VSTPluginStrip& s = program.strips[strip];
  field::Store(RecordByte(s, kFormatField, message), kind.kindByte ? kind.format : m.format);
  field::Store(RecordByte(s, kChannelField, message), m.channel);
  field::Store(RecordByte(s, kNumberField, message), kind.wide ? 0 : m.number);
  field::Store(RecordByte(s, kValueField, message), kind.wide ? 0 : m.value);
  if (kind.wide) {
    const int32_t i = WideIndex(strip, message);
    field::Store(extension.wide.number[i], m.number);
    field::Store(extension.wide.value[i], m.value);
    field::Store(extension.wide.options[i], m.options);
  }
  if (kind.kindByte != kKindByFormat)
    SetKind(program, extension, strip, message, kind.kindByte);
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
  // saved); clearing them is always allowed.
  const uint8_t kindByte = field::Load(KindByte(extension, strip, message));
  const MessageKind* kind = kindByte == kKindByFormat ? nullptr : KindOfByte(kindByte);
  if (value != 0 && !(kind && kind->wide))
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

float KindParameter(uint8_t kindByte) noexcept
{
  if (kindByte == kKindProgramChange)
    return 1.0f;
  return KindOfByte(kindByte) ? static_cast<float>(kindByte) / 16.0f : 0.0f;
}

uint8_t KindFromParameter(float value) noexcept
{
  // Anything above the switch threshold was a Program Change before there
  // were other kinds, and stays one.
  if (param::SwitchOn(value))
    return kKindProgramChange;
  const int32_t byte = param::Encode(value, 16);
  if (byte <= kKindProgramChange || byte > 255)
    return kKindByFormat;
  return KindOfByte(static_cast<uint8_t>(byte)) ? static_cast<uint8_t>(byte) : kKindByFormat;
}

// --------------------------------------------------------------- learning

bool Learnable(const Message& m) noexcept
{
  const MessageKind& kind = KindOf(m);
  if (!kind.learnable || !ChannelOk(m))
    return false;
  if (kind.wide)
    return WideValueOk(kind, m);
  if (m.number < 1 || m.number > 128)
    return false;
  return !kind.hasValue || (m.value >= 1 && m.value <= 128);
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
  return kind.learnable && &kind == &KindOf(b) && a.channel == b.channel &&
         (kind.anyNumber || a.number == b.number);
}

Message LearnedForm(const Message& m) noexcept
{
  const MessageKind& kind = KindOf(m);
  Message out = m;
  out.format = kind.format;
  if (!kind.hasValue)
    out.value = 0;
  if (!kind.wide)
    out.options = 0;
  return out;
}

void UpdateLearned(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                   int32_t message, const Message& m) noexcept
{
  const MessageKind& kind = KindOf(m);
  if (StoredKind(extension, program, strip, message).pairs && !kind.wide) {
    // The MSB of a 14-bit CC (SameLearned): its LSB stays.
    const uint16_t lsb = LoadWide(extension, strip, message, kWideValue) & midi::kDataMask;
    StoreWide(extension, strip, message, kWideValue,
              static_cast<uint16_t>((m.value - 1) << 7 | lsb));
    return;
  }
  if (kind.wide) {
    StoreWide(extension, strip, message, kWideValue, m.value);
    StoreWide(extension, strip, message, kWideOptions, m.options);
    return;
  }
  // A kind without a value learns its number (a Program Change its program).
  const int32_t which = kind.hasValue ? kValueField : kNumberField;
  field::Store(RecordByte(program.strips[strip], which, message),
               static_cast<uint8_t>(kind.hasValue ? m.value : m.number));
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

// ------------------------------------------------------------- printing

void Describe(const Message& m, char (&text)[kDescriptionSize]) noexcept
{
  MessageBytes bytes;
  if (Bytes(m, bytes) == 0) {
    std::snprintf(text, sizeof text, "off");
    return;
  }
  const MessageKind& kind = KindOf(m);
  if (kind.wide)
    std::snprintf(text, sizeof text, "%s %d ch %d = %d%s", kind.name, m.number, m.channel, m.value,
                  (m.options & kOptionNull) && kind.options ? " null" : "");
  else
    std::snprintf(text, sizeof text, "%s %d ch %d", kind.name, m.number - 1, m.channel);
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
  if (count < 3)
    return false;
  for (const MessageKind& kind : kKinds) {
    if (std::strcmp(parts[0], kind.word) != 0)
      continue;
    const int32_t fields = kind.hasValue ? 4 : 3;
    if (count < fields || (!kind.options && count != fields) || count > fields + 2)
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
    const long maxValue = !kind.wide ? 127 : sevenBit ? 127 : 16383;
    if (!Number(parts[1], 1, 16, channel) || !Number(parts[2], 0, kind.numbers - 1, number) ||
        (kind.hasValue && !Number(parts[3], 0, maxValue, value)))
      return false;
    out.channel = static_cast<uint8_t>(channel);
    // The record kinds store their number and value plus one.
    const long plus = kind.wide ? 0 : 1;
    out.number = static_cast<uint16_t>(number + plus);
    out.value = kind.hasValue ? static_cast<uint16_t>(value + plus) : 0;
    m = out;
    return true;
  }
  return false;
}

const char* ParseSyntax() noexcept
{
  return "cc/CH/NUM/VAL, note/CH/NUM/VAL, pc/CH/PROG, nrpn/CH/PARAM/VAL[/7][/null], "
         "rpn/CH/PARAM/VAL[/7][/null], cc14/CH/N/VAL or off";
}

} // namespace strips
