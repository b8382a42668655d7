// Learning SysEx from the input while Learn is on (the learn rule applied
// by the learning thread, "Full" when the list would grow over its limit),
// the dump request sent when Learn is switched on or asked for, and the
// SysEx gap as parameter 238.
#include "engine/VSTPlugin.h"
#include "model/Parameters.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

using testsupport::WaitFor;

namespace {

constexpr int32_t kBlock = 512;
using Bytes = std::vector<uint8_t>;

// The SysEx events the host received, as their bytes.
struct Recorder
{
  static inline std::mutex lock;
  static inline std::vector<Bytes> sysex;

  static VstIntPtr Callback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
  {
    if (opcode == audioMasterVersion)
      return 2400;
    if (opcode != audioMasterProcessEvents)
      return 0;
    std::lock_guard<std::mutex> hold(lock);
    const auto* events = static_cast<VstEvents*>(ptr);
    for (int32_t i = 0; i < events->numEvents; ++i) {
      const auto* event = reinterpret_cast<const VstMidiSysexEvent*>(events->events[i]);
      if (event->type != kVstSysExType)
        continue;
      const auto* bytes = reinterpret_cast<const uint8_t*>(event->sysexDump);
      sysex.emplace_back(bytes, bytes + event->dumpBytes);
    }
    return 1;
  }
  static std::vector<Bytes> Take()
  {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<Bytes> got;
    got.swap(sysex);
    return got;
  }
};

// A message of `size` bytes whose header is F0 43 00 `command`; `tag` tells
// copies apart.
Bytes Dump(int32_t size, uint8_t command, uint8_t tag)
{
  Bytes bytes(static_cast<size_t>(size), 0x11);
  bytes.front() = 0xF0;
  bytes[1] = 0x43;
  bytes[2] = 0x00;
  bytes[3] = command;
  bytes[4] = tag;
  bytes.back() = 0xF7;
  return bytes;
}

class SysExLearning : public testing::Test
{
protected:
  void SetUp() override
  {
    Recorder::Take();
    int status = 0;
    plugin = std::make_unique<VSTPlugin>(Recorder::Callback, status);
    plugin->setSampleRate(44100.0f);
    plugin->resume();
    Run(2);
    Recorder::Take();
  }
  void TearDown() override { plugin.reset(); }

  void Run(int blocks)
  {
    float buffers[4][kBlock] = {};
    float* inputs[2] = {buffers[0], buffers[1]};
    float* outputs[2] = {buffers[2], buffers[3]};
    for (int i = 0; i < blocks; ++i)
      plugin->processReplacing(inputs, outputs, kBlock);
  }
  // Hands `message` to the plug-in as a host's SysEx event, then runs a block.
  void Hear(const Bytes& message)
  {
    testsupport::HandSysEx(*plugin, message);
    Run(1);
  }
  void Publish(const std::vector<Bytes>& messages, const Bytes& request = {})
  {
    SysExSet::Builder builder;
    for (const Bytes& m : messages)
      ASSERT_EQ(builder.Append({m.data(), static_cast<int32_t>(m.size())}), SysExChange::Appended);
    if (!request.empty())
      builder.SetRequest({request.data(), static_cast<int32_t>(request.size())});
    plugin->PublishSysEx(plugin->getProgram(), builder.Build());
  }
  // The current program's list as published.
  std::vector<Bytes> List()
  {
    SysExStore::Reader reader(plugin->SysEx());
    std::vector<Bytes> list;
    if (const SysExSet* set = reader.Current(plugin->getProgram())) {
      for (int32_t i = 0; i < set->Count(); ++i)
        list.emplace_back(set->Message(i).data, set->Message(i).data + set->Message(i).size);
    }
    return list;
  }

  std::unique_ptr<VSTPlugin> plugin;
};

struct LearnCase
{
  const char* name;
  std::vector<Bytes> heard; // one a block
  std::vector<Bytes> learned;
  friend void PrintTo(const LearnCase& c, std::ostream* out) { *out << c.name; }
};

class SysExLearnRule : public SysExLearning, public testing::WithParamInterface<LearnCase>
{
};

TEST_P(SysExLearnRule, AppliesToWhatTheInputBrings)
{
  plugin->setParameter(param::kLearn, 1.0f);
  for (const Bytes& message : GetParam().heard)
    Hear(message);
  EXPECT_TRUE(WaitFor([&] { return List() == GetParam().learned; }, 2000));
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, SysExLearnRule,
    testing::Values(LearnCase{"AnEditBufferSentTwiceIsReplaced",
                              {Dump(40, 0x09, 1), Dump(40, 0x09, 2)},
                              {Dump(40, 0x09, 2)}},
                    LearnCase{"ABankDumpIsKeptInOrder",
                              {Dump(30, 0x10, 1), Dump(30, 0x11, 1), Dump(50, 0x10, 1)},
                              {Dump(30, 0x10, 1), Dump(30, 0x11, 1), Dump(50, 0x10, 1)}}),
    [](const testing::TestParamInfo<LearnCase>& info) { return info.param.name; });

TEST_F(SysExLearning, OverTheLimitNothingChangesAndFullShows)
{
  const Bytes big = Dump(65000, 0x01, 1);
  Publish({big});
  plugin->setParameter(param::kLearn, 1.0f);
  Hear(Dump(1000, 0x02, 1));
  ASSERT_TRUE(WaitFor([&] { return plugin->getParameter(param::kLearnNotice) == 1.0f; }, 2000));
  EXPECT_EQ(List(), std::vector<Bytes>{big});
  plugin->setParameter(param::kLearn, 0.0f);
  EXPECT_EQ(plugin->getParameter(param::kLearnNotice), 0.0f);
}

struct RequestCase
{
  const char* name;
  bool stored;                             // the program has a dump request
  std::function<void(VSTPlugin&)> trigger; // what asks for it
  int sent;                                // requests the host gets
  friend void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }
};

class DumpRequest : public SysExLearning, public testing::WithParamInterface<RequestCase>
{
};

TEST_P(DumpRequest, GoesOutOnceAsASysExEvent)
{
  const Bytes request = {0xF0, 0x43, 0x20, 0x00, 0xF7};
  Publish({Dump(20, 0x09, 1)}, GetParam().stored ? request : Bytes{});
  GetParam().trigger(*plugin);
  Run(1);
  EXPECT_EQ(Recorder::Take(), std::vector<Bytes>(static_cast<size_t>(GetParam().sent), request));
  Run(2);
  EXPECT_TRUE(Recorder::Take().empty()) << "once";
}

INSTANTIATE_TEST_SUITE_P(
    Triggers, DumpRequest,
    testing::Values(RequestCase{"WhenLearnIsSwitchedOn", true,
                                [](VSTPlugin& p) { p.setParameter(param::kLearn, 1.0f); }, 1},
                    RequestCase{"NotWhenLearnWasOnAlready", true,
                                [](VSTPlugin& p) {
                                  p.setParameter(param::kLearn, 1.0f);
                                  p.SendDumpRequest(); // taken up with the first: one request
                                  p.setParameter(param::kLearn, 1.0f);
                                },
                                1},
                    RequestCase{"OnDemand", true, [](VSTPlugin& p) { p.SendDumpRequest(); }, 1},
                    RequestCase{"NothingWithoutOne", false,
                                [](VSTPlugin& p) { p.setParameter(param::kLearn, 1.0f); }, 0}),
    [](const testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

TEST_F(SysExLearning, TheGapIsParameter238InMsOver2000)
{
  plugin->setParameter(param::kSysExGap, 0.25f);
  EXPECT_EQ(plugin->SysExGap(), 500);
  EXPECT_FLOAT_EQ(plugin->getParameter(param::kSysExGap), 0.25f);
  plugin->setParameter(param::kSysExGap, 1.5f); // out of range: ignored
  EXPECT_EQ(plugin->SysExGap(), 500);
}

} // namespace
