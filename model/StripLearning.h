// StripLearning: the one rule for where a learned message goes in a
// program's strips. The plug-in's learning thread calls it for every message
// a synth sends while Learn is on; nothing else decides a learned message's
// slot, and nothing else moves learned messages.
//
// The rule, per MIDI channel:
// - A message that is the same as a stored one (LearnRoleOf says what "the
//   same" is for each kind) gives the stored one its value, in its place.
//   There is at most one Program Change and one Bank Select pair (CC 0, CC
//   32) per channel: a Program Change with another program number is the
//   same message.
// - A new message takes the next free slot (message B of the last strip in
//   display order, message A when both are free, else a new strip, up to 16).
// - Among the messages learned in this session, the ones of a channel go
//   out in the order of their ranks: CC 0, CC 32, the Program Change, then
//   everything else. A new message that would break that order is put where
//   it belongs and the learned messages between move one slot on. "Go out"
//   is the order of a send: strips by index, message A before B.
// - Messages entered by hand (and ones loaded from a chunk, whose origin is
//   not known) are never moved; only their value is updated when a learned
//   message is the same.
//
// Which slots were learned is a session state of the caller (a LearnedSlots
// word per program), not part of the record or of any chunk: a stored chunk
// stays byte for byte what it was, and after a reload every message keeps
// the place it was saved in.
//
// A new kind of message joins by a line in LearnRoleOf (its rank and what
// makes two of them the same).
//
// Part of the chunk format's definition (quillet_model). Threads: the
// caller is the one strip writer of the record (in the plug-in: the
// learning thread, under the strip lock); each field is written with
// field::Store, so the audio thread's send sees every field old or new.
#pragma once

#include "model/StripMessages.h"

#include <cstdint>

namespace strips {

// A set of message slots of one program: bit 2 · strip + message.
using SlotSet = uint32_t;

constexpr SlotSet SlotBit(int32_t strip, int32_t message) noexcept
{
  return SlotSet{1} << (2 * strip + message);
}

// The order of a channel's learned messages in a send: lower ranks first.
enum LearnRank : uint8_t
{
  kRankBankMsb = 0, // CC 0
  kRankBankLsb = 1, // CC 32
  kRankProgram = 2, // Program Change
  kRankOther = 3    // every other controller
};

// How learning treats a message: its rank, and whether any number of its
// kind on its channel is the same message (a Program Change) or only the
// same number (a controller).
struct LearnRole
{
  uint8_t rank = kRankOther;
  bool anyNumber = false;
};

// True for a message learning takes: a Control Change or a Program Change
// with a channel and a number in range.
bool Learnable(const Message& m) noexcept;
LearnRole LearnRoleOf(const Message& m) noexcept;
// Both learnable, of the same kind and channel, and the same by the role.
bool SameLearned(const Message& a, const Message& b) noexcept;

// The message a synth sent, as learning takes it (numbers and values plus
// one, as stored). False for anything that is not learnable.
bool FromMidi(uint8_t status, uint8_t data1, uint8_t data2, Message& m) noexcept;

enum class LearnResult
{
  Updated, // a stored message that is the same took the value
  Placed,  // the message took a free slot of the last strip
  Added,   // the message took a new strip
  Full     // no slot and no room for another strip: ignored
};

// What Learn did. `strip` and `message` say where the incoming message is
// now (strip -1 when it was ignored); `changed` holds every slot written
// (the messages moved included), `learned` the program's learned slots
// after the call.
struct LearnPlace
{
  LearnResult result = LearnResult::Full;
  int32_t strip = -1;
  int32_t message = 0;
  SlotSet changed = 0;
  SlotSet learned = 0;
};

// Learns `incoming` into the program by the rule above. `learned` is the
// program's learned slots before the call (slots that are free or not
// listed count as not learned).
LearnPlace Learn(VSTPluginProgram& program, ProgramExtension& extension, SlotSet learned,
                 const Message& incoming) noexcept;

// True when Learn could place a new message (a free slot in the last strip
// or room for another strip).
bool LearnRoom(const VSTPluginProgram& program, const ProgramExtension& extension) noexcept;

} // namespace strips
