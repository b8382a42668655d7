// The block's output: a short message of several MIDI messages goes in
// whole at one frame, after what is already at that frame; SysEx records
// take their place among the MIDI ones in the one block the host gets.
#include "engine/BlockOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// "frame:bytes" for every event of the block, SysEx as "frame:sysex N".
std::vector<std::string> Listed(VstEvents* events)
{
  std::vector<std::string> listed;
  for (int32_t i = 0; events && i < events->numEvents; ++i) {
    char text[64];
    const VstEvent* event = events->events[i];
    if (event->type == kVstSysExType) {
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      std::snprintf(text, sizeof text, "%d:sysex %d", sysex->deltaFrames, sysex->dumpBytes);
    } else {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      std::snprintf(text, sizeof text, "%d:%02X %02X %02X", midi->deltaFrames, midi->midiData[0],
                    midi->midiData[1], midi->midiData[2]);
    }
    listed.emplace_back(text);
  }
  return listed;
}

void Put(BlockOutput& out, std::vector<uint8_t> bytes, int32_t frame)
{
  ASSERT_TRUE(out.InsertAt(bytes.data(), static_cast<int32_t>(bytes.size()), frame));
}

struct ShortCase
{
  const char* name;
  std::vector<uint8_t> bytes;
  int32_t frame;
  std::vector<std::string> expected;
};

class ShortMessages : public testing::TestWithParam<ShortCase>
{
};

TEST_P(ShortMessages, GoInWholeAtTheirFrameAfterWhatIsThere)
{
  auto out = std::make_unique<BlockOutput>();
  Put(*out, {0x90, 60, 100}, 0);
  Put(*out, {0x90, 62, 100}, 10);
  Put(*out, {0x80, 60, 0}, 20);
  Put(*out, GetParam().bytes, GetParam().frame);
  EXPECT_EQ(Listed(out->Take()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ShortMessages,
    testing::Values(
        ShortCase{"ProgramChange",
                  {0xC1, 5},
                  10,
                  {"0:90 3C 64", "10:90 3E 64", "10:C1 05 00", "20:80 3C 00"}},
        ShortCase{
            "NrpnWithNullAfter",
            {0xB0, 99, 1, 0xB0, 98, 2, 0xB0, 6, 64, 0xB0, 38, 3, 0xB0, 101, 127, 0xB0, 100, 127},
            10,
            {"0:90 3C 64", "10:90 3E 64", "10:B0 63 01", "10:B0 62 02", "10:B0 06 40",
             "10:B0 26 03", "10:B0 65 7F", "10:B0 64 7F", "20:80 3C 00"}},
        ShortCase{"FourteenBitBeforeEverything",
                  {0xB2, 7, 100, 0xB2, 39, 5},
                  0,
                  {"0:90 3C 64", "0:B2 07 64", "0:B2 27 05", "10:90 3E 64", "20:80 3C 00"}},
        ShortCase{"AfterTheLast",
                  {0xB0, 7, 1, 0xB0, 39, 2},
                  30,
                  {"0:90 3C 64", "10:90 3E 64", "20:80 3C 00", "30:B0 07 01", "30:B0 27 02"}}),
    [](const testing::TestParamInfo<ShortCase>& info) { return info.param.name; });

TEST(BlockOutput, AShortMessageWithoutRoomForAllOfItWaits)
{
  auto out = std::make_unique<BlockOutput>();
  for (int32_t i = 0; i < BlockOutput::kCapacity - 2; ++i)
    Put(*out, {0x90, static_cast<uint8_t>(i % 128), 1}, i);
  const uint8_t three[] = {0xB0, 7, 1, 0xB0, 8, 2, 0xB0, 9, 3};
  EXPECT_FALSE(out->InsertAt(three, sizeof three, 0));
  EXPECT_EQ(out->count, BlockOutput::kCapacity - 2) << "nothing of it went in";
  EXPECT_TRUE(out->InsertAt(three, 6, 0));
  EXPECT_TRUE(out->Full());
}

TEST(BlockOutput, SysExTakesItsPlaceAmongTheMidiRecords)
{
  auto out = std::make_unique<BlockOutput>();
  const std::vector<uint8_t> dump(19 * 1024, 0x10);
  Put(*out, {0x90, 60, 100}, 0);
  Put(*out, {0x90, 62, 100}, 40);
  Put(*out, {0xC0, 3}, 0);
  ASSERT_TRUE(out->InsertSysEx(dump.data(), static_cast<int32_t>(dump.size()), 0));
  ASSERT_TRUE(out->InsertSysEx(dump.data(), 6, 0));
  Put(*out, {0xB0, 7, 1}, 0);
  ASSERT_TRUE(out->InsertSysEx(dump.data(), 8, 50));
  VstEvents* events = out->Take();
  EXPECT_EQ(Listed(events),
            (std::vector<std::string>{"0:90 3C 64", "0:C0 03 00", "0:sysex 19456", "0:sysex 6",
                                      "0:B0 07 01", "40:90 3E 64", "50:sysex 8"}));
  const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(out->events.events[2]);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(sysex->sysexDump), dump.data()) << "not copied";
  EXPECT_EQ(sysex->byteSize, static_cast<int32_t>(sizeof(VstMidiSysexEvent)) - 8);

  // The next block, without SysEx, is laid out as always.
  Put(*out, {0x90, 64, 1}, 3);
  Put(*out, {0x90, 65, 1}, 4);
  EXPECT_EQ(Listed(out->Take()), (std::vector<std::string>{"3:90 40 01", "4:90 41 01"}));
  EXPECT_EQ(out->Take(), nullptr) << "an empty block gives the host nothing";
}

TEST(BlockOutput, ABlockHoldsAsManySysExAsItHasRecordsFor)
{
  auto out = std::make_unique<BlockOutput>();
  const uint8_t message[] = {0xF0, 0x7D, 0x01, 0xF7};
  for (int32_t i = 0; i < BlockOutput::kSysExCapacity; ++i)
    ASSERT_TRUE(out->InsertSysEx(message, sizeof message, i));
  EXPECT_FALSE(out->InsertSysEx(message, sizeof message, 0));
  EXPECT_EQ(out->Take()->numEvents, BlockOutput::kSysExCapacity);
}

} // namespace
