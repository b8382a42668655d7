// HeldNoteTable: the notes passed through and not yet released, so that they
// can be released when MIDI thru stops.
//
// The table keeps its 256 entries of channel, note and velocity (-1 in all
// three when free) in the order a release walks them; new notes take the
// lowest free entry. Beside it an index by channel and note and a bitmap of
// free entries make every lookup constant-time instead of a scan of all 256
// entries per note event, without changing any observable order.
//
// Threads: the audio thread only (midiInProcess and the release in edit,
// which also holds the plug-in's note lock).
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

  HeldNoteTable() noexcept { Clear(); }

  // The entry index holding this channel and note, or -1.
  int32_t Find(int32_t channel, int32_t note) const noexcept
  {
    if (!Valid(channel, note))
      return -1;
    return index[channel][note];
  }

  // Records a new note in the lowest free entry; false when the table is
  // full (the note is then not passed on).
  bool Add(int32_t channel, int32_t note, int32_t velocity) noexcept
  {
    if (!Valid(channel, note) || count >= kEntries)
      return false;
    const int32_t slot = LowestFree();
    if (slot < 0)
      return false;
    entries[slot] = Entry{channel, note, velocity};
    index[channel][note] = static_cast<int16_t>(slot);
    free[slot >> 6] &= ~(uint64_t{1} << (slot & 63));
    ++count;
    return true;
  }

  void SetVelocity(int32_t slot, int32_t velocity) noexcept { entries[slot].velocity = velocity; }

  void Remove(int32_t slot) noexcept
  {
    const Entry& entry = entries[slot];
    if (Valid(entry.channel, entry.note))
      index[entry.channel][entry.note] = -1;
    entries[slot] = Entry{-1, -1, -1};
    free[slot >> 6] |= uint64_t{1} << (slot & 63);
    --count;
  }

  // Frees every entry.
  void Clear() noexcept
  {
    for (Entry& entry : entries)
      entry = Entry{-1, -1, -1};
    for (auto& channel : index)
      for (int16_t& slot : channel)
        slot = -1;
    for (uint64_t& word : free)
      word = ~uint64_t{0};
    count = 0;
  }

  const Entry& operator[](int32_t slot) const noexcept { return entries[slot]; }
  int32_t Count() const noexcept { return count; }

private:
  static bool Valid(int32_t channel, int32_t note) noexcept
  {
    return channel >= 0 && channel < 16 && note >= 0 && note < 128;
  }

  int32_t LowestFree() const noexcept
  {
    for (int word = 0; word < 4; ++word) {
      if (free[word])
        return word * 64 + __builtin_ctzll(free[word]);
    }
    return -1;
  }

  Entry entries[kEntries];
  int16_t index[16][128];
  uint64_t free[4];
  int32_t count = 0;
};
