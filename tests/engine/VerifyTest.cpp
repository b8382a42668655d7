// Verify, retry, changes only and DIN speed, through processEvents and the
// blocks: the plug-in sends a program, then its dump request, and the test
// synth (host/TestSynth.h) answers on the plug-in's input as a synth would.
#include "engine/VSTPlugin.h"
#include "host/TestSynth.h"
#include "model/Parameters.h"
#include "model/SysExVerify.h"
#include "tests/testsupport/VerifyDumps.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

struct Sent
{
  int64_t frame;
  std::vector<uint8_t> bytes; // a short message's bytes by its status, or the SysEx
};

struct Recorder
{
  static inline std::mutex lock;
  static inline std::vector<Sent> sent;
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
      const VstEvent* event = events->events[i];
      Sent s{blockStart + event->deltaFrames, {}};
      if (event->type == kVstSysExType) {
        const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
        const auto* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
        s.bytes.assign(bytes, bytes + sysex->dumpBytes);
      } else {
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const int32_t length = midi::MessageLength(static_cast<uint8_t>(midi->midiData[0]));
        s.bytes.assign(midi->midiData, midi->midiData + (length > 0 ? length : 3));
      }
      sent.push_back(std::move(s));
    }
    return 1;
  }
};

using testsupport::Dump;
using testsupport::kRequest;

std::shared_ptr<const SysExSet> SetOf(const std::vector<uint8_t>& message,
                                      const std::vector<uint8_t>& request = {})
{
  SysExSet::Builder builder;
  builder.Append({message.data(), static_cast<int32_t>(message.size())});
  if (!request.empty())
    builder.SetRequest({request.data(), static_cast<int32_t>(request.size())});
  return builder.Build();
}

class Verify : public testing::Test
{
protected:
  void SetUp() override
  {
    Recorder::sent.clear();
    Recorder::blockStart = 0;
    int status = 0;
    plugin = std::make_unique<VSTPlugin>(Recorder::Callback, status);
    plugin->setSampleRate(static_cast<float>(kRate));
    plugin->resume();
    Run(2);
    Recorder::sent.clear();
  }
  void TearDown() override { plugin.reset(); }

  void Store(int32_t program, const std::vector<uint8_t>& dump, bool request = true,
             const std::vector<int32_t>& dontCare = {})
  {
    SysExSet::Builder builder;
    builder.Append({dump.data(), static_cast<int32_t>(dump.size())});
    if (request)
      builder.SetRequest({kRequest.data(), static_cast<int32_t>(kRequest.size())});
    for (const int32_t offset : dontCare)
      builder.MarkDontCare(offset);
    plugin->PublishSysEx(program, builder.Build());
  }
  void Cc(int strip, bool b, int channel, int number, int value)
  {
    const int32_t offset = b ? 16 : 0;
    plugin->setParameter(param::kFormatA + offset + strip, 0.0f);
    plugin->setParameter(param::kChannelA + offset + strip, channel / 16.0f);
    plugin->setParameter(param::kNumberA + offset + strip, (number + 1) / 128.0f);
    plugin->setParameter(param::kValueA + offset + strip, (value + 1) / 128.0f);
  }
  void Pc(int strip, bool b, int channel, int program)
  {
    const int32_t offset = b ? 16 : 0;
    plugin->setParameter(param::kKindA + offset + strip, 1.0f);
    plugin->setParameter(param::kChannelA + offset + strip, channel / 16.0f);
    plugin->setParameter(param::kNumberA + offset + strip, (program + 1) / 128.0f);
  }
  void Resend()
  {
    plugin->setParameter(param::kResend, 1.0f);
    plugin->setParameter(param::kResend, 0.0f);
  }
  void VerifyMs(int ms) { plugin->setParameter(param::kVerifyTime, ms / 5000.0f); }
  void Retries(int n) { plugin->setParameter(param::kRetries, n / 3.0f); }

  // Runs `blocks` blocks; the synth (when there is one) hears what the
  // plug-in sends and its answers go into the block in which they fall due,
  // through processEvents as a host hands them over.
  void Run(int blocks)
  {
    float in[2][kBlock] = {};
    float out[2][kBlock] = {};
    float* inputs[2] = {in[0], in[1]};
    float* outputs[2] = {out[0], out[1]};
    for (int i = 0; i < blocks; ++i) {
      const double ms = static_cast<double>(Recorder::blockStart) * 1000.0 / kRate;
      if (synth) {
        std::vector<std::vector<uint8_t>> answers = synth->Due(ms);
        std::vector<VstMidiSysexEvent> records(answers.size());
        std::vector<VstEvent*> pointers;
        for (size_t a = 0; a < answers.size(); ++a) {
          records[a] = VstMidiSysexEvent{};
          records[a].type = kVstSysExType;
          records[a].byteSize = static_cast<int32_t>(sizeof(VstMidiSysexEvent)) - 8;
          records[a].dumpBytes = static_cast<int32_t>(answers[a].size());
          records[a].sysexDump = reinterpret_cast<char*>(answers[a].data());
          pointers.push_back(reinterpret_cast<VstEvent*>(&records[a]));
        }
        if (!pointers.empty()) {
          std::vector<uint8_t> block(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent*));
          auto* events = reinterpret_cast<VstEvents*>(block.data());
          events->numEvents = static_cast<int32_t>(pointers.size());
          for (size_t p = 0; p < pointers.size(); ++p)
            events->events[p] = pointers[p];
          plugin->processEvents(events);
        }
      }
      const size_t before = Recorder::sent.size();
      plugin->processReplacing(inputs, outputs, kBlock);
      for (size_t s = before; synth && s < Recorder::sent.size(); ++s) {
        if (Recorder::sent[s].bytes[0] == 0xF0)
          synth->Heard(Recorder::sent[s].bytes,
                       static_cast<double>(Recorder::sent[s].frame) * 1000.0 / kRate);
      }
      Recorder::blockStart += kBlock;
    }
  }
  // Runs until `count` results have come (at most `seconds` of audio).
  std::vector<VerifyResult> RunForResults(uint32_t count, double seconds = 10.0)
  {
    std::vector<VerifyResult> results;
    uint32_t seen = plugin->VerifyCount();
    const auto blocks = static_cast<int>(seconds * kRate / kBlock);
    for (int i = 0; i < blocks && results.size() < count; ++i) {
      Run(1);
      if (plugin->VerifyCount() != seen) {
        seen = plugin->VerifyCount();
        results.push_back(plugin->LastVerify());
      }
    }
    return results;
  }
  int Requests() const
  {
    int n = 0;
    for (const Sent& s : Recorder::sent)
      n += s.bytes == kRequest;
    return n;
  }

  std::unique_ptr<VSTPlugin> plugin;
  std::unique_ptr<qhost::TestSynth> synth;
};

struct VerifyCase
{
  const char* name;
  int retries;
  bool otherHeader; // the synth answers with a dump of another command byte
  int drop;
  int64_t alter;
  std::vector<std::string> lines;     // VerifyLine of each result
  std::vector<int32_t> dontCare = {}; // the program's marked bytes
};

class VerifyResults : public Verify, public testing::WithParamInterface<VerifyCase>
{
};

TEST_P(VerifyResults, OfTheSynthsAnswer)
{
  const VerifyCase& c = GetParam();
  const std::vector<uint8_t> dump = Dump(163);
  Store(0, dump, true, c.dontCare);
  VerifyMs(100);
  Retries(c.retries);
  qhost::TestSynthConfig config;
  config.dump = SetOf(c.otherHeader ? Dump(163, 0x21) : dump);
  config.latencyMs = 20;
  config.drop = c.drop;
  config.alter = c.alter;
  synth = std::make_unique<qhost::TestSynth>(config);
  Resend();
  std::vector<std::string> lines;
  for (const VerifyResult& r : RunForResults(static_cast<uint32_t>(c.lines.size()) + 1, 3.0)) {
    char line[kVerifyTextSize];
    VerifyLine(r, line);
    lines.emplace_back(line);
  }
  EXPECT_EQ(lines, c.lines);
  EXPECT_EQ(Requests(), static_cast<int>(c.lines.size())) << "one request a try";
  for (const Sent& s : Recorder::sent)
    EXPECT_FALSE(s.bytes.size() == dump.size() && s.bytes != dump)
        << "the synth's answer is not passed through";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VerifyResults,
    testing::Values(
        VerifyCase{"TheRightReply", 1, false, 0, -1, {"verify program 0: verified (163 bytes)"}},
        VerifyCase{"AChangedByte",
                   0,
                   false,
                   0,
                   40,
                   {"verify program 0: differs at byte 40 (sent 18, synth 19), 1 try failed"}},
        VerifyCase{"ADontCareByte", 0, false, 0, 2, {"verify program 0: verified (163 bytes)"}},
        VerifyCase{
            "AMarkedByte", 0, false, 0, 40, {"verify program 0: verified (163 bytes)"}, {40}},
        VerifyCase{"AByteBesideTheMarkedOnes",
                   0,
                   false,
                   0,
                   40,
                   {"verify program 0: differs at byte 40 (sent 18, synth 19), 1 try failed"},
                   {39, 41}},
        VerifyCase{"NoAnswer", 0, false, 1, -1, {"verify program 0: no answer, 1 try failed"}},
        VerifyCase{
            "AnAnswerAfterARetry",
            1,
            false,
            1,
            -1,
            {"verify program 0: no answer, try 1 of 2", "verify program 0: verified (163 bytes)"}},
        VerifyCase{"EveryTryFails",
                   2,
                   false,
                   0,
                   40,
                   {"verify program 0: differs at byte 40 (sent 18, synth 19), try 1 of 3",
                    "verify program 0: differs at byte 40 (sent 18, synth 19), try 2 of 3",
                    "verify program 0: differs at byte 40 (sent 18, synth 19), 3 tries failed"}},
        VerifyCase{"AReplyWithAnotherHeader",
                   0,
                   true,
                   0,
                   -1,
                   {"verify program 0: no answer, 1 try failed"}}),
    [](const testing::TestParamInfo<VerifyCase>& info) { return info.param.name; });

TEST_F(Verify, TheRequestGoesOnceTheLastMessageAndItsGapAreOut)
{
  Store(0, Dump(163));
  plugin->SetSysExGap(50);
  Retries(0);
  Cc(0, false, 1, 7, 100);
  Resend();
  Run(300);
  ASSERT_EQ(Recorder::sent.size(), 3u);
  EXPECT_EQ(Recorder::sent[0].bytes.size(), 163u);
  EXPECT_EQ(Recorder::sent[1].frame - Recorder::sent[0].frame, 2205) << "the SysEx gap";
  EXPECT_EQ(Recorder::sent[2].bytes, kRequest);
  EXPECT_EQ(Recorder::sent[2].frame, Recorder::sent[1].frame) << "no spacing after the CC";
  EXPECT_EQ(plugin->LastVerify().code, VerifyCode::NoAnswer) << "nothing answered in 2 s";
}

TEST_F(Verify, OffAtZeroAndWithoutARequest)
{
  Store(0, Dump(163));
  VerifyMs(0);
  Resend();
  Run(50);
  Store(1, Dump(163), false);
  VerifyMs(100);
  plugin->setProgram(1);
  Resend();
  Run(50);
  EXPECT_EQ(Requests(), 0);
  EXPECT_EQ(plugin->VerifyCount(), 0u);
}

TEST_F(Verify, ANewSendEndsTheVerifyItOvertakes)
{
  Store(0, Dump(163));
  VerifyMs(1000);
  qhost::TestSynthConfig config;
  config.dump = SetOf(Dump(163));
  config.latencyMs = 300;
  synth = std::make_unique<qhost::TestSynth>(config);
  Resend();
  Run(10);
  Resend();
  const std::vector<VerifyResult> results = RunForResults(2, 2.0);
  ASSERT_EQ(results.size(), 1u) << "the first send's verify ended unanswered and untold";
  EXPECT_EQ(results[0].code, VerifyCode::Verified);
}

TEST_F(Verify, AResultIsAnOutputParameter)
{
  Store(0, Dump(163));
  VerifyMs(100);
  Retries(0);
  Resend();
  RunForResults(1);
  EXPECT_FLOAT_EQ(plugin->getParameter(param::kVerifyNotice) * 3.0f, 3.0f);
  EXPECT_FLOAT_EQ(plugin->getParameter(param::kVerifyCount), 1.0f);
  char line[kQuilletVerifyReportBytes];
  EXPECT_EQ(plugin->vendorSpecific(kQuilletVerifyReport, sizeof line, line, 0), 1);
  EXPECT_STREQ(line, "verify program 0: no answer, 1 try failed");
}

// --------------------------------------------------------------- DIN speed

struct CableCase
{
  int32_t bytes;
  int64_t samples; // from the dump to the CC after it, 50 ms gap
};

class CableTiming : public Verify, public testing::WithParamInterface<CableCase>
{
};

TEST_P(CableTiming, TheNextMessageWaitsForTheDumpToLeaveTheCable)
{
  const CableCase& c = GetParam();
  Store(0, Dump(c.bytes), false);
  plugin->SetSysExGap(50);
  plugin->setParameter(param::kDinSpeed, 1.0f);
  Cc(0, false, 1, 7, 100);
  Resend();
  Run(static_cast<int>(c.samples / kBlock) + 4);
  ASSERT_EQ(Recorder::sent.size(), 2u);
  EXPECT_EQ(Recorder::sent[1].frame - Recorder::sent[0].frame, c.samples);
  // The send: the dump, its gap and the CC's own 0.96 ms on the cable.
  EXPECT_EQ(plugin->LastSendMs(), static_cast<int32_t>(c.bytes * 0.32 + 50 + 0.96 + 0.5));
}

// bytes × 0.32 ms + 50 ms at 44.1 kHz, rounded: 1,363.28 ms for 4,104 bytes.
INSTANTIATE_TEST_SUITE_P(Dumps, CableTiming,
                         testing::Values(CableCase{163, 4505}, CableCase{4104, 60121},
                                         CableCase{65536, 927049}),
                         [](const testing::TestParamInfo<CableCase>& info) {
                           return "Bytes" + std::to_string(info.param.bytes);
                         });

TEST_F(Verify, WithoutDinSpeedTheGapCountsFromTheHandOver)
{
  Store(0, Dump(4104), false);
  plugin->SetSysExGap(50);
  Cc(0, false, 1, 7, 100);
  Resend();
  Run(10);
  ASSERT_EQ(Recorder::sent.size(), 2u);
  EXPECT_EQ(Recorder::sent[1].frame - Recorder::sent[0].frame, 2205);
}

// ------------------------------------------------------------ changes only

std::vector<std::string> Texts(const std::vector<Sent>& sent)
{
  std::vector<std::string> texts;
  for (const Sent& s : sent) {
    std::string text;
    for (size_t i = 0; i < s.bytes.size() && i < 3; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", s.bytes[i]);
      text += hex;
    }
    texts.push_back(text);
  }
  return texts;
}

class ChangesOnly : public Verify
{
protected:
  // Program p: Program Change `pc` on channel 1, CC 7 = 100, CC 74 = `knob`.
  void Patch(int32_t p, int pc, int knob)
  {
    plugin->setProgram(p);
    Recorder::sent.clear();
    VSTPluginProgram& program = plugin->CurrentProgram();
    program.AddStrip(1);
    Pc(0, false, 1, pc);
    Cc(0, true, 1, 7, 100);
    Cc(1, false, 1, 74, knob);
    plugin->setParameter(param::kSendOnChange, 1.0f);
  }
  std::vector<std::string> Select(int32_t p)
  {
    Recorder::sent.clear();
    plugin->setProgram(p);
    Run(4);
    return Texts(Recorder::sent);
  }
};

TEST_F(ChangesOnly, SkipsWhatTheChannelHoldsUnderTheSameProgramChange)
{
  Patch(0, 5, 10);
  Patch(1, 5, 20);
  Patch(2, 6, 20);
  plugin->setParameter(param::kChangesOnly, 1.0f);
  using V = std::vector<std::string>;
  EXPECT_EQ(Select(0), (V{"C0 05", "B0 07 64", "B0 4A 0A"})) << "nothing known yet";
  EXPECT_EQ(Select(1), (V{"B0 4A 14"})) << "the same patch: the knob only";
  EXPECT_EQ(Select(1), V{}) << "nothing changed";
  EXPECT_EQ(Select(2), (V{"C0 06", "B0 07 64", "B0 4A 14"})) << "another patch: everything";
  EXPECT_EQ(Select(1), (V{"C0 05", "B0 07 64", "B0 4A 14"}));
  Recorder::sent.clear();
  Resend();
  Run(4);
  EXPECT_EQ(Texts(Recorder::sent), (V{"C0 05", "B0 07 64", "B0 4A 14"})) << "a resend sends all";
}

TEST_F(ChangesOnly, OffSendsEverything)
{
  Patch(0, 5, 10);
  Patch(1, 5, 20);
  using V = std::vector<std::string>;
  Select(0);
  EXPECT_EQ(Select(1), (V{"C0 05", "B0 07 64", "B0 4A 14"}));
}

TEST_F(ChangesOnly, TheSameDumpIsNotSentAgain)
{
  Patch(0, 5, 10);
  Store(0, Dump(20), false);
  Patch(1, 5, 20);
  Store(1, Dump(20), false);
  plugin->setParameter(param::kChangesOnly, 1.0f);
  Select(0);
  using V = std::vector<std::string>;
  EXPECT_EQ(Select(1), (V{"B0 4A 14"}));
  Store(0, Dump(21), false);
  EXPECT_EQ(Select(0), (V{"F0 7D 10", "B0 4A 0A"})) << "another dump goes, the PC does not";
}

} // namespace
