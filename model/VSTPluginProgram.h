// The program record: up to 16 strips of two stored MIDI messages, their
// display order and the options. The record is also the unit of the program
// and bank chunks, which store it byte for byte, so its layout is fixed
// (little-endian, 276 bytes) and checked below.
//
// The record owns the rules of its strip list (adding, removing, the order
// repair of the column layout, the strips in display order), so that every
// writer of strips (the editor, quillet-host, the tests) applies the same.
//
// This header, VSTPluginProgram.cpp and Parameters.h are the chunk format's
// definition: they include nothing but the standard library and
// support/threading/FieldAccess.h (itself free of includes), and build as a
// library of their own (quillet_model) that quillet-host links without the
// rest of the plug-in.
//
// Threads: the records of a plug-in are shared field by field without a
// lock. Every access to a shared record goes through field::Load/Store (or
// the copies below, which use them field by field), so that no thread sees a
// torn field. The strip-list operations read and write several fields one
// after the other and expect one such writer per record at a time: in the
// plug-in that is the panel (its "+" and "-" on the thread that delivers
// its X events; showing the strips only reads them) and the learning
// thread, which take the plug-in's strip lock around them (see
// StripMessages.h for the calls that also keep the message kinds right),
// elsewhere the owner of a record of its own (quillet-host, the tests). Any other thread (the
// audio thread's send, automation, a chunk load) may read or write single
// fields meanwhile and sees each field old or new.
#pragma once

#include "support/threading/FieldAccess.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

constexpr int kStripsPerProgram = 16;
constexpr int kProgramNameSize = 48;
// Marks an empty slot in stripOrder.
constexpr int32_t kNoStrip = 16;

// One strip: messages A and B side by side. A message is sent only when its
// channel, number and value are all non-zero; numbers and values are stored
// plus one.
struct VSTPluginStrip
{
  uint8_t inUse;   // 1 = the strip exists (shown and sent)
  uint8_t formatA; // 0 = Control Change, anything else = Note On
  uint8_t formatB;
  uint8_t channelA; // 0 = off, 1..16 = MIDI channel
  uint8_t channelB;
  uint8_t numberA; // 0 = off, 1..128 = controller or note + 1
  uint8_t numberB;
  uint8_t valueA; // 0 = off, 1..128 = value or velocity + 1
  uint8_t valueB;
};
static_assert(sizeof(VSTPluginStrip) == 9);

struct VSTPluginProgram
{
  char name[kProgramNameSize];
  VSTPluginStrip strips[kStripsPerProgram];
  int32_t stripOrder[kStripsPerProgram];
  int32_t stripCount;
  uint8_t reserved;
  uint8_t midiThru;        // per program
  uint8_t presetSwitching; // the rest are global in effect
  uint8_t sendOnChange;
  uint8_t sendOnInit;
  uint8_t alignment[3]; // always zero, so that equal states give equal chunks
  int32_t initDelay;
  int32_t changeDelay;

  // ------------------------------------------------------ the strip list
  //
  // Strip 0 always has column 0. Slots 1 to 15 of stripOrder list the other
  // strips in display order; a slot that holds a strip not in use, a strip
  // listed before, or anything outside 0..15 gives no column. "+" and "-"
  // work on a repaired order whose listed slots come first, so they never
  // overwrite or lose a listed strip.
  //
  // Threads: the record's one strip-list writer (see above).

  // The "+" button: puts the lowest strip from 1 to 15 that is not in use
  // into use and lists it last. Returns it, or -1 when 16 strips are listed
  // or strips 1 to 15 are all in use (nothing changes then).
  int32_t AddStrip() noexcept;
  // Puts `strip` into use and lists it last unless it is listed already;
  // strip 0 is only put into use. False for an index outside 0..15 or when
  // 16 strips are listed.
  bool AddStrip(int32_t strip) noexcept;
  // The "-" button of `strip` (1..15): clears its nine bytes and removes it
  // from the order; the strips after it move one column left. False (and
  // nothing changes) when the strip is not listed.
  bool RemoveStrip(int32_t strip) noexcept;
  // The order repair of the column layout: a listed strip that is not in use
  // loses its message bytes and its slot, a strip listed again loses the
  // later slot, and stripCount becomes the number of columns. Fills
  // `columns` with the strips in display order (kNoStrip after the last)
  // and returns the number of columns.
  int32_t RepairStripOrder(int32_t (&columns)[kStripsPerProgram]) noexcept;
  // The strips in display order, as the repair would give them, without
  // writing anything. Any thread.
  int32_t StripsInDisplayOrder(int32_t (&columns)[kStripsPerProgram]) const noexcept;
  // The column of `strip` in display order, or -1 when it has none. Any
  // thread.
  int32_t ColumnOf(int32_t strip) const noexcept;

  // ------------------------------------------------ field-by-field copies
  //
  // Each field read with field::Load and written with field::Store, so that
  // a copy may run while other threads use single fields of either record.

  // The name, terminated within its 48 bytes; `text` takes 48 bytes.
  void ReadName(char* text) const noexcept;
  // Up to 47 characters of `text`; the rest of the field is zeroed.
  void WriteName(const char* text) noexcept;
  // Strips, strip order and strip count from `source`.
  void CopyStripListFrom(const VSTPluginProgram& source) noexcept;
  // Everything but the name (and the alignment bytes): the strip list,
  // `reserved`, thru, the options and the delays.
  void CopyContentsFrom(const VSTPluginProgram& source) noexcept;

private:
  template <typename Program>
  static int32_t WalkStripOrder(Program& program, int32_t (&columns)[kStripsPerProgram]) noexcept;
  // The repair, then the listed slots moved to the front.
  int32_t CompactStripOrder(int32_t (&columns)[kStripsPerProgram]) noexcept;
  void ClearMessages(int32_t strip) noexcept;
};

static_assert(offsetof(VSTPluginProgram, name) == 0);
static_assert(offsetof(VSTPluginProgram, strips) == 48);
static_assert(offsetof(VSTPluginProgram, stripOrder) == 192);
static_assert(offsetof(VSTPluginProgram, stripCount) == 256);
static_assert(offsetof(VSTPluginProgram, reserved) == 260);
static_assert(offsetof(VSTPluginProgram, midiThru) == 261);
static_assert(offsetof(VSTPluginProgram, presetSwitching) == 262);
static_assert(offsetof(VSTPluginProgram, sendOnChange) == 263);
static_assert(offsetof(VSTPluginProgram, sendOnInit) == 264);
static_assert(offsetof(VSTPluginProgram, alignment) == 265);
static_assert(offsetof(VSTPluginProgram, initDelay) == 268);
static_assert(offsetof(VSTPluginProgram, changeDelay) == 272);
static_assert(sizeof(VSTPluginProgram) == 276);
static_assert(std::is_trivially_copyable_v<VSTPluginProgram> &&
              std::is_standard_layout_v<VSTPluginProgram>);

// A fresh record with the given name: strip 0 in use and listed, no options,
// an init delay of 5 seconds. For records no other thread sees yet.
void InitProgram(VSTPluginProgram& program, const char* name);

// Copies every field of `from` over `to` (name and alignment included), one
// field at a time with relaxed atomic access on both sides: chunk loads use
// it to publish a record, and to take a snapshot of a live one.
void CopyProgram(VSTPluginProgram& to, const VSTPluginProgram& from) noexcept;
