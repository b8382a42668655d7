// An incoming Program Change is selected on the audio thread, which never
// waits for the timer lock: while another thread holds it, the selection is
// left to that thread, the latest request winning.
#include "model/Parameters.h"
#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::DirectHost;
using namespace std::chrono_literals;

namespace {

// The plug-in with a gate in the countdown's end notice, which a cancel
// sends while it holds the timer lock: a thread stopped there holds the lock
// for as long as the test wants.
class GatedPlugin : public VSTPlugin
{
public:
  explicit GatedPlugin(int& status) : VSTPlugin(DirectHost::Callback, status) {}
  ~GatedPlugin() override
  {
    Open();
    StopCountdownThread();
  }

  void setParameter(int32_t index, float value) override
  {
    if (index == param::kCountdownEnd) {
      std::unique_lock<std::mutex> hold(lock);
      if (armed) {
        inside = true;
        changed.notify_all();
        // Bounded, so that a failing test ends.
        changed.wait_for(hold, 10s, [this] { return !armed; });
        inside = false;
      }
    }
    VSTPlugin::setParameter(index, value);
  }

  void Arm()
  {
    std::lock_guard<std::mutex> hold(lock);
    armed = true;
  }
  bool WaitUntilInside()
  {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, 5s, [this] { return inside; });
  }
  void Open()
  {
    std::lock_guard<std::mutex> hold(lock);
    armed = false;
    changed.notify_all();
  }

  using VSTPlugin::startTimer;

private:
  std::mutex lock;
  std::condition_variable changed;
  bool armed = false;
  bool inside = false;
};

} // namespace

class ProgramChangeInput : public ::testing::Test
{
protected:
  void SetUp() override
  {
    DirectHost::Reset();
    plugin = std::make_unique<GatedPlugin>(status);
    plugin->resume();
    // Thru on everywhere (no releases in between) and a recognisable
    // message in strip 0 of every program: CC 7 = program + 1.
    for (int32_t program = 0; program < 128; ++program) {
      VSTPluginProgram& record = plugin->Program(program);
      record.midiThru = 1;
      record.strips[0].inUse = 1;
      record.strips[0].channelA = 1;
      record.strips[0].numberA = 8;
      record.strips[0].valueA = static_cast<uint8_t>(program + 2);
    }
    plugin->setParameter(param::kPresetSwitching, 1.0f);
    plugin->setParameter(param::kSendOnChange, 1.0f);
    // The release that construction asked for (thru was off) takes two
    // blocks, during which input is dropped.
    Sent();
    Sent();
  }

  // Runs one block with these Program Changes as input; false when the
  // block did not return within a second.
  bool BlockWithProgramChanges(std::initializer_list<uint8_t> programs)
  {
    VstMidiEvent store[8] = {};
    VstEventBlock<8> block{};
    for (uint8_t program : programs) {
      VstMidiEvent& event = store[block.numEvents];
      event.type = kVstMidiType;
      event.byteSize = 24;
      event.midiData[0] = 0xC0;
      event.midiData[1] = program;
      block.events[block.numEvents++] = reinterpret_cast<VstEvent*>(&event);
    }
    auto done = std::async(std::launch::async, [&] {
      plugin->processEvents(block.AsEvents());
      testsupport::RunDirectBlock(*plugin);
    });
    if (done.wait_for(1s) == std::future_status::ready)
      return true;
    plugin->Open();
    done.wait();
    return false;
  }

  std::vector<std::array<uint8_t, 3>> Sent()
  {
    testsupport::RunDirectBlock(*plugin);
    auto midi = DirectHost::Midi();
    DirectHost::midi.clear();
    return midi;
  }

  void TearDown() override
  {
    plugin->Open();
    if (holder.joinable())
      holder.join();
  }

  // Starts a change countdown and stops a thread (`holder`) inside its
  // cancel, with the timer lock held.
  void HoldTheTimerLock()
  {
    plugin->setParameter(param::kChangeDelay, 5.0f / 999.0f);
    plugin->setProgram(1);
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (!plugin->TimerRunning() && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(plugin->TimerRunning());
    // Selections from now on send at once; the running countdown keeps its
    // length.
    plugin->setParameter(param::kChangeDelay, 0.0f);
    plugin->Arm();
    holder = std::thread([this] { plugin->startTimer(false); });
    EXPECT_TRUE(plugin->WaitUntilInside());
  }

  // Lets the holder go on and waits until it has let the lock go.
  void ReleaseTheTimerLock()
  {
    plugin->Open();
    holder.join();
  }

  std::thread holder;
  int status = 0;
  std::unique_ptr<GatedPlugin> plugin;
};

TEST_F(ProgramChangeInput, SelectsInTheSameBlockWhenTheLockIsFree)
{
  ASSERT_TRUE(BlockWithProgramChanges({5}));
  EXPECT_EQ(plugin->getProgram(), 5);
  auto midi = DirectHost::Midi();
  EXPECT_THAT(midi, ElementsAre(std::array<uint8_t, 3>{0xB0, 0x07, 0x06}))
      << "the change send leaves in the block of the Program Change";
}

TEST_F(ProgramChangeInput, BusyLockLeavesTheSelectionToItsHolderAndTheLatestWins)
{
  HoldTheTimerLock();
  Sent();

  ASSERT_TRUE(BlockWithProgramChanges({5})) << "the audio thread waited for the lock";
  ASSERT_TRUE(BlockWithProgramChanges({6, 9})) << "the audio thread waited for the lock";
  EXPECT_EQ(plugin->getProgram(), 1) << "nothing selected while the lock is held";
  EXPECT_THAT(Sent(), IsEmpty());

  ReleaseTheTimerLock();
  EXPECT_EQ(plugin->getProgram(), 9) << "the holder made the latest selection";
  EXPECT_THAT(Sent(), ElementsAre(std::array<uint8_t, 3>{0xB0, 0x07, 0x0A}))
      << "one change send, of the program selected";
  EXPECT_FALSE(plugin->TimerRunning());
}

TEST_F(ProgramChangeInput, SelectionLeftBehindStartsACountdownLikeAnyOther)
{
  HoldTheTimerLock();
  plugin->setParameter(param::kChangeDelay, 1.0f / 999.0f);
  ASSERT_TRUE(BlockWithProgramChanges({4}));
  ReleaseTheTimerLock();
  EXPECT_EQ(plugin->getProgram(), 4);

  // The countdown of the deferred selection runs and sends once.
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::array<uint8_t, 3>> midi;
  while (midi.empty() && std::chrono::steady_clock::now() - start < 3s) {
    midi = Sent();
    std::this_thread::sleep_for(5ms);
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_THAT(midi, ElementsAre(std::array<uint8_t, 3>{0xB0, 0x07, 0x05}));
  EXPECT_GT(waited, 800ms);
  EXPECT_LT(waited, 2500ms);
}
