// Learning the synth's settings from its own messages (Control Changes,
// Program Changes, pressure, pitch bend): through the host layer, and against edits of the strip
// list made at the same time on another thread, as the editor makes them.
#include "engine/VSTPlugin.h"
#include "model/Parameters.h"
#include "model/StripMessages.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/PluginFixture.h"
#include "tests/testsupport/RecordStress.h"
#include "tests/testsupport/WaitFor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <thread>
#include <tuple>

using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::WaitFor;

namespace {

class Learning : public testsupport::PluginTest
{
protected:
  void SetUp() override
  {
    PluginTest::SetUp();
    StartQuiet();
    Set(param::kLearn, 1.0f);
  }
  float Get(int32_t index) { return Plugin().GetParameter(index); }
  void In(uint8_t status, uint8_t data1, uint8_t data2 = 0)
  {
    Plugin().QueueMidi(status, data1, data2);
    Plugin().RunBlock();
  }
  // Waits until the learning thread has written the stored byte of `index`.
  bool Stored(int32_t index, int byte)
  {
    const float k = static_cast<float>(param::EncodingOf(index).scale);
    return WaitFor([&] { return Get(index) * k == static_cast<float>(byte); }, 2000);
  }
  std::vector<std::string> Resend()
  {
    Set(param::kResend, 1.0f);
    Set(param::kResend, 0.0f);
    Plugin().RunBlock();
    return Midi();
  }
};

TEST_F(Learning, ControllersFillAThenBThenANewStrip)
{
  In(0xB0, 7, 100);
  ASSERT_TRUE(Stored(param::kValueA, 101));
  In(0xB0, 10, 64);
  ASSERT_TRUE(Stored(param::kValueB, 65));
  In(0xC3, 12);
  ASSERT_TRUE(Stored(param::kKindA + 1, 1));
  EXPECT_TRUE(Stored(param::kChannelA + 1, 4));
  EXPECT_TRUE(Stored(param::kNumberA + 1, 13));
  EXPECT_THAT(Resend(), ElementsAre("B0 07 64", "B0 0A 40", "C3 0C 00"));
}

// Through the learning thread: an NRPN's controllers (each in a block of
// its own) become one message, sent as they came; a select that nothing
// follows is learned as the controller it is after a short pause.
TEST_F(Learning, AnNrpnIsLearnedAsOneMessageAndSentAsItCame)
{
  In(0xB0, 99, 8);
  In(0xB0, 98, 0);
  In(0xB0, 6, 63);
  In(0xB0, 38, 127);
  ASSERT_TRUE(WaitFor([&] { return Get(param::kKindA) == 0.125f; }, 2000)) << "an NRPN";
  auto wide = [&](int32_t index) { return std::lround(Get(index) * 16383.0f); };
  EXPECT_TRUE(WaitFor([&] { return wide(param::kWideValueA) == 8191; }, 2000));
  EXPECT_EQ(wide(param::kWideNumberA), 1024);
  EXPECT_THAT(Resend(), ElementsAre("B0 63 08", "B0 62 00", "B0 06 3F", "B0 26 7F"));

  In(0xB1, 101, 0);
  ASSERT_TRUE(Stored(param::kChannelB, 2)) << "held, then learned as CC 101";
  EXPECT_TRUE(Stored(param::kNumberB, 102));
}

TEST_F(Learning, TheSameControllerOnlyTakesTheNewValue)
{
  In(0xB2, 74, 10);
  ASSERT_TRUE(Stored(param::kValueA, 11));
  In(0xB2, 74, 99);
  ASSERT_TRUE(Stored(param::kValueA, 100));
  In(0xB2, 74, 0);
  ASSERT_TRUE(Stored(param::kValueA, 1));
  EXPECT_EQ(Get(param::kChannelB), 0.0f) << "no second slot for the same controller";
  EXPECT_THAT(Resend(), ElementsAre("B2 4A 00"));
}

TEST_F(Learning, NotesAreNotLearnedAndThruIsUnchanged)
{
  Set(param::kThru, 0.0f);
  In(0x90, 60, 100);
  In(0xB0, 1, 5);
  ASSERT_TRUE(Stored(param::kValueA, 6));
  EXPECT_THAT(Midi(), IsEmpty()) << "thru off passes nothing, learning or not";
  Set(param::kThru, 1.0f);
  Plugin().RunBlocks(2);
  Midi();
  In(0xB0, 1, 9);
  EXPECT_THAT(Midi(), ElementsAre("B0 01 09"));
  ASSERT_TRUE(Stored(param::kValueA, 10));
  EXPECT_EQ(Get(param::kChannelB), 0.0f);
}

TEST_F(Learning, StopsAtSixteenStripsAndSaysSo)
{
  for (int number = 0; number < 33; ++number)
    Plugin().QueueMidi(0xB0, static_cast<uint8_t>(number), 1);
  Plugin().RunBlock();
  ASSERT_TRUE(WaitFor([&] { return Get(param::kLearnNotice) == 1.0f; }, 2000));
  Midi();
  EXPECT_EQ(Resend().size(), 32u);
  // Known controllers still update while full.
  In(0xB0, 3, 50);
  ASSERT_TRUE(WaitFor(
      [&] {
        Set(param::kResend, 1.0f);
        Set(param::kResend, 0.0f);
        Plugin().RunBlock();
        const auto midi = Midi();
        return midi.size() == 32 && midi[3] == "B0 03 32";
      },
      2000));
  Set(param::kLearn, 0.0f);
  EXPECT_EQ(Get(param::kLearnNotice), 0.0f);
  EXPECT_EQ(Get(param::kLearn), 0.0f);
}

// Every kind learned from one event, through the plug-in's input: learned
// into the next slots as it came, and a second event of the same message
// only takes the new value.
TEST_F(Learning, TheOtherKindsOfOneEventAreLearnedAndSentAsTheyCame)
{
  struct Row
  {
    uint8_t status, data1, data2;
  };
  const Row rows[] = {
      {0xD1, 0x40, 0}, {0xD1, 0x41, 0}, {0xA0, 60, 100}, {0xE2, 0x00, 0x40}, {0xE2, 0x7F, 0x7F},
  };
  const std::vector<std::string> sent = {"D1 41 00", "A0 3C 64", "E2 7F 7F"};
  for (const Row& row : rows)
    In(row.status, row.data1, row.data2);
  ASSERT_TRUE(WaitFor([&] { return Resend() == sent; }, 2000)) << "in order, each once";
}

TEST_F(Learning, OffLearnsNothing)
{
  Set(param::kLearn, 0.0f);
  In(0xB0, 7, 100);
  In(0xC0, 7);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Get(param::kChannelA), 0.0f);
  EXPECT_EQ(Get(param::kKindA), 0.0f);
}

TEST_F(Learning, ASelectingProgramChangeIsNotLearned)
{
  Set(param::kPresetSwitching, 1.0f);
  In(0xC0, 3);
  EXPECT_EQ(Plugin().CurrentProgram(), 3);
  In(0xB0, 7, 1);
  ASSERT_TRUE(Stored(param::kValueA, 2));
  EXPECT_EQ(Get(param::kKindB), 0.0f);
  EXPECT_EQ(Get(param::kChannelB), 0.0f);
}

TEST_F(Learning, LearnedBankRoundTripsThroughAChunk)
{
  In(0xB0, 0, 1);
  In(0xB0, 32, 2);
  In(0xC0, 40);
  ASSERT_TRUE(Stored(param::kKindA + 1, 1));
  const auto chunk = Plugin().GetChunk(false);
  EXPECT_EQ(chunk.size(), 43544u);
  EXPECT_EQ(Get(param::kLearn), 1.0f);

  Load();
  Start();
  Plugin().RunBlocks(2);
  Midi();
  ASSERT_EQ(Plugin().SetChunk(chunk, false), 1);
  Plugin().SelectProgram(0);
  EXPECT_EQ(Plugin().GetChunk(false), chunk);
  EXPECT_EQ(Get(param::kLearn), 0.0f) << "learning is not part of the state";
  EXPECT_THAT(Resend(), ElementsAre("B0 00 01", "B0 20 02", "C0 28 00"));
}

TEST_F(Learning, AMessageChangedByHandIsNoLongerMoved)
{
  In(0xB0, 74, 16);
  ASSERT_TRUE(Stored(param::kValueA, 17));
  Set(param::kNumberA, 8 / 128.0f); // the user makes the learned cutoff a volume
  In(0xB0, 71, 20);
  In(0xC0, 9);
  std::vector<std::string> sent;
  EXPECT_TRUE(WaitFor(
      [&] {
        return (sent = Resend()) == std::vector<std::string>{"B0 07 10", "C0 09 00", "B0 47 14"};
      },
      2000))
      << testing::PrintToString(sent)
      << ": the Program Change goes ahead of the learned CC 71 only";
}

// ----------------------------------------- what users really send

// A learning session as a synth's owner produces it, and what a restore of
// the learned program sends (here and after a chunk round trip into a fresh
// plug-in): the Bank Select and Program Change of a channel first, then its
// controllers, whatever order the user did things in; messages entered by
// hand keep their places.
struct Session
{
  friend void PrintTo(const Session& session, std::ostream* out) { *out << session.name; }
  const char* name;
  // Strip 0 entered by hand before learning: message A, message B (texts of
  // Hand(), or nullptr for none).
  const char* handA;
  const char* handB;
  std::vector<std::vector<uint8_t>> input;
  std::vector<std::string> restored;
};

std::vector<uint8_t> Sweep(uint8_t status, uint8_t controller, int value)
{
  return {status, controller, static_cast<uint8_t>(value)};
}

std::vector<Session> Sessions()
{
  std::vector<Session> sessions = {
      {"PatchBrowsingKeepsTheLastProgramChange",
       nullptr,
       nullptr,
       {{0xC0, 5}, {0xC0, 7}, {0xC0, 9}},
       {"C0 09 00"}},
      {"KnobsBeforeAndAfterThePatchChoice",
       nullptr,
       nullptr,
       {{0xB0, 74, 16}, {0xB0, 71, 34}, {0xC0, 5}, {0xB0, 74, 124}, {0xC0, 9}, {0xB0, 71, 48}},
       {"C0 09 00", "B0 4A 7C", "B0 47 30"}},
      {"BrowsingThenKnobsThenABankSelect",
       nullptr,
       nullptr,
       {{0xC0, 5},
        {0xB0, 74, 16},
        {0xC0, 9},
        {0xB0, 71, 34},
        {0xB0, 0, 1},
        {0xB0, 32, 3},
        {0xC0, 9}},
       {"B0 00 01", "B0 20 03", "C0 09 00", "B0 4A 10", "B0 47 22"}},
      {"KnobsThenBankSelectAndProgramChange",
       nullptr,
       nullptr,
       {{0xB0, 74, 124}, {0xB0, 71, 34}, {0xB0, 0, 1}, {0xB0, 32, 3}, {0xC0, 9}},
       {"B0 00 01", "B0 20 03", "C0 09 00", "B0 4A 7C", "B0 47 22"}},
      {"BankSelectWithoutAProgramChangeIsStoredAsItIs",
       nullptr,
       nullptr,
       {{0xB0, 74, 16}, {0xB0, 32, 3}, {0xB0, 0, 1}, {0xB0, 0, 2}},
       {"B0 00 02", "B0 20 03", "B0 4A 10"}},
      {"TwoChannelsInterleaved",
       nullptr,
       nullptr,
       {{0xB1, 74, 16}, {0xB0, 74, 32}, {0xC1, 5}, {0xC0, 3}, {0xB1, 71, 48}, {0xB0, 0, 2}},
       {"C1 05 00", "B1 4A 10", "B0 00 02", "C0 03 00", "B0 4A 20", "B1 47 30"}},
      {"IntoAProgramEnteredByHand",
       "cc/2/7/100",
       "pc/1/3",
       {{0xB0, 74, 16}, {0xC0, 9}, {0xB0, 0, 1}},
       {"B1 07 64", "C0 09 00", "B0 00 01", "B0 4A 10"}},
  };
  Session sweep{"AControllerSweepOf128Values", nullptr, nullptr, {}, {"C0 02 00", "B0 4A 7F"}};
  for (int value = 0; value < 128; ++value)
    sweep.input.push_back(Sweep(0xB0, 74, value));
  sweep.input.push_back({0xC0, 2});
  sessions.push_back(sweep);

  // 31 controllers, then a Program Change in the last slot goes first; then
  // a new controller finds no room and a known one still updates.
  Session full{"UntilTheStripsAreFull", nullptr, nullptr, {}, {"C0 09 00"}};
  for (int number = 1; number <= 31; ++number) {
    full.input.push_back(Sweep(0xB0, static_cast<uint8_t>(number), number));
    full.restored.push_back(
        qhost::FormatMidi(std::vector<uint8_t>{0xB0, static_cast<uint8_t>(number),
                                               static_cast<uint8_t>(number == 5 ? 127 : number)}
                              .data(),
                          3));
  }
  full.input.push_back({0xC0, 9});
  full.input.push_back({0xB0, 40, 1});
  full.input.push_back({0xB0, 5, 127});
  sessions.push_back(full);
  return sessions;
}

class LearningSessions : public Learning, public testing::WithParamInterface<Session>
{
protected:
  // A hand-entered message of strip 0, as the dials store it.
  void Hand(int message, const char* text)
  {
    int channel = 0;
    int number = 0;
    int value = 0;
    if (std::sscanf(text, "pc/%d/%d", &channel, &number) == 2) {
      Set(param::KindIndex(message, 0), 1.0f);
      value = -1;
    } else {
      ASSERT_EQ(std::sscanf(text, "cc/%d/%d/%d", &channel, &number, &value), 3);
    }
    Set(param::StripIndex(strips::kChannelField * 2 + message, 0), channel / 16.0f);
    Set(param::StripIndex(strips::kNumberField * 2 + message, 0), (number + 1) / 128.0f);
    Set(param::StripIndex(strips::kValueField * 2 + message, 0), (value + 1) / 128.0f);
  }
};

TEST_P(LearningSessions, RestoreSendsBankAndProgramFirstThenTheControllers)
{
  const Session& session = GetParam();
  if (session.handA)
    Hand(0, session.handA);
  if (session.handB)
    Hand(1, session.handB);
  for (const std::vector<uint8_t>& bytes : session.input)
    In(bytes[0], bytes[1], bytes.size() > 2 ? bytes[2] : 0);
  std::vector<std::string> sent;
  EXPECT_TRUE(WaitFor([&] { return (sent = Resend()) == session.restored; }, 2000))
      << testing::PrintToString(sent);

  // Read field by field: the learning thread wrote the live records.
  const std::vector<uint8_t> chunk = testsupport::CopyLiveChunk(Effect(), false);
  Load();
  StartQuiet();
  ASSERT_EQ(Plugin().SetChunk(chunk, false), 1);
  Plugin().SelectProgram(0);
  EXPECT_EQ(Resend(), session.restored) << "after a chunk round trip";
}

INSTANTIATE_TEST_SUITE_P(Users, LearningSessions, testing::ValuesIn(Sessions()),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------ against editor edits

// The plug-in built directly, its audio thread fed controllers while
// another thread adds and removes strips and turns dials under the strip
// lock, as the panel does.
TEST(LearningConcurrency, SurvivesEditorEditsOfTheStripList)
{
  testsupport::DirectHost::Reset();
  int status = 0;
  auto plugin = std::make_unique<VSTPlugin>(testsupport::DirectHost::Callback, status);
  plugin->resume();
  plugin->setParameter(param::kLearn, 1.0f);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    VstMidiEvent events[4] = {};
    VstEvent* pointers[4];
    for (int i = 0; i < 4; ++i) {
      events[i].type = kVstMidiType;
      events[i].byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
      pointers[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }
    VstEventBlock<4> block{};
    for (int i = 0; i < 4; ++i)
      block.events[i] = pointers[i];
    for (uint32_t round = 0; !stop; ++round) {
      for (int i = 0; i < 4; ++i) {
        const uint32_t n = round * 4 + static_cast<uint32_t>(i);
        events[i].midiData[0] = static_cast<uint8_t>(n % 7 == 0 ? 0xC1 : 0xB0 + n % 3);
        events[i].midiData[1] = static_cast<uint8_t>(n % 40);
        events[i].midiData[2] = static_cast<uint8_t>(n % 128);
      }
      block.numEvents = 4;
      plugin->processEvents(block.AsEvents());
      testsupport::RunDirectBlock(*plugin);
    }
  });
  std::thread editor([&] {
    for (int round = 0; round < 3000; ++round) {
      std::lock_guard<std::recursive_mutex> hold(plugin->StripLock());
      VSTPluginProgram& program = plugin->CurrentProgram();
      ProgramExtension& extension = plugin->CurrentExtension();
      if (round % 3 == 0) {
        strips::AddStrip(program, extension);
      } else if (round % 3 == 1) {
        strips::RemoveStrip(program, extension, 1 + round % 15);
      } else {
        plugin->setParameter(param::kValueA + round % 16, (round % 128) / 128.0f);
        plugin->setParameter(param::kValueB + round % 16, (round % 100) / 128.0f);
      }
    }
    stop = true;
  });
  editor.join();
  audio.join();

  // Whatever interleaving: no strip torn (a Program Change has channel 0 in
  // its record), and no message learned twice.
  std::lock_guard<std::recursive_mutex> hold(plugin->StripLock());
  VSTPluginProgram& program = plugin->CurrentProgram();
  ProgramExtension& extension = plugin->CurrentExtension();
  int32_t columns[kStripsPerProgram];
  const int32_t count = program.StripsInDisplayOrder(columns);
  std::set<std::tuple<int, int, int>> seen;
  for (int32_t c = 0; c < count; ++c) {
    for (int message = 0; message < 2; ++message) {
      const strips::Message m = strips::Read(program, extension, columns[c], message);
      if (m.kind == kKindProgramChange) {
        EXPECT_EQ(strips::RecordByte(program.strips[columns[c]], strips::kChannelField, message),
                  0);
      }
      if (m.channel == 0 || (m.kind == kKindByFormat && m.format != 0))
        continue;
      EXPECT_TRUE(seen.insert({m.kind, m.channel, m.number}).second)
          << "strip " << columns[c] << " message " << message;
    }
  }
}

} // namespace
