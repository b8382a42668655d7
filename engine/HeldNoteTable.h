// HeldNoteTable: the notes passed through and not yet released, so that they
// can be released when MIDI thru stops.
//
// The table has 256 entries of channel, note and velocity, in the order a
// release walks them; a new note takes the lowest free entry. Each entry is
// packed in one word, beside an index by channel and note and a map of free
// entries, so that a lookup, an insertion and a removal each take a few
// stores instead of a scan of all 256 entries, without changing any
// observable order.
//
// Changes go through a Batch, opened for one block's run of events: it
// keeps the first word of the map of free entries (the first 64 entries,
// where nearly every note lies) in a variable of its own, a register in
// practice, and stores it back when it closes. A note on and its note off
// follow each other closely, and with the map in memory every insertion
// would wait for the store of the removal before it; one word rather than
// four leaves the block's loop its other registers.
//
// Threads: the audio thread only (midiInProcess and the release in edit).
// Nothing else reads or writes the table, so it needs no lock.
#pragma once

#include <cstdint>

class HeldNoteTable
{
public:
  static constexpr int32_t kEntries = 256;

  struct Entry
  {
    int32_t channel;
    int32_t note;
    int32_t velocity;
  };

  class Batch;

  // The key of a channel (0 to 15) and note (0 to 127): channel · 128 +
  // note. Lookups go by key; callers that take both from MIDI bytes make it
  // with two masks and a shift.
  static constexpr int32_t kKeys = 16 * 128;
  static constexpr int32_t Key(int32_t channel, int32_t note) noexcept
  {
    return channel << 7 | note;
  }

  HeldNoteTable() noexcept { Clear(); }
  HeldNoteTable(const HeldNoteTable&) = delete;
  HeldNoteTable& operator=(const HeldNoteTable&) = delete;

  // The entry index holding this channel and note, or -1.
  int32_t Find(int32_t channel, int32_t note) const noexcept
  {
    return Valid(channel, note) ? index[Key(channel, note)] : -1;
  }
  int32_t Find(int32_t key) const noexcept { return key >= 0 && key < kKeys ? index[key] : -1; }

  // The entry; -1 in all three fields when it is free.
  Entry operator[](int32_t slot) const noexcept
  {
    if (slot < 0 || slot >= kEntries || packed[slot] == kFree)
      return Entry{-1, -1, -1};
    const uint32_t word = packed[slot];
    return Entry{static_cast<int32_t>((word >> 7) & 0x0F), static_cast<int32_t>(word & 0x7F),
                 static_cast<int32_t>((word >> 16) & 0xFF)};
  }

  // Calls visit(entry) for every held note, in entry order.
  template <typename Visit> void ForEachHeld(Visit&& visit) const noexcept
  {
    for (int word = 0; word < 4; ++word) {
      for (uint64_t used = ~free[word]; used; used &= used - 1)
        visit((*this)[word * 64 + __builtin_ctzll(used)]);
    }
  }

  int32_t Count() const noexcept
  {
    int32_t used = 0;
    for (uint64_t word : free)
      used += 64 - __builtin_popcountll(word);
    return used;
  }

  // Frees every entry. Not while a batch is open.
  void Clear() noexcept
  {
    for (uint32_t& entry : packed)
      entry = kFree;
    for (int16_t& slot : index)
      slot = -1;
    for (uint64_t& word : free)
      word = ~uint64_t{0};
  }

private:
  static constexpr uint32_t kFree = ~uint32_t{0};

  static bool Valid(int32_t channel, int32_t note) noexcept
  {
    return channel >= 0 && channel < 16 && note >= 0 && note < 128;
  }

  uint32_t packed[kEntries]; // key | velocity << 16, or kFree
  int16_t index[kKeys];      // the entry of each key, or -1
  uint64_t free[4];          // bit i set: entry i is free
};

// The table opened for changes. Only one batch at a time, and the table is
// not changed otherwise while it is open.
class HeldNoteTable::Batch
{
public:
  explicit Batch(HeldNoteTable& table_) noexcept : table(table_), free0(table_.free[0]) {}
  ~Batch() { table.free[0] = free0; }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

  int32_t Find(int32_t key) const noexcept { return table.Find(key); }
  int32_t Find(int32_t channel, int32_t note) const noexcept { return table.Find(channel, note); }

  // Records a new note in the lowest free entry; false when the table is
  // full (the note is then not passed on).
  bool Add(int32_t key, int32_t velocity) noexcept
  {
    if (key < 0 || key >= kKeys)
      return false;
    int32_t slot = 0;
    if (free0 != 0) {
      slot = __builtin_ctzll(free0);
      free0 &= free0 - 1;
    } else if (!TakeLowestBeyondFirstWord(slot)) {
      return false;
    }
    table.packed[slot] = static_cast<uint32_t>(key) | static_cast<uint32_t>(velocity & 0xFF) << 16;
    table.index[key] = static_cast<int16_t>(slot);
    return true;
  }
  bool Add(int32_t channel, int32_t note, int32_t velocity) noexcept
  {
    return Valid(channel, note) && Add(Key(channel, note), velocity);
  }

  // Changes the velocity of the entry Find gave.
  void SetVelocity(int32_t slot, int32_t velocity) noexcept
  {
    if (slot < 0 || slot >= kEntries || table.packed[slot] == kFree)
      return;
    table.packed[slot] = (table.packed[slot] & 0xFFFFu) | static_cast<uint32_t>(velocity & 0xFF)
                                                              << 16;
  }

  // Frees the entry of this key, if it is held.
  void Remove(int32_t key) noexcept
  {
    const int32_t slot = table.Find(key);
    if (slot < 0)
      return;
    table.index[key] = -1;
    table.packed[slot] = kFree;
    const uint64_t bit = uint64_t{1} << (slot & 63);
    if (slot < 64)
      free0 |= bit;
    else
      table.free[slot >> 6] |= bit;
  }
  void Remove(int32_t channel, int32_t note) noexcept
  {
    if (Valid(channel, note))
      Remove(Key(channel, note));
  }

private:
  // The lowest free entry of the words after the first, taken.
  bool TakeLowestBeyondFirstWord(int32_t& slot) noexcept
  {
    for (int32_t word = 1; word < 4; ++word) {
      uint64_t& map = table.free[word];
      if (map != 0) {
        slot = word * 64 + __builtin_ctzll(map);
        map &= map - 1;
        return true;
      }
    }
    return false;
  }

  HeldNoteTable& table;
  // The first word of the free map; the others stay in the table.
  uint64_t free0;
};
