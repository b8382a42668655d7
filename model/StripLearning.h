// StripLearning: the one rule for where a learned message goes in a
// program's strips. The plug-in's learning thread calls it for every message
// a synth sends while Learn is on; nothing else decides a learned message's
// slot, and nothing else moves learned messages.
//
// The rule, per MIDI channel:
// - A message that is the same as a stored one (SameLearned, by its kind's
//   definition in MessageKinds.h, says what "the same" is) gives the stored one its value, in its
//   place. There is at most one Program Change and one Bank Select pair (CC 0, CC 32) per channel:
//   a Program Change with another program number is the same message.
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
// A new kind of message joins by its line in the kinds' table (its rank
// and what makes two of them the same). The wide kinds come in as several
// Control Changes; LearnRecogniser below makes one message of them.
//
// Part of the chunk format's definition (quillet_model). Threads: the
// caller is the one strip writer of the record (in the plug-in: the
// learning thread, under the strip lock); each field is written with
// field::Store, so the audio thread's send sees every field old or new, and
// only when its value changes (a store of the same value would still take
// the record's cache line from the audio thread).
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
// listed count as not learned). `replaces` (channel 0: none) is a message
// learned just before that `incoming` completes (the controller n of a
// 14-bit pair): when `incoming` is not stored yet it takes that message's
// slot instead of a new one.
LearnPlace Learn(VSTPluginProgram& program, ProgramExtension& extension, SlotSet learned,
                 const Message& incoming, const Message& replaces = Message{}) noexcept;

// True when Learn could place a new message (a free slot in the last strip
// or room for another strip).
bool LearnRoom(const VSTPluginProgram& program, const ProgramExtension& extension) noexcept;

// --------------------------------------------------------- the recogniser
//
// Makes one learned message of the Control Changes that carry a wide kind,
// fed message by message in the order they came (by the learning thread):
// - the parameter select of a kind (99 and 98 for an NRPN, 101 and 100 for
//   an RPN, in either order), then the data entry 6 (the message with a
//   7-bit value) and optionally 38 (the same message again, 14-bit);
// - controller n (1..31) followed on its channel by n + 32: a 14-bit CC.
//   Controller n goes through at once (a lone one is the controller it
//   is, learned without delay); n + 32 then gives the 14-bit CC, which
//   replaces it. Controller 0 and 32 stay the Bank Select pair they are.
// - the null parameter (101 127, 100 127) right after an NRPN or RPN gives
//   that message the null option.
// Every other message goes through as it is, and so does a held select
// controller that the next message on its channel does not continue, or
// that nothing continues before Flush. State per channel; not for several
// threads.
class LearnRecogniser
{
public:
  // The most messages one call hands out.
  static constexpr int32_t kMaxOut = 4;

  // A message to learn, and the one it replaces (Learn's `replaces`).
  struct Recognised
  {
    Message message;
    Message replaces;
  };

  // Feeds one incoming message (FromMidi's); the messages to learn, in
  // order, go to `out`. Returns how many.
  int32_t Feed(const Message& in, Recognised (&out)[kMaxOut]) noexcept;
  // Hands out what is held on `channel` (1..16) as the plain controllers
  // it is. Returns how many.
  int32_t Flush(int32_t channel, Recognised (&out)[kMaxOut]) noexcept;
  // True when some controller is held (the caller flushes after a pause).
  bool Holding() const noexcept;
  void Reset() noexcept;

private:
  struct Channel
  {
    Message held[2]; // select controllers not decided yet, in order
    int32_t count = 0;
    const MessageKind* select = nullptr; // the kind whose select is held
    int32_t msb = -1;                    // the select's halves (-1: not yet)
    int32_t lsb = -1;
    Message entered;         // the wide message of a data entry (kind 0: none)
    bool enteredLsb = false; // its LSB (38) came
    Message pairMsb;         // controller n, waiting for n + 32 (channel 0: none)
  };
  int32_t Release(Channel& channel, Recognised (&out)[kMaxOut], int32_t n) noexcept;
  Channel channels[16];
};

} // namespace strips
