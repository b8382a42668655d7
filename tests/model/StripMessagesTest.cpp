// The rules of a message that knows its kind, on records of the test's own:
// where a Program Change keeps its channel, what is sent, how learning
// picks its slot.
#include "model/StripMessages.h"
#include "model/StripLearning.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class StripMessages : public testing::Test
{
protected:
  void SetUp() override
  {
    InitProgram(program, "test");
    std::memset(&extension, 0, sizeof extension);
  }
  strips::Message Cc(int channel, int number, int value)
  {
    strips::Message m;
    m.channel = static_cast<uint8_t>(channel);
    m.number = static_cast<uint8_t>(number + 1);
    m.value = static_cast<uint8_t>(value + 1);
    return m;
  }
  strips::Message Pc(int channel, int programNumber)
  {
    strips::Message m;
    m.kind = kKindProgramChange;
    m.channel = static_cast<uint8_t>(channel);
    m.number = static_cast<uint8_t>(programNumber + 1);
    return m;
  }
  // Learns as the plug-in does, keeping the learned slots.
  strips::LearnPlace Learn(const strips::Message& m)
  {
    const strips::LearnPlace place = strips::Learn(program, extension, learned, m);
    learned = place.learned;
    return place;
  }
  int Sent(int strip, int message, strips::MessageBytes& bytes)
  {
    return strips::Bytes(strips::Read(program, extension, strip, message), bytes);
  }

  VSTPluginProgram program;
  ProgramExtension extension;
  strips::SlotSet learned = 0;
};

TEST_F(StripMessages, ProgramChangeKeepsItsChannelOutOfTheRecord)
{
  strips::Write(program, extension, 0, 1, Pc(3, 9));
  EXPECT_EQ(program.strips[0].channelB, 0) << "the record alone sees the message off";
  EXPECT_EQ(program.strips[0].formatB, 1);
  EXPECT_EQ(extension.channelB[0], 3);
  EXPECT_EQ(extension.kindB[0], kKindProgramChange);
  strips::MessageBytes bytes;
  ASSERT_EQ(Sent(0, 1, bytes), 2);
  EXPECT_EQ(bytes.data[0], 0xC2);
  EXPECT_EQ(bytes.data[1], 9);

  // Back to a controller: the channel returns to the record.
  strips::SetKind(program, extension, 0, 1, kKindByFormat);
  EXPECT_EQ(program.strips[0].channelB, 3);
  EXPECT_EQ(extension.channelB[0], 0);
  EXPECT_EQ(Sent(0, 1, bytes), 0) << "a Note On without a value is not sent";
}

TEST_F(StripMessages, ProgramChangeNeedsOnlyChannelAndNumber)
{
  strips::Write(program, extension, 0, 0, Pc(1, 0));
  strips::MessageBytes bytes;
  EXPECT_EQ(Sent(0, 0, bytes), 2);
  strips::StoreField(program, extension, 0, 0, strips::kChannelField, 0);
  EXPECT_EQ(Sent(0, 0, bytes), 0);
  strips::StoreField(program, extension, 0, 0, strips::kChannelField, 17);
  EXPECT_EQ(Sent(0, 0, bytes), 0) << "a channel beyond 16 is never sent";
  EXPECT_EQ(program.strips[0].channelA, 0);
  strips::StoreField(program, extension, 0, 0, strips::kChannelField, 16);
  strips::StoreField(program, extension, 0, 0, strips::kNumberField, 129);
  EXPECT_EQ(Sent(0, 0, bytes), 0);
}

TEST_F(StripMessages, AFormatWrittenToAProgramChangeMakesItAControllerAgain)
{
  strips::Write(program, extension, 0, 0, Pc(5, 1));
  strips::StoreField(program, extension, 0, 0, strips::kFormatField, 0);
  EXPECT_EQ(extension.kindA[0], kKindByFormat);
  EXPECT_EQ(program.strips[0].channelA, 5);
  EXPECT_EQ(program.strips[0].formatA, 0);
}

TEST_F(StripMessages, StripListCallsResetTheKindsOfTheStripsTheyTouch)
{
  ASSERT_EQ(strips::AddStrip(program, extension), 1);
  strips::Write(program, extension, 1, 0, Pc(2, 2));
  ASSERT_TRUE(strips::RemoveStrip(program, extension, 1));
  EXPECT_EQ(extension.kindA[1], 0);
  EXPECT_EQ(extension.channelA[1], 0);

  // A strip that loses its column in the repair loses its kinds.
  ASSERT_EQ(strips::AddStrip(program, extension), 1);
  strips::Write(program, extension, 1, 1, Pc(2, 2));
  program.strips[1].inUse = 0;
  int32_t columns[kStripsPerProgram];
  EXPECT_EQ(strips::RepairStripOrder(program, extension, columns), 1);
  EXPECT_EQ(extension.kindB[1], 0);
  EXPECT_FALSE(strips::KindsInUse(extension));
}

TEST_F(StripMessages, LearningFillsAThenBThenNewStrips)
{
  auto place = Learn(Cc(1, 7, 100));
  EXPECT_EQ(place.result, strips::LearnResult::Placed);
  EXPECT_EQ(place.strip, 0);
  EXPECT_EQ(place.message, 0);
  place = Learn(Cc(1, 10, 64));
  EXPECT_EQ(place.strip, 0);
  EXPECT_EQ(place.message, 1);
  place = Learn(Pc(2, 5));
  EXPECT_EQ(place.result, strips::LearnResult::Added);
  EXPECT_EQ(place.strip, 1);
  EXPECT_EQ(extension.kindA[1], kKindProgramChange);
  EXPECT_EQ(program.strips[1].valueA, 0) << "a learned Program Change keeps no value";

  // The same controller again only takes the new value.
  place = Learn(Cc(1, 7, 3));
  EXPECT_EQ(place.result, strips::LearnResult::Updated);
  EXPECT_EQ(place.strip, 0);
  EXPECT_EQ(program.strips[0].valueA, 4);
  // A Program Change on the same channel with the same number is found.
  EXPECT_EQ(Learn(Pc(2, 5)).result, strips::LearnResult::Updated);
  // A Note On with that number is another message.
  program.strips[0].formatB = 1;
  EXPECT_EQ(Learn(Cc(1, 10, 1)).result, strips::LearnResult::Placed);
  EXPECT_EQ(program.stripCount, 2);
}

TEST_F(StripMessages, LearningStopsAtSixteenStrips)
{
  int placed = 0;
  for (int number = 0; number < 40; ++number) {
    if (Learn(Cc(1, number, 1)).result != strips::LearnResult::Full)
      ++placed;
  }
  EXPECT_EQ(placed, 32);
  EXPECT_EQ(program.stripCount, 16);
  EXPECT_FALSE(strips::LearnRoom(program, extension));
  ASSERT_TRUE(strips::RemoveStrip(program, extension, 5));
  EXPECT_TRUE(strips::LearnRoom(program, extension));
  EXPECT_EQ(Learn(Cc(1, 100, 1)).result, strips::LearnResult::Added);
}

} // namespace
