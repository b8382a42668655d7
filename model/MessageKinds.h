// The message kinds of a strip: Control Change, Note On, Program Change,
// NRPN, RPN and 14-bit Control Change. Each kind is one line of the table
// in MessageKinds.cpp that says how it is stored (record fields, extension
// fields, the wide block), how the panel and quillet-host set it as a
// parameter, which bytes it sends, how learning treats it, how it is
// printed and how quillet-host's --strip spells it. The engine, the panel
// and quillet-host go through the calls below and hold no case of their
// own for any kind: a new kind is a new definition and a line in the table.
//
// Storage: a Control Change or Note On lives in the record alone (kind
// byte 0, the format byte tells them apart). Every other kind keeps
// channel 0 and format 1 in the record, so that a reader of the records
// alone sees the message off, and its channel in the extension; the wide
// kinds keep their number, value and options in the extension's wide block
// (the chunk extension's version 2).
//
// Part of the chunk format's definition: standard library, support/, midi/
// and the record. Threads: every call reads and writes single fields with
// field::Load/Store, so the audio thread may read (Read, Bytes) while
// another thread writes; the writers that touch several fields (SetKind,
// Write, StoreField on a message kept in the extension, UpdateLearned)
// expect the one strip writer of the record (in the plug-in: whoever holds
// its strip lock). Nothing here allocates; Parse and Describe are not for
// the audio thread only because nobody needs them there.
#pragma once

#include "midi/MidiBytes.h"
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

// Calls f(const uint8_t* event, int32_t size) for each event of `bytes`.
template <typename F> void ForEachEvent(const MessageBytes& bytes, F&& f) noexcept
{
  for (int32_t at = 0; at < bytes.size;) {
    const int32_t size = midi::MessageLength(bytes.data[at]);
    if (size == 0 || at + size > bytes.size)
      return; // the kinds make only whole channel messages
    f(bytes.data + at, size);
    at += size;
  }
}

inline int32_t EventCount(const MessageBytes& bytes) noexcept
{
  int32_t count = 0;
  ForEachEvent(bytes, [&count](const uint8_t*, int32_t) { ++count; });
  return count;
}

// The order of a channel's learned messages in a send: lower ranks first.
enum LearnRank : uint8_t
{
  kRankBankMsb = 0, // CC 0
  kRankBankLsb = 1, // CC 32
  kRankProgram = 2, // Program Change
  kRankOther = 3    // every other message
};

// One kind. The table (Kinds()) lists them in the order of the panel's
// format dial.
struct MessageKind
{
  const char* name;  // the format dial's label and Describe's word: "CC"
  const char* word;  // quillet-host's --strip word: "cc"
  uint8_t kindByte;  // the stored kind byte
  uint8_t format;    // the record's format byte
  uint8_t status;    // the status byte of its events on channel 1
  bool inExtension;  // the channel lives in the extension (the record keeps it off)
  bool wide;         // number, value and options live in the wide block
  bool hasValue;     // a value is stored and sent (the value dial is active)
  bool settles;      // a paced send waits the settle time after it
  bool learnable;    // learning takes it (incoming, or by the recogniser)
  bool options;      // the 7-bit value and null options apply
  uint8_t selectMsb; // the parameter-select controllers (NRPN, RPN), else 0
  uint8_t selectLsb;
  bool pairs;       // two controllers n and n + 32 (the 14-bit CC)
  uint16_t numbers; // how many numbers (128, 16384, 32)
  // The bytes of a message of this kind, 0 when it is not sent (a field out
  // of range, as a chunk may hold).
  int32_t (*bytes)(const MessageKind& kind, const Message& m, MessageBytes& out) noexcept;
  // Its rank among a channel's learned messages.
  uint8_t (*rank)(const Message& m) noexcept;
  // Any number of this kind on a channel is the same learned message (a
  // Program Change): learning keeps one.
  bool anyNumber;
};

// The kinds, in the format dial's order, and their count.
const MessageKind* Kinds() noexcept;
int32_t KindCount() noexcept;
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
// and the extension; leaving a wide kind clears the wide fields.
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
// asks for. Program Change is 1.0, as it always was; the other kinds are
// their kind byte / 16 (0 by format).
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
// The short message a synth sent, as learning takes it (a Control Change
// or a Program Change); false for anything else. The recogniser in
// StripLearning.h makes the wide kinds of the Control Changes.
bool FromMidi(uint8_t status, uint8_t data1, uint8_t data2, Message& m) noexcept;

// ------------------------------------------------- printing and parsing

// Room for the longest text of Describe ("NRPN 16383 ch 16 = 16383 null").
constexpr int32_t kDescriptionSize = 32;

// A message as a user reads it, with the numbers as they are sent: "CC 74
// ch 1", "PC 9 ch 1", "Note 60 ch 2", "NRPN 1024 ch 1 = 8191"; "off" for a
// message that is not sent.
void Describe(const Message& m, char (&text)[kDescriptionSize]) noexcept;

// quillet-host's spelling of a message: "off", cc/CH/NUM/VAL,
// note/CH/NUM/VAL, pc/CH/PROG, nrpn/CH/PARAM/VALUE and rpn/CH/PARAM/VALUE
// (each with an optional /7 for a 7-bit value and /null), cc14/CH/N/VALUE.
// False when the text is none of them or a field is out of range.
bool Parse(const char* text, Message& m) noexcept;
// The syntax for a message that says what Parse takes.
const char* ParseSyntax() noexcept;

} // namespace strips
