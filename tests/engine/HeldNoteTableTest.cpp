// The held-note table: lowest free entry first, release order, a full
// table, and the free map carried across batches.
#include "engine/HeldNoteTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::vector<int32_t> HeldNotes(const HeldNoteTable& table)
{
  std::vector<int32_t> notes;
  table.ForEachHeld([&](const HeldNoteTable::Entry& entry) { notes.push_back(entry.note); });
  return notes;
}

} // namespace

TEST(HeldNoteTable, NewNotesTakeTheLowestFreeEntry)
{
  auto table = std::make_unique<HeldNoteTable>();
  {
    HeldNoteTable::Batch batch(*table);
    EXPECT_TRUE(batch.Add(0, 60, 100));
    EXPECT_TRUE(batch.Add(0, 62, 100));
    EXPECT_TRUE(batch.Add(3, 64, 90));
    batch.Remove(0, 62);
    EXPECT_TRUE(batch.Add(1, 70, 80)) << "takes entry 1, freed above";
  }
  EXPECT_EQ(table->Find(1, 70), 1);
  EXPECT_EQ(table->Find(0, 62), -1);
  EXPECT_EQ(HeldNotes(*table), (std::vector<int32_t>{60, 70, 64}));
  const HeldNoteTable::Entry entry = (*table)[2];
  EXPECT_EQ(entry.channel, 3);
  EXPECT_EQ(entry.note, 64);
  EXPECT_EQ(entry.velocity, 90);
  EXPECT_EQ(table->Count(), 3);
}

TEST(HeldNoteTable, FreeEntriesReadAsMinusOne)
{
  auto table = std::make_unique<HeldNoteTable>();
  for (int32_t slot : {0, 255, -1, 256}) {
    const HeldNoteTable::Entry entry = (*table)[slot];
    EXPECT_EQ(entry.channel, -1);
    EXPECT_EQ(entry.note, -1);
    EXPECT_EQ(entry.velocity, -1);
  }
}

TEST(HeldNoteTable, VelocityChangesInPlace)
{
  auto table = std::make_unique<HeldNoteTable>();
  HeldNoteTable::Batch batch(*table);
  batch.Add(15, 127, 1);
  batch.SetVelocity(batch.Find(15, 127), 127);
  batch.SetVelocity(200, 5); // a free entry: nothing happens
  EXPECT_EQ((*table)[0].velocity, 127);
  EXPECT_EQ((*table)[0].channel, 15);
  EXPECT_EQ((*table)[0].note, 127);
  EXPECT_EQ((*table)[200].velocity, -1);
}

TEST(HeldNoteTable, FullTableRefusesAndAFreedEntryInAnyWordIsFoundAgain)
{
  auto table = std::make_unique<HeldNoteTable>();
  {
    HeldNoteTable::Batch batch(*table);
    for (int32_t i = 0; i < 256; ++i)
      ASSERT_TRUE(batch.Add(i / 128, i % 128, 64)) << i;
    EXPECT_FALSE(batch.Add(5, 5, 64));
  }
  EXPECT_EQ(table->Count(), 256);
  for (int32_t slot : {200, 130, 70}) {
    // Freed in one batch, found in the next: the map went back to the table.
    {
      HeldNoteTable::Batch batch(*table);
      batch.Remove(slot / 128, slot % 128);
    }
    HeldNoteTable::Batch batch(*table);
    ASSERT_TRUE(batch.Add(9, 9, 64));
    EXPECT_EQ(batch.Find(9, 9), slot);
    batch.Remove(9, 9);
    batch.Add(slot / 128, slot % 128, 64);
  }
  EXPECT_EQ(table->Count(), 256);
  table->Clear();
  EXPECT_EQ(table->Count(), 0);
  EXPECT_EQ(HeldNotes(*table), std::vector<int32_t>{});
}

TEST(HeldNoteTable, OutOfRangeNotesAreNeitherAddedNorFound)
{
  auto table = std::make_unique<HeldNoteTable>();
  HeldNoteTable::Batch batch(*table);
  EXPECT_FALSE(batch.Add(16, 0, 1));
  EXPECT_FALSE(batch.Add(0, 128, 1));
  EXPECT_FALSE(batch.Add(-1, 0, 1));
  EXPECT_EQ(batch.Find(16, 0), -1);
  EXPECT_EQ(batch.Find(0, -1), -1);
  batch.Remove(0, 60); // not held: nothing happens
  batch.Remove(20, 60);
  EXPECT_EQ(table->Count(), 0);
}
