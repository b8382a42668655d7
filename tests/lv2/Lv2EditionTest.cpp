// The LV2 edition sends what the VST 2 build sends: for the same bank and the
// same input, the same bytes at the same frames, each message of its own
// size (a Program Change in two bytes).
#include "lv2/Lv2Programs.h"
#include "model/Parameters.h"
#include "tests/lv2/EditionPair.h"

#include <lv2/atom/atom.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>

namespace lv2test {
namespace {

using Bytes = std::vector<uint8_t>;

// The bank of the report: program 0 sends Bank Select 2, Program Change 5
// and volume 100, 20 ms apart, with send on init after `initDelay` seconds.
std::vector<uint8_t> SynthBank(int initDelay)
{
  return MakeBank({{0, 0, Cc(1, 0, 2), Pc(1, 5)}, {0, 1, Cc(1, 7, 100), {}}},
                  {{param::kSendOnInit, 1.0f},
                   {param::kInitDelay, static_cast<float>(initDelay) / 999.0f},
                   {param::kSpacing, 20.0f / 250.0f}});
}

class Lv2Edition : public EditionPair
{
};

TEST_F(Lv2Edition, RestoredBankSendsBankSelectProgramChangeAndControllerPaced)
{
  LoadBank(SynthBank(0));
  Blocks(6);
  const std::vector<Wire> expected = {
      {0, {0xB0, 0x00, 0x02}}, {882, {0xC0, 0x05}}, {1764, {0xB0, 0x07, 0x64}}};
  EXPECT_EQ(Format(TakeLv2()), Format(expected));
  EXPECT_EQ(Format(TakeVst()), Format(expected));
}

TEST_F(Lv2Edition, InitSendCountsItsDelayFromTheRestore)
{
  LoadBank(SynthBank(1));
  const auto restored = std::chrono::steady_clock::now();
  std::vector<Wire> vstOut;
  std::vector<Wire> lv2Out;
  double vstSeconds = 0;
  double lv2Seconds = 0;
  // Real blocks until both sent (bounded), then the paced rest.
  while ((vstOut.empty() || lv2Out.empty()) &&
         std::chrono::steady_clock::now() - restored < std::chrono::seconds(4)) {
    Block();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - restored).count();
    for (const Wire& wire : TakeVst()) {
      vstSeconds = vstOut.empty() ? seconds : vstSeconds;
      vstOut.push_back(wire);
    }
    for (const Wire& wire : TakeLv2()) {
      lv2Seconds = lv2Out.empty() ? seconds : lv2Seconds;
      lv2Out.push_back(wire);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Blocks(6);
  for (const Wire& wire : TakeVst())
    vstOut.push_back(wire);
  for (const Wire& wire : TakeLv2())
    lv2Out.push_back(wire);
  EXPECT_GT(lv2Seconds, 0.9);
  EXPECT_LT(lv2Seconds, 2.5);
  EXPECT_GT(vstSeconds, 0.9);
  EXPECT_EQ(Format(FromFirst(lv2Out)), Format(FromFirst(vstOut)));
  EXPECT_EQ(lv2Out.size(), 3u);
}

// Each case: a bank, what happens before the measured blocks, and the
// blocks' input; both editions must agree, and on what is expected.
struct Case
{
  const char* name;
  std::vector<uint8_t> (*bank)();
  // Applied to both editions between the bank and the first block.
  void (*before)(EditionPair& pair, qhost::PluginInstance& vst, Lv2TestHost& lv2);
  std::vector<std::vector<std::pair<Bytes, int32_t>>> blocks;
  std::vector<Wire> expected;
};

std::vector<uint8_t> SwitchingBank()
{
  // Program 1 sends volume 80 on a change; preset switching and send on
  // change (no delay) are on, thru is on.
  return MakeBank(
      {{1, 0, Cc(1, 7, 80), {}}},
      {{param::kPresetSwitching, 1.0f}, {param::kSendOnChange, 1.0f}, {param::kThru, 1.0f}});
}

std::vector<uint8_t> ThruBank()
{
  return MakeBank({}, {{param::kThru, 1.0f}});
}

class Lv2EditionCases : public EditionPair, public ::testing::WithParamInterface<Case>
{
};

TEST_P(Lv2EditionCases, SendsWhatTheVst2BuildSends)
{
  const Case& c = GetParam();
  LoadBank(c.bank());
  Blocks(2);
  TakeVst();
  TakeLv2();
  const int64_t start = lv2->FramesRun();
  if (c.before)
    c.before(*this, *vst, *lv2);
  for (const auto& block : c.blocks)
    Block(block);
  Blocks(2);
  std::vector<Wire> expected = c.expected;
  for (Wire& wire : expected)
    wire.frame += start;
  const std::vector<Wire> fromLv2 = TakeLv2();
  EXPECT_EQ(Format(fromLv2), Format(TakeVst()));
  EXPECT_EQ(Format(fromLv2), Format(expected));
}

INSTANTIATE_TEST_SUITE_P(
    , Lv2EditionCases,
    ::testing::Values(
        Case{"ProgramChangeInSelectsWithPresetSwitching",
             SwitchingBank,
             nullptr,
             {{{{0xC1, 0x01}, 100}}},
             // The change's send goes out in the block of the selection.
             {{0, {0xB0, 0x07, 0x50}}}},
        Case{"ThruPassesEachMessageAtItsFrame",
             ThruBank,
             nullptr,
             {{{{0x90, 0x3C, 0x64}, 10}, {{0xD2, 0x40}, 20}, {{0xE0, 0x00, 0x40}, 511}}},
             {{10, {0x90, 0x3C, 0x64}}, {20, {0xD2, 0x40}}, {511, {0xE0, 0x00, 0x40}}}},
        Case{"ProgramPortSelectsAsAHostsProgramChange",
             SwitchingBank,
             [](EditionPair&, qhost::PluginInstance& vst, Lv2TestHost& lv2) {
               lv2.SetControl(4, 1.0f);
               lv2.Run(512);
               vst.RunBlock(512);
               vst.SelectProgram(1);
             },
             {},
             {{512, {0xB0, 0x07, 0x50}}}},
        Case{"TransportStartSendsOnPlay",
             [] {
               return MakeBank({{0, 0, Cc(2, 74, 30), {}}}, {{param::kSendOnPlay, 1.0f}});
             },
             [](EditionPair&, qhost::PluginInstance& vst, Lv2TestHost& lv2) {
               vst.SetPlaying(true);
               lv2.QueuePosition(1.0f, 0);
             },
             {},
             {{0, {0xB1, 0x4A, 0x1E}}}},
        // A resend's message goes before the notes passed through at later
        // frames of the same block.
        Case{"PassedThroughAndGeneratedGoOutInFrameOrder",
             [] {
               return MakeBank({{0, 0, Cc(1, 7, 80), {}}}, {{param::kThru, 1.0f}});
             },
             [](EditionPair&, qhost::PluginInstance& vst, Lv2TestHost& lv2) {
               vst.SetParameter(param::kResend, 1.0f);
               lv2.SetControl(2, 1.0f);
             },
             {{{{0x90, 0x3C, 0x64}, 50}, {{0xB0, 0x01, 0x10}, 100}, {{0x80, 0x3C, 0x00}, 300}}},
             {{0, {0xB0, 0x07, 0x50}},
              {50, {0x90, 0x3C, 0x64}},
              {100, {0xB0, 0x01, 0x10}},
              {300, {0x80, 0x3C, 0x00}}}},
        // Send on play and on change with preset switching: the play's send
        // is of the program that was current, then the selection's.
        Case{"TransportStartThenSelectionInOneBlock",
             [] {
               return MakeBank({{0, 0, Cc(2, 74, 30), {}}, {1, 0, Cc(1, 7, 80), {}}},
                               {{param::kSendOnPlay, 1.0f},
                                {param::kPresetSwitching, 1.0f},
                                {param::kSendOnChange, 1.0f}});
             },
             [](EditionPair&, qhost::PluginInstance& vst, Lv2TestHost& lv2) {
               vst.SetPlaying(true);
               lv2.QueuePosition(1.0f, 0);
             },
             {{{{0xC1, 0x01}, 0}}},
             {{0, {0xB1, 0x4A, 0x1E}}, {0, {0xB0, 0x07, 0x50}}}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// What an input atom holds that is no MIDI message of its status byte's
// length is left out; the messages around it pass at their own frames, as
// in the VST 2 build.
TEST_F(Lv2Edition, InputThatIsNoMessageOfItsLengthIsLeftOut)
{
  LoadBank(ThruBank());
  Blocks(2);
  TakeVst();
  TakeLv2();
  const int64_t start = lv2->FramesRun();
  const std::vector<std::pair<Bytes, int64_t>> broken = {
      {{0x90, 0x3C}, 1},             // a byte short
      {{0xB0, 0x07, 0x64, 0x00}, 2}, // a byte long
      {{0x90, 0x3C, 0x80}, 3},       // a status byte where a data byte goes
      {{0x3C, 0x40}, 4},             // a data byte first
      {{}, 5},                       // nothing
  };
  for (const auto& [bytes, frame] : broken)
    lv2->QueueMidi(bytes, frame);
  Block({{{0xB0, 0x07, 0x64}, 0}, {{0xD2, 0x40}, 7}});
  const std::vector<Wire> fromLv2 = TakeLv2();
  EXPECT_EQ(Format(fromLv2), Format(TakeVst()));
  EXPECT_EQ(Format(fromLv2), Format({{start, {0xB0, 0x07, 0x64}}, {start + 7, {0xD2, 0x40}}}));
}

// A System Exclusive message takes an entry of the plug-in's event block;
// the short message that takes the same entry in the next run still gets
// there.
TEST_F(Lv2Edition, AShortMessageAfterASysExRunPasses)
{
  LoadBank(ThruBank());
  Blocks(2);
  TakeLv2();
  const int64_t start = lv2->FramesRun();
  lv2->QueueMidi({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, 0);
  lv2->Run(kFrames);
  lv2->QueueMidi({0x90, 0x3E, 0x64}, 0);
  lv2->Run(kFrames);
  EXPECT_EQ(Format(TakeLv2()), Format({{start + kFrames, {0x90, 0x3E, 0x64}}}));
}

// A sequence out of time order, with frames at the ends of the 64-bit range:
// every event outside its sub-block counts at the edge of the run, the
// earlier ones at the sub-block's start (here the second, after the cut at
// the host's block length), the later ones at the run's last frame. Under
// the sanitizers no frame reaches overflowing arithmetic (the SysEx message
// takes the long way; thru never passes SysEx).
TEST_F(Lv2Edition, EventsAtExtremeFramesCountAtTheEdgesOfTheRun)
{
  LoadBank(ThruBank());
  Blocks(2);
  TakeLv2();
  const int64_t start = lv2->FramesRun();
  lv2->SortQueued(false);
  const std::vector<std::pair<Bytes, int64_t>> events = {
      {{0xB0, 0x01, 0x01}, 600},       {{0xB0, 0x02, 0x02}, INT64_MIN},
      {{0xB0, 0x03, 0x03}, INT64_MAX}, {{0xB0, 0x04, 0x04}, -1},
      {{0xB0, 0x05, 0x05}, 1ll << 40}, {{0xF0, 0x01, 0xF7}, INT64_MIN + 1},
  };
  for (const auto& [bytes, frame] : events)
    lv2->QueueMidi(bytes, frame);
  lv2->Run(1024);
  const std::vector<Wire> expected = {{start + 512, {0xB0, 0x02, 0x02}},
                                      {start + 512, {0xB0, 0x04, 0x04}},
                                      {start + 600, {0xB0, 0x01, 0x01}},
                                      {start + 1023, {0xB0, 0x03, 0x03}},
                                      {start + 1023, {0xB0, 0x05, 0x05}}};
  EXPECT_EQ(Format(TakeLv2()), Format(expected));
}

TEST_F(Lv2Edition, ThruPortOffReleasesHeldNotesOverTwoBlocks)
{
  LoadBank(ThruBank());
  lv2->SetControl(3, 1.0f);
  Blocks(2);
  Block({{{0x90, 0x3C, 0x64}, 10}});
  TakeVst();
  TakeLv2();
  vst->SetParameter(param::kThru, 0.0f);
  lv2->SetControl(3, 0.0f);
  Blocks(3);
  const std::vector<Wire> fromLv2 = TakeLv2();
  EXPECT_EQ(Format(fromLv2), Format(TakeVst()));
  ASSERT_EQ(fromLv2.size(), 1u);
  EXPECT_EQ(fromLv2[0].bytes, (Bytes{0x80, 0x3C, 0x00}));
}

TEST_F(Lv2Edition, TransportStartMidBlockSendsAtItsFrame)
{
  LoadBank(MakeBank({{0, 0, Cc(2, 74, 30), {}}}, {{param::kSendOnPlay, 1.0f}}));
  Blocks(2);
  TakeLv2();
  const int64_t start = lv2->FramesRun();
  lv2->QueuePosition(1.0f, 300);
  lv2->Run(512);
  const std::vector<Wire> expected = {{start + 300, {0xB1, 0x4A, 0x1E}}};
  EXPECT_EQ(Format(TakeLv2()), Format(expected));
}

TEST_F(Lv2Edition, ProgramPortTakesOnlyItsMovesAndClampsOddValues)
{
  LoadBank(SwitchingBank());
  // The port stood at 0 before the state; moving it to where the plug-in
  // is selects nothing, out-of-range values are clamped, NaN is ignored.
  struct Move
  {
    float value;
    int32_t program;
  };
  const Move moves[] = {{0.0f, 0}, {300.0f, 127}, {NAN, 127}, {-4.0f, 0}, {1.4f, 1}, {1.0f, 1}};
  for (const Move& move : moves) {
    lv2->SetControl(4, move.value);
    lv2->Run(512);
    SCOPED_TRACE(move.value);
    std::map<uint32_t, Property> state;
    ASSERT_EQ(lv2->Save(state), LV2_STATE_SUCCESS);
    int32_t program = -1;
    std::memcpy(&program, state[lv2->Map("urn:quillet:quillet:program")].value.data(), 4);
    EXPECT_EQ(program, move.program);
  }
  EXPECT_EQ(lv2->WorkerJobs(), 3);
}

TEST_F(Lv2Edition, LongRunsAreCutIntoBlocksOfTheHostsLength)
{
  // The host said 512 frames at most and runs 3000: the paced messages keep
  // their frames across the sub-blocks.
  LoadBank(SynthBank(0));
  lv2->Run(3000);
  const std::vector<Wire> expected = {
      {0, {0xB0, 0x00, 0x02}}, {882, {0xC0, 0x05}}, {1764, {0xB0, 0x07, 0x64}}};
  EXPECT_EQ(Format(TakeLv2()), Format(expected));
}

TEST_F(Lv2Edition, ProgramNamesAndSelectionThroughTheProgramsExtension)
{
  vst->SelectProgram(3);
  char name[] = "Bass patch";
  vst->Dispatch(effSetProgramName, 0, 0, name);
  LoadBank(vst->GetChunk(false), 3);
  const auto* programs = static_cast<const lv2programs::ProgramsInterface*>(
      lilv_instance_get_extension_data(lv2->Instance(), lv2programs::kInterfaceUri));
  ASSERT_NE(programs, nullptr);
  LV2_Handle handle = lilv_instance_get_handle(lv2->Instance());
  for (uint32_t index = 0; index < 128; ++index) {
    const lv2programs::ProgramDescriptor* program = programs->get_program(handle, index);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->bank, 0u);
    EXPECT_EQ(program->program, index);
    EXPECT_EQ(std::string(program->name), vst->ProgramNameIndexed(static_cast<int32_t>(index)));
  }
  EXPECT_STREQ(programs->get_program(handle, 3)->name, "Bass patch");
  EXPECT_EQ(programs->get_program(handle, 128), nullptr);

  programs->select_program(handle, 1, 7); // no such bank
  programs->select_program(handle, 0, 7);
  lv2->Run(512);
  std::map<uint32_t, Property> state;
  ASSERT_EQ(lv2->Save(state), LV2_STATE_SUCCESS);
  int32_t program = -1;
  std::memcpy(&program, state[lv2->Map("urn:quillet:quillet:program")].value.data(), 4);
  EXPECT_EQ(program, 7);
}

} // namespace
} // namespace lv2test
