// Saving and restoring the state as chunks, as hosts do it.
#include "model/Parameters.h"
#include "engine/VSTPlugin.h"
#include "model/VSTPluginProgram.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/PluginFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

constexpr size_t kBank = 35328;
constexpr size_t kProgram = 276;

VSTPluginProgram& Record(std::vector<uint8_t>& chunk, int program)
{
  return *reinterpret_cast<VSTPluginProgram*>(chunk.data() + kProgram * program);
}

} // namespace

class Chunks : public testsupport::PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    StartQuiet();
  }
  // A bank whose program p sends CC 7 = p on channel 1.
  std::vector<uint8_t> MarkedBank()
  {
    std::vector<uint8_t> bank = Plugin().GetChunk(false);
    EXPECT_EQ(bank.size(), kBank);
    for (int p = 0; p < 128; ++p) {
      VSTPluginStrip& strip = Record(bank, p).strips[0];
      strip.channelA = 1;
      strip.numberA = 8;
      strip.valueA = static_cast<uint8_t>(p + 1);
    }
    return bank;
  }
  std::vector<std::string> Block()
  {
    Plugin().RunBlock();
    return Midi();
  }
};

TEST_F(Chunks, BankRoundTripsIntoAFreshInstance)
{
  Set(param::kSendOnInit, 1.0f);
  Set(param::kInitDelay, 0.0f);
  Set(param::kPresetSwitching, 1.0f);
  Plugin().SelectProgram(4);
  char name[] = "Lead synth";
  Plugin().Dispatch(effSetProgramName, 0, 0, name);
  Set(param::kChannelA + 2, 0.25f);
  auto chunk = Plugin().GetChunk(false);
  ASSERT_EQ(chunk.size(), kBank);
  EXPECT_EQ(chunk, Plugin().GetChunk(false)) << "saving twice gives identical chunks";

  Load();
  Start();
  ASSERT_EQ(Plugin().SetChunk(chunk, false), 1);
  EXPECT_EQ(Plugin().GetChunk(false), chunk);
  EXPECT_EQ(Plugin().ProgramNameIndexed(4), "Lead synth");
  Plugin().SelectProgram(4);
  EXPECT_EQ(Plugin().GetParameter(param::kChannelA + 2), 0.25f);
  EXPECT_EQ(Plugin().GetParameter(param::kPresetSwitching), 1.0f);
}

TEST_F(Chunks, FirstSelectionAfterABankLoadPerformsTheInitSend)
{
  auto bank = MarkedBank();
  for (int p = 0; p < 128; ++p) {
    Record(bank, p).sendOnInit = 1;
    Record(bank, p).initDelay = 0;
    Record(bank, p).sendOnChange = 1;
    Record(bank, p).changeDelay = 0;
  }
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  EXPECT_THAT(Block(), IsEmpty());
  Plugin().SelectProgram(3);
  EXPECT_THAT(Block(), ElementsAre("B0 07 03"));
  Plugin().SelectProgram(8);
  EXPECT_THAT(Block(), ElementsAre("B0 07 08")) << "then every selection is a change";
}

TEST_F(Chunks, HostThatRestoresTheProgramBeforeTheChunkStillGetsTheInitSend)
{
  // The order one widespread host uses to open a project: parameters,
  // resume, the saved program, the bank, resume again, then processing.
  auto bank = MarkedBank();
  for (int p = 0; p < 128; ++p) {
    Record(bank, p).sendOnInit = 1;
    Record(bank, p).initDelay = 0;
  }
  Load();
  Plugin().Dispatch(effOpen);
  Plugin().SetParameter(param::kThru, 0.0f);
  Plugin().Resume();
  Plugin().SelectProgram(6);
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  Plugin().Resume();
  EXPECT_THAT(Block(), ElementsAre("B0 07 06"));
  Plugin().Suspend();
  Plugin().Resume();
  EXPECT_THAT(Block(), IsEmpty()) << "only once";
}

TEST_F(Chunks, HostThatSelectsAfterTheChunkGetsTheInitSendOnce)
{
  auto bank = MarkedBank();
  for (int p = 0; p < 128; ++p) {
    Record(bank, p).sendOnInit = 1;
    Record(bank, p).initDelay = 0;
  }
  Load();
  Plugin().Dispatch(effOpen);
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  Plugin().SelectProgram(6);
  Plugin().Resume();
  EXPECT_THAT(Block(), ElementsAre("B0 07 06"));
  Plugin().Resume();
  EXPECT_THAT(Block(), IsEmpty());
}

TEST_F(Chunks, ProgramChunkLoadsIntoTheCurrentProgramAndSendsAsAChange)
{
  Plugin().SelectProgram(2);
  auto program = Plugin().GetChunk(true);
  ASSERT_EQ(program.size(), kProgram);
  auto& record = *reinterpret_cast<VSTPluginProgram*>(program.data());
  record.strips[0] = VSTPluginStrip{1, 0, 0, 2, 0, 10, 0, 20, 0};
  record.sendOnChange = 1;
  record.changeDelay = 0;
  record.presetSwitching = 1;
  ASSERT_EQ(Plugin().SetChunk(program, true), 1);
  EXPECT_THAT(Block(), ElementsAre("B1 09 13")) << "sent by the load itself";
  Plugin().SelectProgram(2);
  EXPECT_THAT(Block(), IsEmpty()) << "the next host selection is the initial one";
  Plugin().SelectProgram(1);
  EXPECT_EQ(Plugin().GetParameter(param::kPresetSwitching), 0.0f)
      << "the other programs keep their copy of the options";
}

TEST_F(Chunks, OlderProgramChunkKeepsTheNewerOptions)
{
  Set(param::kSendOnInit, 1.0f);
  Set(param::kInitDelay, param::Decode(7, param::kDelay));
  auto program = Plugin().GetChunk(true);
  program.resize(264);
  auto* record = reinterpret_cast<VSTPluginProgram*>(program.data());
  std::strcpy(record->name, "old");
  ASSERT_EQ(Plugin().SetChunk(program, true), 1);
  EXPECT_EQ(Plugin().ProgramName(), "old");
  EXPECT_EQ(Plugin().GetParameter(param::kSendOnInit), 1.0f);
  EXPECT_FLOAT_EQ(Plugin().GetParameter(param::kInitDelay) * 999.0f, 7.0f);
}

TEST_F(Chunks, OlderBankTakesItsOptionsFromTheTrailer)
{
  std::vector<uint8_t> old(33808, 0);
  for (int p = 0; p < 128; ++p) {
    auto* record = old.data() + 264 * p;
    std::snprintf(reinterpret_cast<char*>(record), 48, "old %d", p);
    record[48] = 1; // strip 0 in use
  }
  old[33796] = 1;
  old[33797] = 0;
  old[33798] = 1;
  const int32_t changeDelay = 7;
  const int32_t initDelay = 3;
  std::memcpy(&old[33800], &changeDelay, 4);
  std::memcpy(&old[33804], &initDelay, 4);
  ASSERT_EQ(Plugin().SetChunk(old, false), 1);
  for (int32_t p : {0, 77, 127}) {
    Plugin().SelectProgram(p);
    EXPECT_EQ(Plugin().ProgramName(), "old " + std::to_string(p));
    EXPECT_EQ(Plugin().GetParameter(param::kPresetSwitching), 1.0f);
    EXPECT_EQ(Plugin().GetParameter(param::kSendOnChange), 0.0f);
    EXPECT_EQ(Plugin().GetParameter(param::kSendOnInit), 1.0f);
    EXPECT_FLOAT_EQ(Plugin().GetParameter(param::kChangeDelay) * 999.0f, 7.0f);
    EXPECT_FLOAT_EQ(Plugin().GetParameter(param::kInitDelay) * 999.0f, 3.0f);
  }
}

TEST_F(Chunks, NewerBankLoadsWhatFitsAndSaysSo)
{
  auto bank = MarkedBank();
  bank.resize(40000, 0xEE);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Plugin().SetChunk(bank, false), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("Failed to load bank\n(Reason: Saved with newer version\n"
                             "This version = 1.01\nSome settings will be lost !)"));
  Plugin().SelectProgram(9);
  Set(param::kResend, 1.0f);
  EXPECT_THAT(Block(), ElementsAre("B0 07 09"));

  auto program = Plugin().GetChunk(true);
  program.resize(300, 0x11);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Plugin().SetChunk(program, true), 1);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("Failed to load program\n"));
}

TEST_F(Chunks, ShortAndInBetweenChunksAreRefusedWithoutChange)
{
  const auto before = Plugin().GetChunk(false);
  for (size_t size : {size_t{100}, size_t{0}, size_t{33807}, size_t{34000}, size_t{35327}}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Plugin().SetChunk(std::vector<uint8_t>(size, 0x55), false), 0) << size;
    EXPECT_THAT(testing::internal::GetCapturedStderr(), IsEmpty());
  }
  for (size_t size : {size_t{100}, size_t{263}, size_t{270}, size_t{275}})
    EXPECT_EQ(Plugin().SetChunk(std::vector<uint8_t>(size, 0x55), true), 0) << size;
  EXPECT_EQ(Plugin().GetChunk(false), before);
}

TEST_F(Chunks, NullDataAndNegativeSizesAreRefused)
{
  const auto before = Plugin().GetChunk(false);
  std::vector<uint8_t> data(kBank, 0x33);
  EXPECT_EQ(Plugin().Dispatch(effSetChunk, 0, kBank, nullptr), 0);
  EXPECT_EQ(Plugin().Dispatch(effSetChunk, 0, -1, data.data()), 0);
  EXPECT_EQ(Plugin().Dispatch(effSetChunk, 1, -276, data.data()), 0);
  EXPECT_EQ(Plugin().Dispatch(effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(Plugin().GetChunk(false), before);
}

TEST_F(Chunks, LoadedRecordsAreTidied)
{
  auto bank = Plugin().GetChunk(false);
  for (int p = 0; p < 128; ++p) {
    std::memset(Record(bank, p).name, 'x', 48); // no terminator
    std::memset(Record(bank, p).alignment, 0xAB, 3);
  }
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  EXPECT_EQ(Plugin().ProgramNameIndexed(5), std::string(47, 'x'));
  auto saved = Plugin().GetChunk(false);
  EXPECT_EQ(Record(saved, 5).alignment[0], 0);
  EXPECT_EQ(Record(saved, 127).alignment[2], 0);
}

TEST_F(Chunks, BiduleHostSelectsTheLastProgramWithoutAChangeSend)
{
  qhost::HostConfig config;
  config.product = "Plogue Bidule 0.97";
  Load(config);
  Start();
  Plugin().RunBlocks(2);
  Set(param::kSendOnChange, 1.0f);
  auto bank = MarkedBank();
  for (int p = 0; p < 128; ++p)
    Record(bank, p).sendOnChange = 1;
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  EXPECT_EQ(Plugin().CurrentProgram(), 127);
  EXPECT_THAT(Block(), IsEmpty());

  Plugin().SelectProgram(3);
  Midi();
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  EXPECT_EQ(Plugin().CurrentProgram(), 3) << "only when program 0 is current";
}

// The host copies the chunk while the plug-in's threads go on (the audio
// thread's automation of thru among them): what it gets is a snapshot,
// which no later change rewrites until the next save but one.
TEST_F(Chunks, SavedChunkIsASnapshotThatLaterChangesLeaveAlone)
{
  struct Case
  {
    bool program;
    size_t thru; // offset of the current program's thru byte
  };
  for (const Case& c : {Case{false, 3 * kProgram + 261}, Case{true, 261}}) {
    SCOPED_TRACE(c.program ? "program" : "bank");
    Plugin().SelectProgram(3);
    Set(param::kThru, 0.0f);
    void* first = nullptr;
    const VstIntPtr size = Plugin().Dispatch(effGetChunk, c.program, 0, &first);
    ASSERT_EQ(static_cast<size_t>(size), c.program ? kProgram : kBank);
    const std::vector<uint8_t> before(static_cast<uint8_t*>(first),
                                      static_cast<uint8_t*>(first) + size);
    Set(param::kThru, 1.0f);
    void* second = nullptr;
    ASSERT_EQ(Plugin().Dispatch(effGetChunk, c.program, 0, &second), size);
    EXPECT_EQ(
        std::vector<uint8_t>(static_cast<uint8_t*>(first), static_cast<uint8_t*>(first) + size),
        before);
    EXPECT_EQ(before[c.thru], 0);
    EXPECT_EQ(static_cast<uint8_t*>(second)[c.thru], 1);
  }
}

TEST(ChunkHostProduct, LongProductStringIsCutTo47Characters)
{
  testsupport::DirectHost::Reset();
  testsupport::DirectHost::product = std::string(63, 'P');
  int status = 0;
  VSTPlugin plugin(testsupport::DirectHost::Callback, status);
  void* data = nullptr;
  const int32_t size = plugin.getChunk(&data, true);
  std::vector<uint8_t> chunk(static_cast<const uint8_t*>(data),
                             static_cast<const uint8_t*>(data) + size);
  ASSERT_EQ(plugin.setChunk(chunk.data(), size, true), 1);
  EXPECT_EQ(std::string(plugin.HostProduct()), std::string(47, 'P'));
}
