// The message kinds of a strip: Control Change, Note On, Program Change,
// NRPN, RPN, 14-bit Control Change, Channel Pressure, Poly Pressure and
// Pitch Bend. Each kind is one line of the table in MessageKinds.cpp that
// says how it is stored (record fields, extension fields, the wide block),
// its fields and their ranges, its default value, which bytes it sends,
// how learning takes it, how it is printed and how quillet-host's --strip
// spells it. The engine, the panel and quillet-host go through the calls
// below and hold no case of their own for any kind; their help texts and
// tooltips list the table. A new kind is a line in the table (and a status
// name in the MIDI byte rules when its status is new).
//
// Storage: a Control Change or Note On lives in the record alone (kind
// byte 0, the format byte tells them apart). Every other kind keeps
// channel 0 and format 1 in the record, so that a reader of the records
// alone sees the message off, and its channel in the extension; the other
// kinds of one short event keep their number and value in the record's
// bytes, the wide kinds theirs and their options in the extension's wide
// block (the chunk extension's version 2).
//
// Part of the chunk format's definition: standard library, support/ and
// the record. Threads: every call reads and writes single fields with
// field::Load/Store, so the audio thread may read (Read, Bytes) while
// another thread writes; the writers that touch several fields (SetKind,
// Write, StoreField on a message kept in the extension, UpdateLearned)
// expect the one strip writer of the record (in the plug-in: whoever holds
// its strip lock). Nothing here allocates; Parse and Describe are not for
// the audio thread only because nobody needs them there.
#pragma once

#include "model/Parameters.h"
#include "model/ProgramExtension.h"
#include "model/VSTPluginProgram.h"

#include <cstdint>

namespace strips {

// A message as it means: its kind, its real channel (for a message kept in
// the extension, the extension's), its number and value as the kind stores
// them (record kinds plus one, as in the record; wide kinds as sent,
// 0..16383) and the wide kinds' options.
struct Message
{
  uint8_t kind = kKindByFormat; // the stored kind byte
  uint8_t format = 0;           // the record's format byte (0 Control Change, else Note On)
  uint8_t channel = 0;          // 1..16, 0 = off
  uint16_t number = 0;
  uint16_t value = 0;
  uint8_t options = 0; // wide kinds: kOption14Bit, kOptionNull
};

// Options of a wide message (WideMessages::options).
constexpr uint8_t kOption14Bit = 1; // the value goes out as MSB and LSB
constexpr uint8_t kOptionNull = 2;  // the null parameter (CC 101 127, CC 100 127) follows

// The controllers the wide kinds are made of: data entry MSB and LSB, and
// the null parameter (RPN 127/127) that ends a parameter's selection.
constexpr uint8_t kDataEntryMsb = 6;
constexpr uint8_t kDataEntryLsb = 38;
constexpr uint8_t kNullSelectMsb = 101;
constexpr uint8_t kNullSelectLsb = 100;
constexpr uint8_t kNullNumber = 127;

// The longest message: a 14-bit NRPN with the null after it, six Control
// Changes of three bytes.
constexpr int32_t kMaxShortMessageBytes = 18;

// The bytes of one message: complete MIDI events back to back (a Program
// Change two bytes, the others three), all sent at the same frame.
struct MessageBytes
{
  uint8_t data[kMaxShortMessageBytes] = {};
  int32_t size = 0; // 0: the message is not sent
};

// The order of a channel's learned messages in a send: lower ranks first.
enum LearnRank : uint8_t
{
  kRankBankMsb = 0, // CC 0
  kRankBankLsb = 1, // CC 32
  kRankProgram = 2, // Program Change
  kRankOther = 3    // every other message
};

// One kind: a line of the table in MessageKinds.cpp, the whole definition
// of the kind. The table (Kinds()) lists them in the order of the panel's
// format dial. Its event length is the MIDI rule's for `status`.
struct MessageKind
{
  const char* name = "";  // the format dial's label and Describe's word: "CC"
  const char* title = ""; // what help texts and tooltips call it: "Control Change"
  const char* word = "";  // quillet-host's --strip word: "cc"
  // The stored kind byte (chunks hold it: never give one to another kind).
  // Every kind but Control Change and Note On (kind byte 0) keeps its
  // channel in the extension and format 1 in the record.
  uint8_t kindByte = kKindByFormat;
  uint8_t format = 1; // the record's format byte
  uint8_t status = 0; // the status byte of its events on channel 1
  bool wide = false;  // number, value and options live in the wide block
                      // (else in the record's bytes, plus one)
  // Its fields: a number of `numbers` values, spelled `numberWord` in
  // --strip (0 and nullptr: it has none); a value of `values` values (0:
  // none), which a message made of another kind starts at (Pitch Bend's
  // centre; 0 keeps what it had).
  uint16_t numbers = 0;
  const char* numberWord = nullptr;
  uint16_t values = 0;
  uint16_t defaultValue = 0;
  bool options = false;  // the 7-bit value and null options apply
  uint8_t selectMsb = 0; // the parameter-select controllers (NRPN, RPN), else 0
  uint8_t selectLsb = 0;
  bool pairs = false;   // two controllers n and n + 32 (the 14-bit CC)
  bool settles = false; // a paced send waits the settle time after it
  // The bytes of a message of this kind, 0 when it is not sent (a field out
  // of range, as a chunk may hold).
  int32_t (*bytes)(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept = nullptr;
  // Learning: the status (channel 1) of the events it is learned from (0:
  // never learned), and how one such event makes it (nullptr: the
  // recogniser in StripLearning.h makes it of several Control Changes).
  uint8_t learnStatus = 0;
  bool (*fromMidi)(const MessageKind& kind, uint8_t status, uint8_t data1, uint8_t data2,
                   Message& m) noexcept = nullptr;
  // Its rank among a channel's learned messages.
  uint8_t (*rank)(const Message& m) noexcept = nullptr;
  // Any number of this kind on a channel is the same learned message (a
  // Program Change): learning keeps one.
  bool anyNumber = false;
};

constexpr bool HasNumber(const MessageKind& kind) noexcept
{
  return kind.numbers != 0;
}
constexpr bool HasValue(const MessageKind& kind) noexcept
{
  return kind.values != 0;
}
// Learning takes messages of this kind.
constexpr bool Learned(const MessageKind& kind) noexcept
{
  return kind.learnStatus != 0;
}

// The kinds, in the format dial's order, and their count.
const MessageKind* Kinds() noexcept;
int32_t KindCount() noexcept;
// The kinds for a range-based for: for (const MessageKind& kind : AllKinds()).
struct KindRange
{
  const MessageKind* first;
  const MessageKind* last;
  const MessageKind* begin() const noexcept { return first; }
  const MessageKind* end() const noexcept { return last; }
};
inline KindRange AllKinds() noexcept
{
  return {Kinds(), Kinds() + KindCount()};
}
// The kind of a message (by its kind byte, and for kind byte 0 its format
// byte); an unknown kind byte reads as by format. Its index in the table.
const MessageKind& KindOf(const Message& m) noexcept;
int32_t KindIndexOf(const Message& m) noexcept;
// The table's kind with this stored kind byte (kind byte 0: the Control
// Change), nullptr when there is none.
const MessageKind* KindOfByte(uint8_t kindByte) noexcept;

// --------------------------------------------------------------- storage

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
// The channel of a message kept in the extension.
inline uint8_t& ExtensionChannel(ProgramExtension& extension, int32_t strip,
                                 int32_t message) noexcept
{
  return message ? extension.channelB[strip] : extension.channelA[strip];
}
inline const uint8_t& ExtensionChannel(const ProgramExtension& extension, int32_t strip,
                                       int32_t message) noexcept
{
  return message ? extension.channelB[strip] : extension.channelA[strip];
}
constexpr int32_t WideIndex(int32_t strip, int32_t message) noexcept
{
  return 2 * strip + message;
}

// The message's kind as stored (kind byte and format byte).
const MessageKind& StoredKind(const ProgramExtension& extension, const VSTPluginProgram& program,
                              int32_t strip, int32_t message) noexcept;
// True when the message's channel lives in the extension (a field written
// to it must go through StoreField, under the strip lock).
bool InExtension(const ProgramExtension& extension, int32_t strip, int32_t message) noexcept;

Message Read(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
             int32_t message) noexcept;
// Writes a whole message (kind first, so that the channel lands in its
// place).
void Write(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip, int32_t message,
           const Message& m) noexcept;
// Makes a message of the kind with this kind byte (0: Control Change or
// Note by the format byte). The channel moves with it between the record
// and the extension; leaving a wide kind clears the wide fields. A message
// made of another kind loses a number its new kind does not have, and
// starts at the kind's default value when it has one (a Pitch Bend at its
// centre).
void SetKind(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip, int32_t message,
             uint8_t kind) noexcept;
// Writes one record field as the dials do (a stored byte). A channel of a
// message kept in the extension goes there; a format written to it makes it
// a Control Change / Note again.
void StoreField(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                int32_t message, int32_t which, uint8_t byte) noexcept;
// The stored byte of a field as the dials show it.
uint8_t LoadField(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
                  int32_t message, int32_t which) noexcept;
// A slot is free for learning when it has no channel and its kind is by
// format.
bool Free(const VSTPluginProgram& program, const ProgramExtension& extension, int32_t strip,
          int32_t message) noexcept;
// The wide fields of a message (number, value, options), for the wide
// parameters. A message of another kind keeps none: a value written to it
// other than 0 is ignored.
enum WideField : int32_t
{
  kWideNumber = 0,
  kWideValue = 1,
  kWideOptions = 2
};
void StoreWide(ProgramExtension& extension, int32_t strip, int32_t message, int32_t which,
               uint16_t value) noexcept;
uint16_t LoadWide(const ProgramExtension& extension, int32_t strip, int32_t message,
                  int32_t which) noexcept;

// A wide kind in use in this program's messages (the chunk extension's
// version 2 is needed).
bool WideInUse(const ProgramExtension& extension) noexcept;

// ----------------------------------------------------------------- bytes

// The MIDI bytes of a message that is to be sent; size 0 when it is not
// sent (a channel, number or value out of its kind's range: a chunk may
// hold bytes no dial can set).
int32_t Bytes(const Message& m, MessageBytes& out) noexcept;
// A paced send waits the settle time after this message.
bool Settles(const Message& m) noexcept;

// ------------------------------------------------------------ parameters

// The kind parameter's value for a kind byte, and the kind byte a value
// asks for. Program Change is 1.0, and anything above 0.5 asks for it, as
// it always did; the kinds up to kind byte 8 are kind byte / 16, as they
// always were, and kind bytes 9 to kMaxKindByte the odd 32nds between them
// (1/32 for 9, 3/32 for 10 ...), so that the kind parameter names
// kMaxKindByte kinds besides the two by format. 0: by format, and so is a
// kind byte out of that room.
float KindParameter(uint8_t kindByte) noexcept;
uint8_t KindFromParameter(float value) noexcept;

// -------------------------------------------------------------- learning

// True for a message learning takes: a learnable kind with a channel, a
// number and a value in range.
bool Learnable(const Message& m) noexcept;
uint8_t LearnRankOf(const Message& m) noexcept;
// `b` is the same learned message as the stored `a`: of the same learnable
// kind and channel, and the same number (or any number for a kind that
// learns one per channel); or `b` is controller n and `a` the 14-bit CC n
// it is the MSB of.
bool SameLearned(const Message& a, const Message& b) noexcept;
// The message as learning stores it (the kind's format, no value for a
// kind that has none).
Message LearnedForm(const Message& m) noexcept;
// Gives the stored message in the slot the learned one's value (a Program
// Change its program, a wide kind value and options), field by field.
void UpdateLearned(VSTPluginProgram& program, ProgramExtension& extension, int32_t strip,
                   int32_t message, const Message& m) noexcept;
// True when learning takes events of this status (any channel): the
// statuses of the learned kinds. For the audio thread's filter.
bool LearnsStatus(uint8_t status) noexcept;
// The short message a synth sent, as learning takes it: by the line of the
// kind learned from this status alone (Control Change, Program Change,
// Channel Pressure, Poly Pressure, Pitch Bend); false for anything else.
// The recogniser in StripLearning.h makes the wide kinds of the Control
// Changes.
bool FromMidi(uint8_t status, uint8_t data1, uint8_t data2, Message& m) noexcept;

// ------------------------------------------------- printing and parsing

// Room for the longest text of Describe ("NRPN 16383 ch 16 = 16383 null").
constexpr int32_t kDescriptionSize = 32;

// A message as a user reads it, with the numbers as they are sent: its
// name, its number when it has one, its channel, and its value for a wide
// kind or one without a number: "CC 74 ch 1", "PC 9 ch 1", "Note 60 ch 2",
// "NRPN 1024 ch 1 = 8191", "PB ch 1 = 8192"; "off" for a message that is
// not sent.
void Describe(const Message& m, char (&text)[kDescriptionSize]) noexcept;

// quillet-host's spelling of a message: "off" or a kind's word with the
// channel, its number when it has one, its value when it has one, and for
// a kind with options an optional /7 (a 7-bit value) and /null:
// cc/CH/NUM/VAL, pc/CH/PROG, pb/CH/VAL, nrpn/CH/PARAM/VAL/7/null ... (the
// numbers as they are sent). False when the text is none of them or a
// field is out of range.
bool Parse(const char* text, Message& m) noexcept;
// A kind's spelling for Parse ("nrpn/CH/PARAM/VAL[/7][/null]"; every
// kind's CH is 1-16). Writes at most size - 1 characters and returns how
// many it wrote.
int32_t Syntax(const MessageKind& kind, char* text, int32_t size) noexcept;
// Every kind's spelling, for a message that says what Parse takes:
// "cc/CH/NUM/VAL, ..., pb/CH/VAL or off".
const char* ParseSyntax() noexcept;

// A text that lists kinds: `lead`, the names (or the titles) of the kinds
// that `which` selects in the table's order as a user reads a list ("CC,
// PC and NRPN"), `more` (nullptr: none) as one more item at its end, then
// `tail`: "(from incoming CC, PC ... and SysEx)". With a `width` (0: one
// line) a line break goes before a word that would take a line past it,
// and each new line starts with `indent`. ListKinds writes at most
// size - 1 characters and returns how many it wrote.
struct KindList
{
  const char* lead = "";
  bool (*which)(const MessageKind& kind) noexcept = nullptr; // nullptr: every kind
  bool titles = false;
  const char* more = nullptr;
  const char* tail = "";
  int32_t width = 0;
  const char* indent = "";
};
int32_t ListKinds(const KindList& list, char* text, int32_t size) noexcept;

} // namespace strips
