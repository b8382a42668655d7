// The fuzz targets' own parts: the input reader must turn the same bytes into
// the same choices in every build (a reproducer is only worth keeping if it
// replays), and the checks must end the process on what they look for and
// on nothing else.
#include "tests/fuzz/FuzzSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct Block
{
  std::vector<VstMidiEvent> records;
  std::vector<uint8_t> storage;

  explicit Block(size_t count) : records(count)
  {
    for (VstMidiEvent& event : records) {
      event.type = kVstMidiType;
      event.byteSize = 24;
      event.midiData[0] = 0xB0;
      event.midiData[1] = 7;
      event.midiData[2] = 100;
    }
  }

  const VstEvents& Events()
  {
    storage.assign(sizeof(VstEvents) + records.size() * sizeof(VstEvent*), 0);
    auto* events = reinterpret_cast<VstEvents*>(storage.data());
    events->numEvents = static_cast<int32_t>(records.size());
    auto** pointers = reinterpret_cast<VstEvent**>(storage.data() + offsetof(VstEvents, events));
    for (size_t i = 0; i < records.size(); ++i)
      pointers[i] = reinterpret_cast<VstEvent*>(&records[i]);
    return *events;
  }
};

} // namespace

TEST(FuzzBytes, ReadsLittleEndianInInputOrderAndGivesZerosPastTheEnd)
{
  const uint8_t data[] = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF};
  fuzz::Bytes in(data, sizeof data);
  EXPECT_EQ(in.U8(), 0x01);
  EXPECT_EQ(in.U16(), 0x1234);
  EXPECT_EQ(in.U32(), 0x12345678u);
  EXPECT_EQ(in.Left(), 1u);
  EXPECT_EQ(in.U16(), 0x00FF) << "a read across the end takes what is there";
  EXPECT_TRUE(in.Empty());
  EXPECT_EQ(in.U32(), 0u);
  EXPECT_EQ(in.OddValue(), 0);
  EXPECT_TRUE(in.Rest().empty());
}

TEST(FuzzBytes, OddValuesComeFromTheEdgesOrFromRawBits)
{
  const uint8_t data[] = {26, 27, 20, 160, 0x78, 0x56, 0x34, 0x12};
  fuzz::Bytes in(data, sizeof data);
  EXPECT_EQ(in.OddValue(), 0x7FFFFFFF);
  EXPECT_EQ(in.OddValue(), static_cast<VstIntPtr>(-0x7FFFFFFF - 1));
  EXPECT_EQ(in.OddValue(), 33808);
  EXPECT_EQ(in.OddValue(), 0x12345678);

  const uint8_t floats[] = {23, 21, 1, 128, 0xFF, 0xFF};
  fuzz::Bytes f(floats, sizeof floats);
  EXPECT_TRUE(std::isnan(f.OddFloat()));
  EXPECT_EQ(f.OddFloat(), std::numeric_limits<float>::infinity());
  EXPECT_EQ(f.OddFloat(), 1.0f);
  EXPECT_EQ(f.OddFloat(), 1.0f) << "65535 / 65535";

  const uint8_t indices[] = {0, 0, 199, 255};
  fuzz::Bytes i(indices, sizeof indices);
  EXPECT_EQ(i.OddIndex(), -5);
  EXPECT_EQ(i.OddIndex(), 250);
}

TEST(FuzzChecks, WellFormedBlocksPass)
{
  Block empty(0);
  fuzz::CheckOutputEvents(empty.Events(), true);
  Block full(256);
  full.records[3].midiData[0] = 0x93;
  full.records[4].midiData[0] = 0x80;
  fuzz::CheckOutputEvents(full.Events(), true);
  // Passed-through events may be anything a host sent, while they are MIDI.
  Block thru(2);
  thru.records[0].midiData[0] = 0x12;
  thru.records[1].midiData[0] = 0xF8;
  fuzz::CheckOutputEvents(thru.Events(), false);
}

TEST(FuzzChecksDeathTest, EndTheProcessOnMalformedBlocks)
{
  Block tooMany(257);
  EXPECT_DEATH(fuzz::CheckOutputEvents(tooMany.Events(), false), "0 to 256 events");
  Block size(3);
  size.records[2].byteSize = 1000;
  EXPECT_DEATH(fuzz::CheckOutputEvents(size.Events(), false), "byte size is 24");
  Block type(1);
  type.records[0].type = 7;
  EXPECT_DEATH(fuzz::CheckOutputEvents(type.Events(), false), "MIDI and SysEx events only");
  // A SysEx record without its message, in a block of its own.
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  VstEvents& events = const_cast<VstEvents&>(type.Events());
  events.events[0] = reinterpret_cast<VstEvent*>(&sysex);
  EXPECT_DEATH(fuzz::CheckOutputEvents(events, false), "a whole message, F0 to F7");
}

TEST(FuzzChecksDeathTest, StoredMessagesMustBeChannelMessagesOfTheirKinds)
{
  Block status(1);
  status.records[0].midiData[0] = 0xF0; // a stored channel of 65
  EXPECT_DEATH(fuzz::CheckOutputEvents(status.Events(), true), "the status of a message kind");
  Block data(1);
  data.records[0].midiData[1] = 0x80; // a stored number of 129
  EXPECT_DEATH(fuzz::CheckOutputEvents(data.Events(), true), "data bytes below 128");
  fuzz::CheckOutputEvents(status.Events(), false);
  Block programChange(1);
  programChange.records[0].midiData[0] = 0xC3;
  programChange.records[0].midiData[1] = 9;
  programChange.records[0].midiData[2] = 0;
  fuzz::CheckOutputEvents(programChange.Events(), true);
  programChange.records[0].midiData[2] = 1;
  EXPECT_DEATH(fuzz::CheckOutputEvents(programChange.Events(), true), "no second data byte");
}

TEST(FuzzChecksDeathTest, ASkippedCheckIsReportedAndPasses)
{
  // The variable is read at a process's first failed check; every failed
  // check of this program runs in a death test's child, so a forked child
  // reads it fresh ("fast": no exec, which an emulated i386 build cannot do).
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        setenv("QUILLET_FUZZ_SKIP", "nothing;byte size", 1);
        Block size(1);
        size.records[0].byteSize = 0;
        fuzz::CheckOutputEvents(size.Events(), false);
        fuzz::Require(false, "a check nobody skips");
      },
      testing::KilledBySignal(SIGABRT), "skipped\\): a sent MIDI event's byte size is 24");
}

TEST(FuzzHost, EveryEventBlockReachesTheChecker)
{
  int blocks = 0;
  int events = 0;
  qhost::HostConfig config;
  config.onEvents = [&](const VstEvents& block) {
    ++blocks;
    events += block.numEvents;
  };
  auto plugin = fuzz::NewInstance(config);
  plugin->RunBlocks(2, 64);                   // a fresh program asks for a release of held notes
  plugin->SetParameter(40, 1.0f / 16.0f);     // strip 0: channel 1,
  plugin->SetParameter(72, 8.0f / 128.0f);    // controller 7,
  plugin->SetParameter(104, 101.0f / 128.0f); // value 100
  plugin->SetParameter(0, 1.0f);
  plugin->RunBlock(64);
  EXPECT_EQ(blocks, 1);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(plugin->Received().size(), 1u) << "the host still records what it checked";
  plugin->Close();
}
