// The extension block after the records: written only when its settings
// are in use, read back exactly, and harmless to a reader that knows only
// the records.
#include "model/Parameters.h"
#include "model/ProgramExtension.h"
#include "model/StripMessages.h"
#include "model/VSTPluginProgram.h"
#include "tests/testsupport/PluginFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

constexpr size_t kBank = 35328;
constexpr size_t kExtendedBank = 43544;
constexpr size_t kProgram = 276;
constexpr size_t kExtendedProgram = 364;

class ExtensionChunks : public testsupport::PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    StartQuiet();
  }
  float Get(int32_t index) { return Plugin().GetParameter(index); }
  // Program 0: strip 0 A a Program Change 7 on channel 2, B CC 7 = 100.
  void StoreProgramChange()
  {
    Set(param::kKindA, 1.0f);
    Set(param::kChannelA, 2 / 16.0f);
    Set(param::kNumberA, 8 / 128.0f);
    Set(param::kChannelB, 1 / 16.0f);
    Set(param::kNumberB, 8 / 128.0f);
    Set(param::kValueB, 101 / 128.0f);
  }
  std::vector<std::string> Resend()
  {
    Set(param::kResend, 1.0f);
    Set(param::kResend, 0.0f);
    Plugin().RunBlock();
    return Midi();
  }
  void Fresh()
  {
    Load();
    StartQuiet();
  }
  // Loads and tells what went to standard error.
  std::string Loads(const std::vector<uint8_t>& chunk, bool program, VstIntPtr expected = 1)
  {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Plugin().SetChunk(chunk, program), expected) << chunk.size();
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(ExtensionChunks, UnusedSettingsLeaveTheChunksAsTheyWere)
{
  Set(param::kChannelA, 0.25f);
  Set(param::kKindA, 1.0f);
  Set(param::kKindA, 0.0f); // used and given up again
  Set(param::kLearn, 1.0f); // a session state, not stored
  EXPECT_EQ(Plugin().GetChunk(false).size(), kBank);
  EXPECT_EQ(Plugin().GetChunk(true).size(), kProgram);
  const auto old = Plugin().GetChunk(false);

  Fresh();
  EXPECT_THAT(Loads(old, false), IsEmpty());
  EXPECT_EQ(Plugin().GetChunk(false), old) << "an old chunk round-trips byte for byte";
  EXPECT_EQ(Get(param::kChannelA), 0.25f);
}

TEST_F(ExtensionChunks, ExtendedBankRoundTripsWithoutAMessage)
{
  StoreProgramChange();
  Set(param::kSpacing, 20 / 250.0f);
  Set(param::kSettle, 300 / 2000.0f);
  Set(param::kSendOnPlay, 1.0f);
  const auto chunk = Plugin().GetChunk(false);
  ASSERT_EQ(chunk.size(), kExtendedBank);
  EXPECT_EQ(std::memcmp(chunk.data() + kBank, "QXEX", 4), 0);
  EXPECT_EQ(chunk[kBank + 8], 20);
  EXPECT_EQ(chunk[kBank + 12], 300 % 256);
  EXPECT_EQ(chunk[kBank + 16], 1);
  EXPECT_EQ(chunk[kBank + 24], 1) << "program 0's kind of message A";
  EXPECT_EQ(chunk[kBank + 24 + 32], 2) << "and its channel";

  Fresh();
  EXPECT_THAT(Loads(chunk, false), IsEmpty());
  EXPECT_EQ(Plugin().GetChunk(false), chunk);
  EXPECT_FLOAT_EQ(Get(param::kSpacing) * 250.0f, 20.0f);
  EXPECT_FLOAT_EQ(Get(param::kSettle) * 2000.0f, 300.0f);
  EXPECT_EQ(Get(param::kSendOnPlay), 1.0f);
  Set(param::kSpacing, 0.0f);
  Set(param::kSettle, 0.0f);
  EXPECT_THAT(Resend(), ElementsAre("C1 07 00", "B0 07 64"));
}

TEST_F(ExtensionChunks, ExtendedProgramRoundTrips)
{
  StoreProgramChange();
  const auto chunk = Plugin().GetChunk(true);
  ASSERT_EQ(chunk.size(), kExtendedProgram);
  Fresh();
  Plugin().SelectProgram(5);
  EXPECT_THAT(Loads(chunk, true), IsEmpty());
  EXPECT_EQ(Plugin().GetChunk(true), chunk);
  EXPECT_THAT(Resend(), ElementsAre("C1 07 00", "B0 07 64"));
}

TEST_F(ExtensionChunks, AReaderOfTheRecordsAloneNeverSendsTheProgramChange)
{
  StoreProgramChange();
  auto chunk = Plugin().GetChunk(false);
  ASSERT_EQ(chunk.size(), kExtendedBank);
  // What a build that knows only the records takes: the first 35,328 bytes,
  // read by the records' own rules.
  const auto& record = *reinterpret_cast<const VSTPluginProgram*>(chunk.data());
  EXPECT_EQ(record.strips[0].channelA, 0);
  ProgramExtension none{};
  strips::MessageBytes bytes;
  EXPECT_EQ(strips::Bytes(strips::Read(record, none, 0, 0), bytes), 0);
  ASSERT_EQ(strips::Bytes(strips::Read(record, none, 0, 1), bytes), 3);
  EXPECT_EQ(bytes.data[0], 0xB0);

  // And this build, given only the records, sends the controller alone.
  Fresh();
  chunk.resize(kBank);
  EXPECT_THAT(Loads(chunk, false), IsEmpty());
  EXPECT_THAT(Resend(), ElementsAre("B0 07 64"));
  EXPECT_EQ(Get(param::kKindA), 0.0f);
}

TEST_F(ExtensionChunks, AnOldChunkResetsTheKindsAndTheSettings)
{
  const auto old = Plugin().GetChunk(false);
  StoreProgramChange();
  Set(param::kSpacing, 0.5f);
  EXPECT_THAT(Loads(old, false), IsEmpty());
  EXPECT_EQ(Get(param::kKindA), 0.0f);
  EXPECT_EQ(Get(param::kSpacing), 0.0f);
  EXPECT_EQ(Plugin().GetChunk(false), old);
}

TEST_F(ExtensionChunks, ANewerExtensionLoadsWhatItKnowsAndSaysSo)
{
  StoreProgramChange();
  auto chunk = Plugin().GetChunk(false);
  chunk[kBank + 4] = 2; // version 2
  chunk.resize(kExtendedBank + 100, 0xAB);
  Fresh();
  EXPECT_THAT(Loads(chunk, false), HasSubstr("Failed to load bank\n(Reason: Saved with newer"));
  EXPECT_EQ(Get(param::kKindA), 1.0f);
  EXPECT_THAT(Resend(), ElementsAre("C1 07 00", "B0 07 64"));
}

TEST_F(ExtensionChunks, AWrongMagicIsANewerChunkWithoutExtension)
{
  StoreProgramChange();
  auto chunk = Plugin().GetChunk(false);
  chunk[kBank] = 'Z';
  Fresh();
  EXPECT_THAT(Loads(chunk, false), HasSubstr("Failed to load bank\n"));
  EXPECT_EQ(Get(param::kKindA), 0.0f);
  EXPECT_THAT(Resend(), ElementsAre("B0 07 64"));
}

TEST_F(ExtensionChunks, OddSizesAroundTheExtendedSize)
{
  StoreProgramChange();
  const auto full = Plugin().GetChunk(false);
  for (size_t size : {kBank + 1, kBank + 23, kBank + 24, kExtendedBank - 1, kExtendedBank + 1}) {
    auto chunk = full;
    chunk.resize(size, 0);
    Fresh();
    EXPECT_THAT(Loads(chunk, false), HasSubstr("Failed to load bank\n")) << size;
    // Only a complete extension of ours gives the kinds.
    EXPECT_EQ(Get(param::kKindA), size > kExtendedBank ? 1.0f : 0.0f) << size;
    EXPECT_EQ(Resend().size(), size > kExtendedBank ? 2u : 1u) << size;
  }
  for (size_t size : {kProgram + 1, kExtendedProgram - 1, kExtendedProgram + 1}) {
    auto chunk = full;
    chunk.resize(kProgram);
    chunk.resize(size, 0);
    EXPECT_THAT(Loads(chunk, true), HasSubstr("Failed to load program\n")) << size;
    EXPECT_EQ(Get(param::kKindA), 0.0f) << size;
  }
}

} // namespace
