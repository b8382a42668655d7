// When the stored messages go out: at once or after a countdown, on the
// first selection after a load (init) and on every later one (change).
#include "model/Parameters.h"
#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/WaitFor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>

using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::DirectHost;
using Clock = std::chrono::steady_clock;

namespace {

struct Notice
{
  int32_t index;
  int32_t countdown;
  double seconds;
};

// The plug-in with its countdown notices recorded (they reach the editor
// through setParameter).
class RecordingPlugin : public VSTPlugin
{
public:
  RecordingPlugin(int& status) : VSTPlugin(DirectHost::Callback, status) {}
  ~RecordingPlugin() override { StopCountdownThread(); }

  void setParameter(int32_t index, float value) override
  {
    if (index >= param::kCountdownState && index <= param::kCountdownEnd) {
      std::lock_guard<std::mutex> hold(lock);
      notices.push_back({index, Countdown(), Seconds()});
    }
    VSTPlugin::setParameter(index, value);
  }

  std::vector<Notice> Notices()
  {
    std::lock_guard<std::mutex> hold(lock);
    return notices;
  }
  double Seconds() const
  {
    return std::chrono::duration<double>(Clock::now() - start).count();
  }
  void RestartClock() { start = Clock::now(); }

  using VSTPlugin::startTimer;

private:
  std::mutex lock;
  std::vector<Notice> notices;
  Clock::time_point start = Clock::now();
};

std::vector<int32_t> Indices(const std::vector<Notice>& notices)
{
  std::vector<int32_t> indices;
  for (const Notice& notice : notices)
    indices.push_back(notice.index);
  return indices;
}

} // namespace

class TimedSend : public ::testing::Test
{
protected:
  void SetUp() override
  {
    DirectHost::Reset();
    plugin = std::make_unique<RecordingPlugin>(status);
    plugin->resume();
    Block();
    Block();
    // A recognisable message in strip 0 of every program: CC 7 = program.
    for (int32_t program = 0; program < 128; ++program) {
      VSTPluginStrip& strip = plugin->Program(program).strips[0];
      strip.channelA = 1;
      strip.numberA = 8;
      strip.valueA = static_cast<uint8_t>(program + 1);
    }
  }
  void Block() { testsupport::RunDirectBlock(*plugin); }
  std::vector<std::array<uint8_t, 3>> Sent()
  {
    Block();
    auto midi = DirectHost::Midi();
    DirectHost::midi.clear();
    return midi;
  }
  // Runs blocks every 5 ms until the plug-in sends something or the time
  // runs out; returns the seconds it took (negative when nothing came).
  double WaitForSend(double limitSeconds)
  {
    const auto start = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - start).count() < limitSeconds) {
      if (!Sent().empty())
        return std::chrono::duration<double>(Clock::now() - start).count();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1.0;
  }
  void Set(int32_t index, float value) { plugin->setParameter(index, value); }
  void ChangeSend(int seconds)
  {
    Set(param::kSendOnChange, 1.0f);
    Set(param::kChangeDelay, param::Decode(seconds, param::kDelay));
  }
  void InitSend(int seconds)
  {
    Set(param::kSendOnInit, 1.0f);
    Set(param::kInitDelay, param::Decode(seconds, param::kDelay));
  }

  int status = 0;
  std::unique_ptr<RecordingPlugin> plugin;
};

TEST_F(TimedSend, ChangeWithoutDelaySendsAtOnceOnTheCallingThread)
{
  ChangeSend(0);
  plugin->setProgram(5);
  EXPECT_FALSE(plugin->TimerRunning());
  EXPECT_THAT(Sent(), ElementsAre(std::array<uint8_t, 3>{0xB0, 7, 5}));
  EXPECT_THAT(Indices(plugin->Notices()), IsEmpty());
}

TEST_F(TimedSend, ChangeCountdownTicksEverySecondThenSends)
{
  ChangeSend(2);
  plugin->RestartClock();
  plugin->setProgram(5);
  EXPECT_THAT(Sent(), IsEmpty());
  const double took = WaitForSend(4.0);
  EXPECT_GT(took, 1.8);
  EXPECT_LT(took, 3.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto notices = plugin->Notices();
  ASSERT_THAT(Indices(notices), ElementsAre(139, 140, 140, 141, 139));
  EXPECT_EQ(notices[1].countdown, 2);
  EXPECT_EQ(notices[2].countdown, 1);
  EXPECT_NEAR(notices[2].seconds - notices[1].seconds, 1.0, 0.2);
  EXPECT_EQ(plugin->TimerMode(), 1);
  EXPECT_FALSE(plugin->TimerRunning());
}

TEST_F(TimedSend, OutOfRangeSelectionsChangeNothing)
{
  ChangeSend(0);
  plugin->setProgram(3);
  Sent();
  plugin->setProgram(128);
  plugin->setProgram(-1);
  EXPECT_EQ(plugin->getProgram(), 3);
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(TimedSend, SelectingTheCurrentProgramAgainIsAChange)
{
  ChangeSend(0);
  plugin->setProgram(4);
  Sent();
  plugin->setProgram(4);
  EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(TimedSend, InitSendHappensOncePerInstance)
{
  InitSend(0);
  ChangeSend(0);
  std::vector<uint8_t> bank(35328);
  std::memcpy(bank.data(), &plugin->Program(0), bank.size());
  ASSERT_EQ(plugin->setChunk(bank.data(), 35328, false), 1);
  EXPECT_THAT(Sent(), IsEmpty()) << "a bank load alone selects nothing";
  plugin->setProgram(2);
  EXPECT_EQ(Sent().size(), 1u) << "the first selection after the load is the init send";
  EXPECT_TRUE(plugin->InitSendDone());

  ASSERT_EQ(plugin->setChunk(bank.data(), 35328, false), 1);
  plugin->setProgram(2);
  EXPECT_THAT(Sent(), IsEmpty()) << "never a second init send, and no change send";
  plugin->setProgram(2);
  EXPECT_EQ(Sent().size(), 1u) << "later selections are changes again";
}

TEST_F(TimedSend, ChangeWithInitStillPendingPerformsTheInitSend)
{
  // Send on change off; send on init turned on after the load.
  InitSend(1);
  plugin->setProgram(6);
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_TRUE(plugin->TimerRunning() || plugin->InitSendDone());
  EXPECT_EQ(plugin->TimerMode(), 0);
  const double took = WaitForSend(3.0);
  EXPECT_GT(took, 0.8);
  plugin->setProgram(7);
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(TimedSend, TurningSendOnChangeOffStopsTheChangeCountdown)
{
  ChangeSend(1);
  plugin->setProgram(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_TRUE(plugin->TimerRunning());
  Set(param::kSendOnChange, 0.0f);
  EXPECT_FALSE(plugin->TimerRunning());
  EXPECT_THAT(Indices(plugin->Notices()), ElementsAre(139, 140, 141, 139));
  EXPECT_LT(WaitForSend(1.5), 0.0) << "nothing is sent";
}

TEST_F(TimedSend, TurningSendOnInitOffLeavesAChangeCountdown)
{
  InitSend(0);
  Set(param::kSendOnInit, 0.0f);
  ChangeSend(1);
  plugin->setProgram(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Set(param::kSendOnInit, 1.0f);
  Set(param::kSendOnInit, 0.0f);
  EXPECT_TRUE(plugin->TimerRunning());
  EXPECT_GT(WaitForSend(2.5), 0.5);
}

TEST_F(TimedSend, CancelRightAfterStartTakesEffect)
{
  ChangeSend(1);
  for (int i = 0; i < 20; ++i) {
    plugin->setProgram(5);
    plugin->startTimer(false);
  }
  EXPECT_LT(WaitForSend(1.6), 0.0);
  EXPECT_FALSE(plugin->TimerRunning());
}

TEST_F(TimedSend, SuspendAbandonsTheCountdownAndResumeDoesNotRestartIt)
{
  ChangeSend(1);
  plugin->setProgram(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  plugin->suspend();
  plugin->resume();
  EXPECT_FALSE(plugin->TimerRunning());
  EXPECT_LT(WaitForSend(1.6), 0.0);
}

TEST_F(TimedSend, NewCountdownReplacesTheRunningOne)
{
  ChangeSend(1);
  plugin->setProgram(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  plugin->setProgram(9); // starts over with a full second
  const auto sent = [&] {
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(2500)) {
      auto midi = Sent();
      if (!midi.empty())
        return midi;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::vector<std::array<uint8_t, 3>>{};
  }();
  EXPECT_THAT(sent, ElementsAre(std::array<uint8_t, 3>{0xB0, 7, 9})) << "one send, program 9";
}

TEST_F(TimedSend, ImmediateSendLeavesARunningCountdownAlone)
{
  InitSend(1);
  plugin->setProgram(5); // init countdown of one second
  ChangeSend(0);
  plugin->setProgram(6); // change send at once
  EXPECT_EQ(Sent().size(), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(plugin->TimerRunning());
  EXPECT_EQ(plugin->TimerMode(), 0);
  EXPECT_GT(WaitForSend(2.0), 0.3) << "the init countdown keeps its length and still sends";
}

TEST_F(TimedSend, DestroyingThePluginDuringACountdownIsClean)
{
  ChangeSend(3);
  plugin->setProgram(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto start = Clock::now();
  plugin.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

namespace {

// A program chunk of the current program with both sends on and the given
// delays, as a damaged or hostile project file may carry them.
std::vector<uint8_t> ProgramChunkWithDelays(VSTPlugin& plugin, int32_t init, int32_t change)
{
  std::vector<uint8_t> chunk(sizeof(VSTPluginProgram));
  CopyProgram(*reinterpret_cast<VSTPluginProgram*>(chunk.data()), plugin.CurrentProgram());
  auto& record = *reinterpret_cast<VSTPluginProgram*>(chunk.data());
  record.sendOnChange = 1;
  record.sendOnInit = 1;
  record.initDelay = init;
  record.changeDelay = change;
  return chunk;
}

} // namespace

TEST_F(TimedSend, ChangeDelayOfIntMaxFromAChunkCountsDownFrom999)
{
  auto chunk = ProgramChunkWithDelays(*plugin, INT_MAX, INT_MAX);
  // The load's own selection is a program change with the loaded options:
  // a countdown of at most 999 seconds, not a send at once.
  ASSERT_EQ(plugin->setChunk(chunk.data(), static_cast<int32_t>(chunk.size()), true), 1);
  EXPECT_TRUE(testsupport::WaitFor([&] { return plugin->TimerRunning(); }));
  EXPECT_THAT(Sent(), IsEmpty());
  ASSERT_TRUE(testsupport::WaitFor([&] {
    for (const Notice& notice : plugin->Notices())
      if (notice.index == param::kCountdownTick)
        return true;
    return false;
  }));
  const std::vector<Notice> notices = plugin->Notices();
  ASSERT_GE(notices.size(), 2u);
  EXPECT_EQ(notices[0].index, param::kCountdownState);
  EXPECT_EQ(notices[1].index, param::kCountdownTick);
  EXPECT_EQ(notices[1].countdown, 999) << "the first tick shows the seconds still to wait";
  EXPECT_EQ(plugin->CurrentProgram().changeDelay, INT_MAX) << "the stored bytes stay as loaded";
  EXPECT_EQ(param::Encode(plugin->getParameter(param::kChangeDelay), 999), 999);
  plugin->suspend();
  EXPECT_FALSE(plugin->TimerRunning());
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(TimedSend, InitDelayOfIntMaxCountsDownAndNegativeDelaysSendAtOnce)
{
  // Init path: the first selection after a bank whose delays are huge.
  auto chunk = ProgramChunkWithDelays(*plugin, INT_MAX, INT_MIN);
  std::vector<uint8_t> bank(sizeof(VSTPluginProgram) * 128);
  for (int p = 0; p < 128; ++p) {
    auto& record = *reinterpret_cast<VSTPluginProgram*>(bank.data() + p * chunk.size());
    std::memcpy(&record, chunk.data(), chunk.size());
    record.strips[0].valueA = static_cast<uint8_t>(p + 1);
  }
  ASSERT_EQ(plugin->setChunk(bank.data(), static_cast<int32_t>(bank.size()), false), 1);
  plugin->setProgram(3);
  EXPECT_TRUE(testsupport::WaitFor([&] { return plugin->TimerRunning(); }))
      << "init countdown, bounded";
  EXPECT_THAT(Sent(), IsEmpty());
  plugin->suspend();
  plugin->resume();
  // Change path with a change delay of INT_MIN: used as 0, a send at once.
  plugin->setProgram(4);
  EXPECT_FALSE(plugin->TimerRunning());
  EXPECT_THAT(Sent(), ElementsAre(std::array<uint8_t, 3>{0xB0, 7, 4}));
}
