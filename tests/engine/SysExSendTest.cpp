// Sending a program's SysEx messages: after the first Program Change and
// its settle time (or first of all), each followed by the SysEx gap, then
// the remaining strips; from the audio thread, whole, in the block's one
// event list, with the set kept until the host is done with its bytes.
#include "engine/VSTPlugin.h"
#include "model/Parameters.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int32_t kBlock = 512;

// What the host received: "sample:bytes", SysEx as "sample:F0 <size>".
struct Recorder
{
  static inline std::mutex lock;
  static inline std::vector<std::string> received;
  static inline int64_t blockStart = 0;

  static VstIntPtr Callback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
  {
    if (opcode == audioMasterVersion)
      return 2400;
    if (opcode != audioMasterProcessEvents)
      return 0;
    std::lock_guard<std::mutex> hold(lock);
    const auto* events = static_cast<VstEvents*>(ptr);
    for (int32_t i = 0; i < events->numEvents; ++i) {
      char text[64];
      const VstEvent* event = events->events[i];
      if (event->type == kVstSysExType) {
        const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
        const auto* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
        const bool whole = bytes[0] == 0xF0 && bytes[sysex->dumpBytes - 1] == 0xF7;
        std::snprintf(text, sizeof text, "%lld:F0 %d%s",
                      static_cast<long long>(blockStart + sysex->deltaFrames), sysex->dumpBytes,
                      whole ? "" : " broken");
      } else {
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        std::snprintf(text, sizeof text, "%lld:%02X %02X",
                      static_cast<long long>(blockStart + midi->deltaFrames), midi->midiData[0],
                      midi->midiData[1]);
      }
      received.emplace_back(text);
    }
    return 1;
  }
};

// A message of `size` bytes, F0 … F7, its second data byte `tag`.
std::vector<uint8_t> Message(int32_t size, uint8_t tag)
{
  std::vector<uint8_t> bytes(static_cast<size_t>(size), 0x11);
  bytes.front() = 0xF0;
  bytes[1] = 0x7D;
  bytes[2] = tag;
  bytes.back() = 0xF7;
  return bytes;
}

class SysExSend : public testing::Test
{
protected:
  void SetUp() override
  {
    Recorder::received.clear();
    Recorder::blockStart = 0;
    int status = 0;
    plugin = std::make_unique<VSTPlugin>(Recorder::Callback, status);
    plugin->setSampleRate(44100.0f);
    plugin->resume();
    Run(2);
    Recorder::received.clear();
  }
  void TearDown() override { plugin.reset(); }

  void Cc(int strip, bool b, int number, int value)
  {
    const int32_t offset = b ? 16 : 0;
    plugin->setParameter(param::kFormatA + offset + strip, 0.0f);
    plugin->setParameter(param::kChannelA + offset + strip, 1 / 16.0f);
    plugin->setParameter(param::kNumberA + offset + strip, (number + 1) / 128.0f);
    plugin->setParameter(param::kValueA + offset + strip, (value + 1) / 128.0f);
  }
  void Pc(int strip, bool b, int program)
  {
    const int32_t offset = b ? 16 : 0;
    plugin->setParameter(param::kKindA + offset + strip, 1.0f);
    plugin->setParameter(param::kChannelA + offset + strip, 1 / 16.0f);
    plugin->setParameter(param::kNumberA + offset + strip, (program + 1) / 128.0f);
  }
  void Publish(const std::vector<std::vector<uint8_t>>& messages)
  {
    SysExSet::Builder builder;
    for (const auto& m : messages)
      ASSERT_EQ(builder.Append({m.data(), static_cast<int32_t>(m.size())}), SysExChange::Appended);
    plugin->PublishSysEx(plugin->getProgram(), builder.Build());
  }
  void Resend()
  {
    plugin->setParameter(param::kResend, 1.0f);
    plugin->setParameter(param::kResend, 0.0f);
  }
  std::vector<std::string> Run(int blocks)
  {
    float in[2][kBlock] = {};
    float out[2][kBlock] = {};
    float* inputs[2] = {in[0], in[1]};
    float* outputs[2] = {out[0], out[1]};
    for (int i = 0; i < blocks; ++i) {
      plugin->processReplacing(inputs, outputs, kBlock);
      Recorder::blockStart += kBlock;
    }
    std::vector<std::string> got;
    got.swap(Recorder::received);
    return got;
  }

  std::unique_ptr<VSTPlugin> plugin;
};

struct OrderCase
{
  const char* name;
  bool programChange;
  int spacingMs;
  int settleMs;
  int gapMs;
  std::vector<std::string> expected; // samples from the send's block start
};

class SysExOrder : public SysExSend, public testing::WithParamInterface<OrderCase>
{
};

TEST_P(SysExOrder, AroundTheFirstProgramChange)
{
  const OrderCase& c = GetParam();
  ASSERT_TRUE(plugin->CurrentProgram().AddStrip(1));
  Cc(0, false, 7, 100);
  if (c.programChange)
    Pc(0, true, 4);
  else
    Cc(0, true, 8, 1);
  Cc(1, false, 10, 64);
  plugin->setParameter(param::kSpacing, c.spacingMs / 250.0f);
  plugin->setParameter(param::kSettle, c.settleMs / 2000.0f);
  plugin->SetSysExGap(c.gapMs);
  Publish({Message(6, 1), Message(8, 2)});
  Resend();
  const int64_t start = Recorder::blockStart;
  std::vector<std::string> expected;
  for (const std::string& line : c.expected) {
    const auto colon = line.find(':');
    expected.push_back(std::to_string(start + std::stoll(line.substr(0, colon))) +
                       line.substr(colon));
  }
  EXPECT_EQ(Run(12), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sends, SysExOrder,
    testing::Values(
        // 5 ms = 221 samples, 50 ms = 2205, 10 ms = 441 at 44.1 kHz.
        OrderCase{"AfterTheProgramChangeAndItsSettle",
                  true,
                  5,
                  50,
                  10,
                  {"0:B0 07", "221:C0 04", "2426:F0 6", "2867:F0 8", "3308:B0 0A"}},
        OrderCase{"FirstWithoutAProgramChange",
                  false,
                  5,
                  0,
                  10,
                  {"0:F0 6", "441:F0 8", "882:B0 07", "1103:B0 08", "1324:B0 0A"}},
        OrderCase{"AllAtOnceWithoutPacing",
                  true,
                  0,
                  0,
                  0,
                  {"0:B0 07", "0:C0 04", "0:F0 6", "0:F0 8", "0:B0 0A"}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return info.param.name; });

TEST_F(SysExSend, ManyMessagesFillBlocksInOrder)
{
  Cc(0, false, 7, 100);
  std::vector<std::vector<uint8_t>> messages;
  for (int i = 0; i < 100; ++i)
    messages.push_back(Message(5, static_cast<uint8_t>(i)));
  Publish(messages);
  Resend();
  const int64_t start = Recorder::blockStart;
  const std::vector<std::string> first = Run(1);
  ASSERT_EQ(first.size(), static_cast<size_t>(BlockOutput::kSysExCapacity));
  const std::vector<std::string> second = Run(1);
  ASSERT_EQ(second.size(), 100u - BlockOutput::kSysExCapacity + 1);
  EXPECT_EQ(second.front(), std::to_string(start + kBlock) + ":F0 5") << "the rest at the start";
  EXPECT_EQ(second.back(), std::to_string(start + kBlock) + ":B0 07") << "then the strips";
}

TEST_F(SysExSend, ALargeMessageGoesWholeAndItsSetStaysUntilTheNextBlock)
{
  Cc(0, false, 7, 100);
  Publish({Message(19 * 1024, 1)});
  Resend();
  const int64_t start = Recorder::blockStart;
  EXPECT_EQ(Run(1), (std::vector<std::string>{std::to_string(start) + ":F0 19456",
                                              std::to_string(start) + ":B0 07"}));
  // Replaced right after the block that sent it: the old set is kept while
  // the host may still read its bytes, and freed after the next block.
  Publish({Message(6, 2)});
  EXPECT_EQ(plugin->SysEx().Retired(), 1u);
  Run(1);
  plugin->SysEx().Collect();
  EXPECT_EQ(plugin->SysEx().Retired(), 0u);
}

TEST_F(SysExSend, WithoutSysExASendIsWhatItWas)
{
  Cc(0, false, 7, 100);
  Publish({Message(6, 1)});
  plugin->PublishSysEx(plugin->getProgram(), nullptr);
  Resend();
  const int64_t start = Recorder::blockStart;
  EXPECT_EQ(Run(1), (std::vector<std::string>{std::to_string(start) + ":B0 07"}));
}

// A .syx file's messages through the plug-in's own vendor call, as the LV2
// edition imports one: the current program's messages are replaced, its
// dump request stays, and nothing is sent (with send on change on, a
// program load would send at once). Anything else changes nothing.
TEST_F(SysExSend, TheImportCallReplacesTheMessagesKeepsTheRequestAndSendsNothing)
{
  plugin->setParameter(param::kSendOnChange, 1.0f);
  plugin->setParameter(param::kChangeDelay, 0.0f);
  const std::vector<uint8_t> old = Message(10, 1);
  const std::vector<uint8_t> request = Message(6, 9);
  SysExSet::Builder current;
  current.Append({old.data(), 10});
  current.SetRequest({request.data(), 6});
  plugin->PublishSysEx(plugin->getProgram(), current.Build());
  auto section = [](const std::vector<std::vector<uint8_t>>& messages, bool withRequest) {
    SysExSet::Builder builder;
    for (const auto& m : messages)
      builder.Append({m.data(), static_cast<int32_t>(m.size())});
    if (withRequest)
      builder.SetRequest({messages[0].data(), static_cast<int32_t>(messages[0].size())});
    const std::unique_ptr<const SysExSet> set = builder.Build();
    std::vector<uint8_t> bytes(static_cast<size_t>(SysExSectionBytes(set.get())));
    WriteSysExSection(set.get(), bytes.data());
    return bytes;
  };
  auto sizes = [this] {
    SysExStore::Reader reader(plugin->SysEx());
    const SysExSet* set = reader.Current(plugin->getProgram());
    std::string text = std::to_string(set->Request().size) + ":";
    for (int32_t i = 0; i < set->Count(); ++i)
      text += " " + std::to_string(set->Message(i).size);
    return text;
  };
  std::vector<uint8_t> good = section({Message(20, 2), Message(30, 3)}, false);
  std::vector<uint8_t> requested = section({Message(20, 2)}, true);
  std::vector<uint8_t> none = section({}, false);
  struct Call
  {
    const char* name;
    int32_t index;
    std::vector<uint8_t>* bytes;
    VstIntPtr size;
  };
  for (const Call& call : {Call{"another index", kQuilletReplaceSysEx + 1, &good, 0},
                           Call{"no pointer", kQuilletReplaceSysEx, nullptr, 0},
                           Call{"one byte short", kQuilletReplaceSysEx, &good, -1},
                           Call{"one byte more", kQuilletReplaceSysEx, &good, 1},
                           Call{"with a request", kQuilletReplaceSysEx, &requested, 0},
                           Call{"no message", kQuilletReplaceSysEx, &none, 0}}) {
    std::vector<uint8_t> bytes = call.bytes ? *call.bytes : std::vector<uint8_t>(64);
    const VstIntPtr size = static_cast<VstIntPtr>(bytes.size()) + call.size;
    bytes.resize(bytes.size() + 1);
    EXPECT_EQ(plugin->dispatcher(effVendorSpecific, call.index, size,
                                 call.bytes ? bytes.data() : nullptr, 0.0f),
              0)
        << call.name;
    EXPECT_EQ(sizes(), "6: 10") << call.name;
  }
  EXPECT_EQ(plugin->dispatcher(effVendorSpecific, kQuilletReplaceSysEx,
                               static_cast<VstIntPtr>(good.size()), good.data(), 0.0f),
            1);
  EXPECT_EQ(sizes(), "6: 20 30");
  EXPECT_EQ(Run(3), std::vector<std::string>{});
}

} // namespace
