// Program Change messages, paced sending and send on play, as a host sees
// them: every event at its sample in the stream of blocks.
#include "model/Parameters.h"
#include "tests/testsupport/PluginFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

constexpr int32_t kBlock = 512;

// An event the host received and the sample it falls on, counted from the
// first block the host ran.
struct Timed
{
  int64_t sample;
  std::string midi;
  bool operator==(const Timed& other) const { return sample == other.sample && midi == other.midi; }
};

void PrintTo(const Timed& timed, std::ostream* out)
{
  *out << timed.sample << ": " << timed.midi;
}

class PacedSending : public testsupport::PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    StartQuiet();
  }
  void StoreCc(int strip, bool b, int channel, int number, int value)
  {
    const int32_t offset = b ? 16 : 0;
    Set(param::kFormatA + offset + strip, 0.0f);
    Set(param::kChannelA + offset + strip, channel / 16.0f);
    Set(param::kNumberA + offset + strip, (number + 1) / 128.0f);
    Set(param::kValueA + offset + strip, (value + 1) / 128.0f);
  }
  void StorePc(int strip, bool b, int channel, int program)
  {
    const int32_t offset = b ? 16 : 0;
    Set(param::kKindA + offset + strip, 1.0f);
    Set(param::kChannelA + offset + strip, channel / 16.0f);
    Set(param::kNumberA + offset + strip, (program + 1) / 128.0f);
  }
  // Strip 1 in use, as "+" puts it (the only door a host has is a chunk).
  void AddStrip1()
  {
    auto bank = Plugin().GetChunk(false);
    auto* record = reinterpret_cast<VSTPluginProgram*>(bank.data());
    ASSERT_TRUE(record->AddStrip(1));
    ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  }
  void Resend()
  {
    Set(param::kResend, 1.0f);
    Set(param::kResend, 0.0f);
  }
  void Spacing(int ms) { Set(param::kSpacing, ms / 250.0f); }
  void Settle(int ms) { Set(param::kSettle, ms / 2000.0f); }
  // Runs `count` blocks and gives what they brought, at their samples.
  std::vector<Timed> Run(int count)
  {
    Plugin().RunBlocks(count, kBlock);
    std::vector<Timed> timed;
    for (const auto& event : Plugin().Received())
      timed.push_back({event.frame, qhost::FormatMidi(event.bytes, 3)});
    Plugin().ClearReceived();
    return timed;
  }
  int64_t Now() { return Plugin().BlocksRun() * kBlock; }
};

TEST_F(PacedSending, ProgramChangeStripSendsTwoBytes)
{
  StorePc(0, false, 3, 5);
  Resend();
  const int64_t start = Now();
  EXPECT_THAT(Run(1), ElementsAre(Timed{start, "C2 05 00"}));
  EXPECT_EQ(Plugin().GetParameter(param::kKindA), 1.0f);
  EXPECT_EQ(Plugin().GetParameter(param::kChannelA), 3 / 16.0f)
      << "the dial shows the Program Change's own channel";
}

TEST_F(PacedSending, BankSelectThenProgramChangeGoInStripOrder)
{
  AddStrip1();
  StoreCc(0, false, 1, 0, 2);
  StoreCc(0, true, 1, 32, 1);
  StorePc(1, false, 1, 17);
  Resend();
  const int64_t start = Now();
  EXPECT_THAT(Run(1), ElementsAre(Timed{start, "B0 00 02"}, Timed{start, "B0 20 01"},
                                  Timed{start, "C0 11 00"}))
      << "without spacing everything goes in one block, as always";
}

TEST_F(PacedSending, SpacingPutsMessagesApartAcrossBlocks)
{
  AddStrip1();
  StoreCc(0, false, 1, 7, 100);
  StoreCc(0, true, 1, 10, 64);
  StoreCc(1, false, 2, 7, 90);
  Spacing(20);
  Resend();
  const int64_t start = Now();
  EXPECT_FLOAT_EQ(Plugin().GetParameter(param::kSpacing) * 250.0f, 20.0f);
  const auto events = Run(6);
  EXPECT_THAT(events, ElementsAre(Timed{start, "B0 07 64"}, Timed{start + 882, "B0 0A 40"},
                                  Timed{start + 1764, "B1 07 5A"}));
}

TEST_F(PacedSending, SettleWaitsAfterAProgramChange)
{
  AddStrip1();
  StorePc(0, false, 1, 4);
  StoreCc(0, true, 1, 7, 100);
  StoreCc(1, false, 1, 10, 1);
  Spacing(5);
  Settle(50);
  Resend();
  const int64_t start = Now();
  EXPECT_THAT(Run(12), ElementsAre(Timed{start, "C0 04 00"}, Timed{start + 2205, "B0 07 64"},
                                   Timed{start + 2205 + 221, "B0 0A 01"}));
}

TEST_F(PacedSending, SettleAloneAlsoPaces)
{
  StorePc(0, false, 1, 4);
  StoreCc(0, true, 1, 7, 100);
  Settle(10);
  Resend();
  const int64_t start = Now();
  EXPECT_THAT(Run(3), ElementsAre(Timed{start, "C0 04 00"}, Timed{start + 441, "B0 07 64"}));
}

TEST_F(PacedSending, PacedEventsJoinTheBlockInFrameOrder)
{
  StoreCc(0, false, 1, 7, 100);
  StoreCc(0, true, 1, 10, 64);
  Spacing(5); // 221 samples
  Set(param::kThru, 1.0f);
  Resend();
  const int64_t start = Now();
  Plugin().QueueMidi(0xB5, 1, 2, 100);
  Plugin().QueueMidi(0xB5, 1, 3, 300);
  EXPECT_THAT(Run(1), ElementsAre(Timed{start, "B0 07 64"}, Timed{start + 100, "B5 01 02"},
                                  Timed{start + 221, "B0 0A 40"}, Timed{start + 300, "B5 01 03"}));
}

TEST_F(PacedSending, ANewSendCancelsTheRestOfOne)
{
  StoreCc(0, false, 1, 7, 100);
  StoreCc(0, true, 1, 10, 64);
  Spacing(100); // 4410 samples: the second message is nine blocks away
  Resend();
  const int64_t first = Now();
  EXPECT_THAT(Run(2), ElementsAre(Timed{first, "B0 07 64"}));
  EXPECT_EQ(Plugin().GetParameter(param::kPacedNotice), 1.0f);
  StoreCc(0, false, 1, 7, 1);
  Resend();
  const int64_t second = Now();
  EXPECT_THAT(Run(20), ElementsAre(Timed{second, "B0 07 01"}, Timed{second + 4410, "B0 0A 40"}));
  EXPECT_EQ(Plugin().GetParameter(param::kPacedNotice), 0.0f);
}

TEST_F(PacedSending, AnUnpacedSendAlsoCancels)
{
  StoreCc(0, false, 1, 7, 100);
  StoreCc(0, true, 1, 10, 64);
  Spacing(100);
  Resend();
  Run(2);
  Spacing(0);
  Resend();
  const int64_t now = Now();
  EXPECT_THAT(Run(20), ElementsAre(Timed{now, "B0 07 64"}, Timed{now, "B0 0A 40"}));
}

TEST_F(PacedSending, SwitchingOffTheOptionThatStartedItCancels)
{
  Set(param::kSendOnChange, 1.0f);
  Set(param::kChangeDelay, 0.0f);
  Plugin().SelectProgram(1); // the first selection is the initial one
  Run(1);
  StoreCc(0, false, 1, 7, 100);
  StoreCc(0, true, 1, 10, 64);
  Spacing(100);
  Plugin().SelectProgram(1);
  const int64_t now = Now();
  EXPECT_THAT(Run(2), ElementsAre(Timed{now, "B0 07 64"}));
  Set(param::kSendOnInit, 0.0f); // another option: the send goes on
  Run(1);
  Set(param::kSendOnChange, 0.0f);
  EXPECT_THAT(Run(20), IsEmpty());
  EXPECT_EQ(Plugin().GetParameter(param::kPacedNotice), 0.0f);
}

TEST_F(PacedSending, ExtremeSettingsAreClamped)
{
  Set(param::kSpacing, 1.0f);
  Set(param::kSettle, 1.0f);
  EXPECT_EQ(Plugin().GetParameter(param::kSpacing), 1.0f);
  EXPECT_EQ(Plugin().GetParameter(param::kSettle), 1.0f);
  Set(param::kSpacing, 2.0f); // out of range: ignored as every parameter does
  EXPECT_EQ(Plugin().GetParameter(param::kSpacing), 1.0f);
  EXPECT_EQ(Plugin().GetParameter(param::kExtendedEnd), 0.0f);
  EXPECT_EQ(Plugin().GetParameter(param::kExtendedFirst - 1), 0.0f);
}

// ---------------------------------------------------------- send on play

class PacedSendOnPlay : public PacedSending
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    qhost::HostConfig config;
    config.answersTime = true;
    Load(config);
    StartQuiet();
  }
};

TEST_F(PacedSendOnPlay, TheTransportStartingSends)
{
  StoreCc(0, false, 1, 7, 100);
  Plugin().RunBlocks(2);
  EXPECT_EQ(Plugin().CountCallbacks(audioMasterGetTime), 0) << "asked only when the option is on";
  Set(param::kSendOnPlay, 1.0f);
  EXPECT_THAT(Run(2), IsEmpty());
  EXPECT_EQ(Plugin().CountCallbacks(audioMasterGetTime), 2) << "once per block";
  Plugin().SetPlaying(true);
  const int64_t start = Now();
  EXPECT_THAT(Run(3), ElementsAre(Timed{start, "B0 07 64"}));
  Plugin().SetPlaying(false);
  EXPECT_THAT(Run(1), IsEmpty());
  Plugin().SetPlaying(true);
  EXPECT_EQ(Run(1).size(), 1u);
}

TEST_F(PacedSendOnPlay, PlaySendsArePacedAndEndWithTheOption)
{
  StoreCc(0, false, 1, 7, 100);
  StoreCc(0, true, 1, 10, 64);
  Spacing(100);
  Set(param::kSendOnPlay, 1.0f);
  Plugin().SetPlaying(true);
  EXPECT_EQ(Run(1).size(), 1u);
  Set(param::kSendOnPlay, 0.0f);
  EXPECT_THAT(Run(20), IsEmpty());
}

TEST_F(PacedSending, AHostWithoutTimeInfoGetsNothingOnPlay)
{
  StoreCc(0, false, 1, 7, 100);
  Set(param::kSendOnPlay, 1.0f);
  Plugin().SetPlaying(true);
  EXPECT_THAT(Run(3), IsEmpty());
  EXPECT_EQ(Plugin().CountCallbacks(audioMasterGetTime), 3);
}

} // namespace
