// The program record's strip-list rules and the parameter encodings, on
// records of the test's own. This program links only quillet_model, so it
// also shows that the chunk format's definition needs nothing else.
#include "model/Parameters.h"
#include "model/VSTPluginProgram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using testing::ElementsAre;

namespace {

VSTPluginProgram Fresh()
{
  VSTPluginProgram program;
  InitProgram(program, "test");
  return program;
}

std::vector<int32_t> Order(const VSTPluginProgram& program)
{
  return std::vector<int32_t>(program.stripOrder, program.stripOrder + kStripsPerProgram);
}

std::vector<int32_t> Columns(const VSTPluginProgram& program)
{
  int32_t columns[kStripsPerProgram];
  const int32_t count = program.StripsInDisplayOrder(columns);
  return std::vector<int32_t>(columns, columns + count);
}

// A program whose order lists `strips` after strip 0, each put in use.
VSTPluginProgram Listing(std::vector<int32_t> strips)
{
  VSTPluginProgram program = Fresh();
  for (size_t i = 0; i < strips.size(); ++i) {
    program.stripOrder[i + 1] = strips[i];
    if (strips[i] >= 0 && strips[i] < kStripsPerProgram)
      program.strips[strips[i]].inUse = 1;
  }
  program.stripCount = static_cast<int32_t>(strips.size()) + 1;
  return program;
}

} // namespace

TEST(StripList, PlusAddsTheLowestUnusedStripInTheNextColumn)
{
  VSTPluginProgram program = Fresh();
  EXPECT_EQ(program.AddStrip(), 1);
  EXPECT_EQ(program.strips[1].inUse, 1);
  EXPECT_EQ(program.stripCount, 2);
  EXPECT_THAT(Order(program),
              ElementsAre(0, 1, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16));
  for (int32_t expected = 2; expected < 16; ++expected)
    EXPECT_EQ(program.AddStrip(), expected);
  const VSTPluginProgram full = program;
  EXPECT_EQ(program.AddStrip(), -1) << "the sixteenth press changes nothing";
  EXPECT_EQ(std::memcmp(&full, &program, sizeof full), 0);
  EXPECT_EQ(program.stripCount, 16);
}

TEST(StripList, MinusMovesTheLaterStripsLeftAndPlusBringsTheStripBackLast)
{
  VSTPluginProgram program = Listing({2, 3, 1});
  program.strips[3].channelA = 5;
  program.strips[3].valueB = 9;
  ASSERT_TRUE(program.RemoveStrip(3));
  EXPECT_THAT(Order(program),
              ElementsAre(0, 2, 1, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16));
  EXPECT_EQ(program.stripCount, 3);
  const uint8_t* bytes = &program.strips[3].inUse;
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(bytes[i], 0) << "byte " << i;
  EXPECT_EQ(program.ColumnOf(1), 2) << "strip 1 moved one column left";
  EXPECT_EQ(program.AddStrip(), 3);
  EXPECT_THAT(Columns(program), ElementsAre(0, 2, 1, 3));
}

TEST(StripList, StripZeroAndUnlistedStripsCannotBeRemoved)
{
  VSTPluginProgram program = Listing({1});
  program.strips[4].inUse = 1; // in use but not listed
  const VSTPluginProgram before = program;
  EXPECT_FALSE(program.RemoveStrip(0));
  EXPECT_FALSE(program.RemoveStrip(4));
  EXPECT_FALSE(program.RemoveStrip(16));
  EXPECT_FALSE(program.RemoveStrip(-1));
  EXPECT_EQ(std::memcmp(&before, &program, sizeof before), 0);
}

TEST(StripList, RepairDropsUnusedAndDuplicateStripsAndCountsTheColumns)
{
  VSTPluginProgram program = Listing({3, 1, 5, 3, 0, 42, -7});
  program.strips[5].inUse = 0; // listed, not in use: loses its values
  program.strips[5].numberA = 8;
  program.strips[5].valueB = 3;
  program.stripCount = 99;
  int32_t columns[kStripsPerProgram];
  EXPECT_EQ(program.RepairStripOrder(columns), 3);
  EXPECT_THAT(std::vector<int32_t>(columns, columns + 16),
              ElementsAre(0, 3, 1, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16));
  // Slots that give no column are emptied in place; values outside 0..15
  // are passed over and stay.
  EXPECT_THAT(Order(program),
              ElementsAre(0, 3, 1, 16, 16, 16, 42, -7, 16, 16, 16, 16, 16, 16, 16, 16));
  EXPECT_EQ(program.stripCount, 3);
  EXPECT_EQ(program.strips[5].numberA, 0);
  EXPECT_EQ(program.strips[5].valueB, 0);
  EXPECT_EQ(program.strips[3].inUse, 1) << "the duplicate keeps its strip";
  const VSTPluginProgram repaired = program;
  program.RepairStripOrder(columns);
  EXPECT_EQ(std::memcmp(&repaired, &program, sizeof program), 0) << "a second repair is a no-op";
}

TEST(StripList, DisplayOrderReadsWhatTheRepairWouldGiveAndWritesNothing)
{
  VSTPluginProgram program = Listing({3, 1, 5});
  program.strips[5].inUse = 0;
  program.strips[5].numberA = 8;
  const VSTPluginProgram before = program;
  EXPECT_THAT(Columns(program), ElementsAre(0, 3, 1));
  EXPECT_EQ(std::memcmp(&before, &program, sizeof before), 0);
  EXPECT_EQ(program.ColumnOf(0), 0);
  EXPECT_EQ(program.ColumnOf(3), 1);
  EXPECT_EQ(program.ColumnOf(5), -1);
}

TEST(StripList, PlusAndMinusNeverLoseAStripListedBehindAGap)
{
  // A damaged chunk: strip 5 listed but unused, so the repair leaves a gap
  // before strip 3. "+" and "-" must not overwrite strip 3's slot.
  VSTPluginProgram program = Listing({5, 3});
  program.strips[5].inUse = 0;
  int32_t columns[kStripsPerProgram];
  program.RepairStripOrder(columns);
  ASSERT_THAT(Order(program),
              ElementsAre(0, 16, 3, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16));
  EXPECT_EQ(program.AddStrip(), 1);
  EXPECT_THAT(Columns(program), ElementsAre(0, 3, 1));
  EXPECT_THAT(Order(program),
              ElementsAre(0, 3, 1, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16));

  VSTPluginProgram other = Listing({5, 3, 1});
  other.strips[5].inUse = 0;
  other.RepairStripOrder(columns);
  ASSERT_TRUE(other.RemoveStrip(1));
  EXPECT_THAT(Columns(other), ElementsAre(0, 3));
  EXPECT_EQ(other.strips[3].inUse, 1);
  EXPECT_EQ(other.stripCount, 2);
}

TEST(StripList, AddingAGivenStripListsItOnce)
{
  VSTPluginProgram program = Fresh();
  EXPECT_TRUE(program.AddStrip(3));
  EXPECT_TRUE(program.AddStrip(3)) << "already listed: nothing more";
  EXPECT_TRUE(program.AddStrip(0));
  EXPECT_THAT(Columns(program), ElementsAre(0, 3));
  EXPECT_EQ(program.stripCount, 2);
  EXPECT_FALSE(program.AddStrip(16));
  EXPECT_FALSE(program.AddStrip(-1));
  program.strips[0].inUse = 0;
  EXPECT_TRUE(program.AddStrip(0)) << "strip 0 is only put into use";
  EXPECT_EQ(program.strips[0].inUse, 1);
  EXPECT_EQ(program.stripCount, 2);
}

TEST(ProgramCopies, NamesAreTerminatedAndCutTo47Characters)
{
  VSTPluginProgram program = Fresh();
  const std::string longName(60, 'x');
  program.WriteName(longName.c_str());
  char text[kProgramNameSize];
  program.ReadName(text);
  EXPECT_EQ(std::string(text), std::string(47, 'x'));
  program.WriteName("Pad");
  program.ReadName(text);
  EXPECT_STREQ(text, "Pad");
  for (int i = 3; i < kProgramNameSize; ++i)
    ASSERT_EQ(program.name[i], '\0') << "the rest of the field is zeroed";
  std::memset(program.name, 'y', sizeof program.name); // unterminated in the record
  program.ReadName(text);
  EXPECT_EQ(std::string(text), std::string(47, 'y'));
}

TEST(ProgramCopies, CopyProgramCopiesEveryByte)
{
  VSTPluginProgram from;
  auto* bytes = reinterpret_cast<uint8_t*>(&from);
  for (size_t i = 0; i < sizeof from; ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  VSTPluginProgram to = Fresh();
  CopyProgram(to, from);
  EXPECT_EQ(std::memcmp(&to, &from, sizeof to), 0);
}

TEST(Encodings, RoundingIsValueTimesKHalvesUpward)
{
  EXPECT_EQ(param::Encode(0.75f, param::kFormat.scale), 2);  // 1.5 goes up
  EXPECT_EQ(param::Encode(0.0005f, param::kDelay.scale), 0); // 0.4995 goes down
  EXPECT_EQ(param::Encode(0.5f, param::kDelay.scale), 500);  // 499.5 goes up
  EXPECT_EQ(param::Encode(1.0f, param::kChannel.scale), 16);
  EXPECT_EQ(param::Encode(1.0f / 128.0f, param::kByte.scale), 1);
  for (int32_t seconds = 0; seconds <= 999; ++seconds)
    ASSERT_EQ(param::Encode(param::Decode(seconds, param::kDelay), param::kDelay.scale), seconds);
  for (const param::StripField& group : param::kStripFields) {
    for (int32_t stored = 0; stored <= group.encoding.scale; ++stored)
      ASSERT_EQ(param::Encode(param::Decode(stored, group.encoding), group.encoding.scale), stored)
          << "index " << group.first;
  }
}

TEST(Encodings, NonFiniteAndHugeValuesSaturate)
{
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(param::Encode(std::nanf(""), param::kDelay.scale), 0);
  EXPECT_EQ(param::Encode(inf, param::kDelay.scale), INT32_MAX);
  EXPECT_EQ(param::Encode(-inf, param::kDelay.scale), INT32_MIN);
  EXPECT_EQ(param::Encode(2147483647.0f * (1.0f / 999.0f), param::kDelay.scale), INT32_MAX);
  EXPECT_EQ(param::Encode(-3e9f, 1), INT32_MIN);
  EXPECT_EQ(param::DelaySeconds(INT32_MAX), 999);
  EXPECT_EQ(param::DelaySeconds(INT32_MIN), 0);
  EXPECT_EQ(param::DelaySeconds(42), 42);
}

TEST(Encodings, EveryIndexHasItsScaleAndStripIndicesMapToTheirFields)
{
  EXPECT_EQ(param::EncodingOf(param::kThru).scale, 1);
  EXPECT_EQ(param::EncodingOf(param::kInitDelay).scale, 999);
  EXPECT_EQ(param::EncodingOf(param::kChangeDelay).factor, 1.0f / 999.0f);
  EXPECT_EQ(param::EncodingOf(param::kFormatB + 3).scale, 2);
  EXPECT_EQ(param::EncodingOf(param::kChannelA + 15).scale, 16);
  EXPECT_EQ(param::EncodingOf(param::kValueB).factor, 0.0078125f);
  for (int32_t index : {param::kResend, param::kUnused, param::kLayoutNotice, param::kSpareNotice,
                        param::kCountdownEnd, -1, 142})
    EXPECT_EQ(param::EncodingOf(index).scale, 0) << index;
  for (int32_t group = 0; group < param::kStripGroups; ++group) {
    for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
      const int32_t index = param::StripIndex(group, strip);
      ASSERT_TRUE(param::IsStripIndex(index));
      ASSERT_EQ(param::GroupOf(index), group);
      ASSERT_EQ(param::StripOf(index), strip);
      ASSERT_EQ(param::kStripFields[group].first + strip, index);
    }
  }
  // The field of each group is the strip byte its index names.
  VSTPluginStrip strip{};
  strip.*param::kStripFields[param::GroupOf(param::kChannelB)].field = 7;
  EXPECT_EQ(strip.channelB, 7);
  strip.*param::kStripFields[param::GroupOf(param::kNumberA)].field = 9;
  EXPECT_EQ(strip.numberA, 9);
  EXPECT_FALSE(param::IsStripIndex(param::kStripEnd));
  EXPECT_FALSE(param::IsStripIndex(param::kPresetSwitching));
}
