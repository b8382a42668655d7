// MIDI through the plug-in, as a host sees it.
#include "midi/MidiBytes.h"
#include "model/Parameters.h"
#include "tests/testsupport/PluginFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

class MidiPath : public testsupport::PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    StartQuiet();
  }
  // Stores a message in strip `strip` of the current program: format,
  // channel 1-16, number and value 0-127 (stored plus one).
  void Store(int strip, bool b, int format, int channel, int number, int value)
  {
    const int32_t offset = b ? 16 : 0;
    Set(param::kFormatA + offset + strip, format * 0.5f);
    Set(param::kChannelA + offset + strip, channel / 16.0f);
    Set(param::kNumberA + offset + strip, (number + 1) / 128.0f);
    Set(param::kValueA + offset + strip, (value + 1) / 128.0f);
  }
  void Resend()
  {
    Set(param::kResend, 1.0f);
    Set(param::kResend, 0.0f);
  }
};

TEST_F(MidiPath, StoredMessagesFollowTheByteRules)
{
  Store(0, false, 0, 1, 7, 100);
  Store(0, true, 1, 2, 60, 127);
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 07 64", "91 3C 7F"));

  Store(0, false, 0, 3, 7, 127);
  Store(0, true, 0, 0, 0, 0); // channel 0: message B off
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B2 07 7F"));
  Set(param::kFormatA, 0.5f);
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("92 07 7F"));
  Set(param::kFormatA, 1.0f); // format 2 is a Note On as well
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("92 07 7F"));
}

TEST_F(MidiPath, UnusedStripsAndIncompleteMessagesAreSkipped)
{
  Store(0, false, 0, 1, 7, 100);
  Store(0, true, 0, 1, 10, 5);
  Set(param::kValueB, 0.0f);     // value 0: message B is off
  Store(5, false, 0, 1, 11, 50); // strip 5 is not in use
  Store(5, true, 0, 1, 12, 50);
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 07 64"));
}

TEST_F(MidiPath, ResendFiresOnlyOnTheRise)
{
  Store(0, false, 0, 1, 7, 100);
  Set(param::kResend, 1.0f);
  Set(param::kResend, 1.0f);
  Plugin().RunBlock();
  EXPECT_EQ(Midi().size(), 1u);
  Set(param::kResend, 0.0f);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty());
  EXPECT_EQ(Plugin().GetParameter(param::kResend), 0.0f);
}

TEST_F(MidiPath, ThruPassesNotesAndReleasesHeldOnesOverTwoBlocks)
{
  Set(param::kThru, 1.0f);
  Plugin().QueueMidi(0x90, 0x3C, 0x40, 17);
  Plugin().RunBlock();
  auto received = Plugin().Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].deltaFrames, 17) << "thru events keep their delta frames";
  Midi();

  Set(param::kThru, 0.0f);
  Plugin().QueueMidi(0x90, 0x3E, 0x40); // dropped: a release is in progress
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty()) << "first block: the note-offs are queued";
  Plugin().QueueMidi(0xB0, 0x07, 0x10);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("80 3C 00"));
  Plugin().QueueMidi(0x80, 0x3C, 0x40);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty()) << "thru is off";
}

TEST_F(MidiPath, ReleasesWithoutAHeldNoteAreDropped)
{
  Set(param::kThru, 1.0f);
  Plugin().QueueMidi(0x80, 0x40, 0x40);
  Plugin().QueueMidi(0x90, 0x41, 0x00);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty());

  Plugin().QueueMidi(0x93, 0x41, 0x50);
  Plugin().QueueMidi(0x93, 0x41, 0x00); // velocity 0 ends the held note
  Plugin().QueueMidi(0x83, 0x41, 0x00); // no longer held
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("93 41 50", "83 41 00"));
}

TEST_F(MidiPath, RepeatedNoteOnReplacesTheVelocityOfItsEntry)
{
  Set(param::kThru, 1.0f);
  Plugin().QueueMidi(0x90, 0x30, 0x20);
  Plugin().QueueMidi(0x90, 0x30, 0x70);
  Plugin().QueueMidi(0x90, 0x31, 0x70);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("90 30 20", "90 30 70", "90 31 70"));
  Set(param::kThru, 0.0f);
  Plugin().RunBlocks(2);
  EXPECT_THAT(Midi(), ElementsAre("80 30 00", "80 31 00")) << "one entry per channel and note";
}

TEST_F(MidiPath, HeldNoteTableDropsNewNotesWhenFull)
{
  Set(param::kThru, 1.0f);
  for (int i = 0; i < 257; ++i) {
    Plugin().QueueMidi(static_cast<uint8_t>(0x90 + i / 128), static_cast<uint8_t>(i % 128), 0x40);
    if (i == 199) // stay within the 256 input events of one block
      Plugin().RunBlock();
  }
  Plugin().RunBlock();
  EXPECT_EQ(Midi().size(), 256u);
  Set(param::kThru, 0.0f);
  Plugin().RunBlocks(2);
  const auto offs = Midi();
  ASSERT_EQ(offs.size(), 256u);
  EXPECT_EQ(offs.front(), "80 00 00");
  EXPECT_EQ(offs.back(), "81 7F 00") << "in the order of the table";
}

TEST_F(MidiPath, ProgramChangeInputSelectsWhenSwitchingIsOn)
{
  Set(param::kPresetSwitching, 1.0f);
  Set(param::kThru, 1.0f);
  Plugin().QueueMidi(0xC0, 0x05, 0x00);
  Plugin().RunBlock();
  EXPECT_EQ(Plugin().CurrentProgram(), 5);
  EXPECT_THAT(Midi(), IsEmpty()) << "never passed on, even with thru";
  Plugin().RunBlocks(2);                // thru is off in program 5: its release takes two blocks
  Plugin().QueueMidi(0xCF, 0x07, 0x00); // any channel
  Plugin().RunBlock();
  EXPECT_EQ(Plugin().CurrentProgram(), 7);

  Set(param::kPresetSwitching, 0.0f);
  Plugin().QueueMidi(0xC0, 0x02, 0x00); // thru is off in program 7
  Plugin().RunBlocks(3);
  EXPECT_EQ(Plugin().CurrentProgram(), 7);
  EXPECT_THAT(Midi(), IsEmpty());
  Set(param::kThru, 1.0f);
  Plugin().QueueMidi(0xC0, 0x02, 0x00);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("C0 02 00"));
}

// Thru events keep their delta frames whatever they are (the block's order
// only compares them), and the host places each at its block's start plus
// its delta in 64 bits: no value overflows on either side.
TEST_F(MidiPath, ThruKeepsDeltaFramesAtTheEndsOfTheirRange)
{
  Set(param::kThru, 1.0f);
  Store(0, false, 0, 1, 7, 100);
  const int32_t deltas[] = {INT32_MAX, INT32_MIN, -1, INT32_MAX - 1};
  for (const int32_t delta : deltas)
    Plugin().QueueMidi(0xB0, 0x01, 0x02, delta);
  Resend();
  Plugin().RunBlock(512);
  const auto received = Plugin().Received();
  ASSERT_EQ(received.size(), 5u);
  // The resend's message, generated, comes last, at the block's start.
  EXPECT_EQ(received[4].deltaFrames, 0);
  EXPECT_EQ(received[4].bytes[1], 0x07);
  const int64_t start = received[4].frame;
  EXPECT_GT(start, 0) << "blocks ran before";
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(received[i].deltaFrames, deltas[i]);
    EXPECT_EQ(received[i].frame, start + deltas[i]);
  }
}

TEST_F(MidiPath, OtherMessagesPassOnlyWithThru)
{
  Plugin().QueueMidi(0xE0, 0x00, 0x40);
  Plugin().QueueMidi(0xB1, 0x40, 0x7F);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty());
  Set(param::kThru, 1.0f);
  Plugin().QueueMidi(0xE0, 0x00, 0x40);
  Plugin().QueueMidi(0xD2, 0x30, 0x00);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("E0 00 40", "D2 30 00"));
}

TEST_F(MidiPath, HostStartUpControllersAreHandledAsAnyInput)
{
  // Some hosts send sustain off, reset all controllers and all notes off on
  // every channel when they start.
  auto inject = [&] {
    for (uint8_t channel = 0; channel < 16; ++channel) {
      Plugin().QueueMidi(static_cast<uint8_t>(0xB0 + channel), 64, 0);
      Plugin().QueueMidi(static_cast<uint8_t>(0xB0 + channel), 121, 0);
      Plugin().QueueMidi(static_cast<uint8_t>(0xB0 + channel), 123, 0);
    }
  };
  inject();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty());
  Set(param::kThru, 1.0f);
  inject();
  Store(0, false, 0, 1, 7, 100);
  Resend();
  const int callsBefore = Plugin().SendEventCalls();
  Plugin().RunBlock();
  const auto out = Midi();
  ASSERT_EQ(out.size(), 49u);
  EXPECT_EQ(out.front(), "B0 40 00");
  EXPECT_EQ(out.back(), "B0 07 64") << "generated messages come after the passed ones";
  EXPECT_EQ(Plugin().SendEventCalls(), callsBefore + 1) << "one call per block";
  Plugin().RunBlock();
  EXPECT_EQ(Plugin().SendEventCalls(), callsBefore + 1) << "no call for an empty block";
}

// More than a block's 256 events handed over before one block: handed over
// on the thread that runs the blocks, the excess waits for the next block,
// in order, up to a second 256; from another thread the input ring's 256
// are all that is kept.
TEST_F(MidiPath, InputBeyond256EventsWaitsForTheNextBlockUpToASecond256)
{
  struct Case
  {
    int handed;
    bool onBlockThread;
    size_t first, second; // the events of the next two blocks
  };
  const Case cases[] = {{300, true, 256, 44}, {600, true, 256, 256}, {300, false, 256, 0}};
  Set(param::kThru, 1.0f);
  for (const Case& c : cases) {
    // A controller of its own per event, so that order and loss show.
    std::vector<VstMidiEvent> records(static_cast<size_t>(c.handed));
    std::vector<std::string> handed;
    VstEventBlock<600> block{};
    block.numEvents = c.handed;
    for (int i = 0; i < c.handed; ++i) {
      VstMidiEvent& event = records[static_cast<size_t>(i)];
      event.type = kVstMidiType;
      event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
      event.midiData[0] = static_cast<uint8_t>(midi::kControlChange + i / 128);
      event.midiData[1] = static_cast<uint8_t>(i % 128);
      handed.push_back(qhost::FormatMidi(event.midiData, 3));
      block.events[i] = reinterpret_cast<VstEvent*>(&event);
    }
    auto handOver = [&] { Plugin().Dispatch(effProcessEvents, 0, 0, block.AsEvents()); };
    if (c.onBlockThread)
      handOver();
    else
      std::thread(handOver).join();
    std::vector<std::string> blocks[3];
    for (auto& out : blocks) {
      Plugin().RunBlock();
      out = Midi();
    }
    const auto from = handed.begin();
    EXPECT_EQ(blocks[0], std::vector<std::string>(from, from + c.first)) << c.handed;
    EXPECT_EQ(blocks[1], std::vector<std::string>(from + c.first, from + c.first + c.second))
        << c.handed << (c.onBlockThread ? " on the block's thread" : " from another thread");
    EXPECT_THAT(blocks[2], IsEmpty()) << c.handed << ": the rest is lost";
  }
}

TEST_F(MidiPath, GeneratedMessagesBeyondTheRingAreLost)
{
  for (int strip = 0; strip < 16; ++strip) {
    Store(strip, false, 0, 1, strip, 1);
    Store(strip, true, 0, 2, strip, 2);
  }
  // Strips 1 to 15 are not in use in a fresh program: put them in use the
  // way the editor does, through the program chunk.
  auto chunk = Plugin().GetChunk(true);
  for (int strip = 0; strip < 16; ++strip)
    chunk[48 + 9 * strip] = 1;
  ASSERT_EQ(Plugin().SetChunk(chunk, true), 1);
  for (int i = 0; i < 9; ++i)
    Resend(); // 9 × 32 messages
  Plugin().RunBlock();
  EXPECT_EQ(Midi().size(), 256u);
}

TEST_F(MidiPath, SuspendedPluginLeavesMidiWaiting)
{
  Set(param::kThru, 1.0f);
  Plugin().Suspend();
  Plugin().QueueMidi(0xB0, 0x01, 0x02);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty());
  Plugin().Resume();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 01 02"));
}

TEST_F(MidiPath, HostThatAnswersZeroToTheEventsStillGetsEveryBlock)
{
  qhost::HostConfig config;
  config.processEventsAnswer = 0;
  Load(config);
  Start();
  Plugin().RunBlocks(2);
  Plugin().SetParameter(param::kThru, 1.0f);
  Plugin().QueueMidi(0xB0, 0x01, 0x02);
  Plugin().RunBlock();
  Plugin().QueueMidi(0xB0, 0x01, 0x03);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 01 02", "B0 01 03")) << "nothing is sent twice";
}

TEST_F(MidiPath, StoredMessagesWaitForTheNextBlockWhenTheOutputIsFull)
{
  Set(param::kThru, 1.0f);
  Store(0, false, 0, 1, 7, 100);
  for (int i = 0; i < 256; ++i)
    Plugin().QueueMidi(0xB1, static_cast<uint8_t>(i % 128), 0);
  Resend();
  Plugin().RunBlock();
  EXPECT_EQ(Midi().size(), 256u);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 07 64")) << "not lost";
}

TEST_F(MidiPath, StoredBytesNoDialCanSetAreNotSent)
{
  // A chunk may carry channels above 16 and numbers or values above 128;
  // sent with 8-bit arithmetic they would become other messages.
  Store(0, false, 0, 1, 7, 100);
  Store(0, true, 0, 2, 74, 64);
  std::vector<uint8_t> chunk = Plugin().GetChunk(true);
  ASSERT_EQ(chunk.size(), 276u);
  constexpr size_t kStrip0 = 48;
  const uint8_t channelA = 3, channelB = 4, numberB = 6, valueA = 7;
  for (uint8_t channel : {17, 65}) {
    chunk[kStrip0 + channelA] = channel;
    ASSERT_EQ(Plugin().SetChunk(chunk, true), 1);
    Resend();
    Plugin().RunBlock();
    EXPECT_THAT(Midi(), ElementsAre("B1 4A 40")) << "channel " << int(channel);
  }
  chunk[kStrip0 + channelA] = 1;
  chunk[kStrip0 + valueA] = 200;
  chunk[kStrip0 + numberB] = 129;
  ASSERT_EQ(Plugin().SetChunk(chunk, true), 1);
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), IsEmpty());
  chunk[kStrip0 + valueA] = 128;
  chunk[kStrip0 + channelB] = 16;
  chunk[kStrip0 + numberB] = 128;
  ASSERT_EQ(Plugin().SetChunk(chunk, true), 1);
  Resend();
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 07 7F", "BF 7F 40"));
}

TEST_F(MidiPath, PassedEventsClaimOnlyTheBytesOfTheirRecord)
{
  // A host event that claims more bytes than a MIDI record holds goes back
  // to the host with the record's own size.
  std::vector<int32_t> sizes;
  Plugin().Config().onEvents = [&](const VstEvents& events) {
    VstEvent* const* list = events.events;
    for (int32_t i = 0; i < events.numEvents; ++i)
      sizes.push_back(list[i]->byteSize);
  };
  Set(param::kThru, 1.0f);
  Plugin().RunBlocks(2);
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = 1000;
  event.midiData[0] = 0xB0;
  event.midiData[1] = 0x01;
  event.midiData[2] = 0x40;
  VstEventBlock<1> block{};
  block.numEvents = 1;
  block.events[0] = reinterpret_cast<VstEvent*>(&event);
  Plugin().Dispatch(effProcessEvents, 0, 0, &block);
  Plugin().RunBlock();
  EXPECT_THAT(Midi(), ElementsAre("B0 01 40"));
  EXPECT_THAT(sizes, ElementsAre(static_cast<int32_t>(sizeof(VstMidiEvent)) - 8));
}
