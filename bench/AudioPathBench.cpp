// The cost of the audio path, measured beside copying the same data with
// memcpy, so that it can be stated as a ratio that does not depend on the
// machine:
//   - a block of 512 frames without MIDI, against copying its two channels;
//   - a block with 256 events passed through (note ons and offs) plus a
//     resend, against copying the events' 8 KiB three times (in, through,
//     out) plus the two channels;
//   - the same block with learning, send on play (a transport that starts
//     in every other block) and paced sending on, a quarter of the events
//     being controllers that are learned, against the same copies.
#include "engine/Parameters.h"
#include "engine/VSTPlugin.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t kFrames = 512;
constexpr int kEvents = 256;

VstIntPtr QuietHost(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float)
{
  // A host that takes everything and does nothing with it.
  return opcode == audioMasterVersion || opcode == audioMasterProcessEvents ? 1 : 0;
}

// A host whose transport starts at every other question.
VstIntPtr PlayingHost(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                      float opt)
{
  static VstTimeInfo info{};
  static int32_t asked = 0;
  if (opcode != audioMasterGetTime)
    return QuietHost(effect, opcode, index, value, ptr, opt);
  info.flags = (asked++ % 2) ? kVstTransportPlaying : 0;
  return reinterpret_cast<VstIntPtr>(&info);
}

struct Fixture
{
  explicit Fixture(audioMasterCallback host = QuietHost)
  {
    int status = 0;
    plugin = std::make_unique<VSTPlugin>(host, status);
    plugin->resume();
    for (int i = 0; i < 4; ++i)
      run(nullptr);
    for (int i = 0; i < kEvents; ++i) {
      VstMidiEvent& event = store[i];
      event.type = kVstMidiType;
      event.byteSize = 24;
      event.midiData[0] = i % 2 ? 0x80 : 0x90;
      event.midiData[1] = static_cast<uint8_t>(i / 2);
      event.midiData[2] = 0x40;
      events.events[i] = reinterpret_cast<VstEvent*>(&event);
    }
    events.numEvents = kEvents;
  }

  void run(VstEvents* input)
  {
    if (input)
      plugin->processEvents(input);
    plugin->processReplacing(inputs, outputs, kFrames);
  }

  std::unique_ptr<VSTPlugin> plugin;
  float buffers[4][kFrames] = {};
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
  VstMidiEvent store[kEvents] = {};
  VstEventBlock<kEvents> events{};
};

void BlockWithoutMidi(benchmark::State& state)
{
  Fixture fixture;
  for (auto _ : state) {
    fixture.run(nullptr);
    benchmark::ClobberMemory();
  }
}

// The baselines copy between heap buffers the compiler cannot see through.
void CopyChannels(float* const* in, float* const* out)
{
  std::memcpy(out[0], in[0], sizeof(float) * kFrames);
  std::memcpy(out[1], in[1], sizeof(float) * kFrames);
}

void CopyAudio(benchmark::State& state)
{
  std::vector<float> buffers(4 * kFrames, 0.0f);
  float* in[2] = {&buffers[0], &buffers[kFrames]};
  float* out[2] = {&buffers[2 * kFrames], &buffers[3 * kFrames]};
  for (auto _ : state) {
    benchmark::DoNotOptimize(in[0]);
    benchmark::DoNotOptimize(in[1]);
    CopyChannels(in, out);
    benchmark::DoNotOptimize(out[0]);
    benchmark::DoNotOptimize(out[1]);
    benchmark::ClobberMemory();
  }
}

void BlockWith256EventsAndResend(benchmark::State& state)
{
  Fixture fixture;
  fixture.plugin->setParameter(param::kThru, 1.0f);
  fixture.plugin->setParameter(param::kChannelA, 1.0f / 16.0f);
  fixture.plugin->setParameter(param::kNumberA, 8.0f / 128.0f);
  fixture.plugin->setParameter(param::kValueA, 101.0f / 128.0f);
  for (auto _ : state) {
    fixture.plugin->setParameter(param::kResend, 1.0f);
    fixture.plugin->setParameter(param::kResend, 0.0f);
    fixture.run(fixture.events.AsEvents());
    benchmark::ClobberMemory();
  }
}

void BlockWith256EventsLearnPlayPaced(benchmark::State& state)
{
  Fixture fixture(PlayingHost);
  for (int i = 3; i < kEvents; i += 4) {
    fixture.store[i].midiData[0] = 0xB0;
    fixture.store[i].midiData[1] = static_cast<uint8_t>(i / 4 % 24);
  }
  fixture.plugin->setParameter(param::kThru, 1.0f);
  fixture.plugin->setParameter(param::kSpacing, 1.0f / 250.0f);
  fixture.plugin->setParameter(param::kSettle, 10.0f / 2000.0f);
  fixture.plugin->setParameter(param::kSendOnPlay, 1.0f);
  fixture.plugin->setParameter(param::kLearn, 1.0f);
  fixture.plugin->setParameter(param::kChannelA, 1.0f / 16.0f);
  fixture.plugin->setParameter(param::kNumberA, 8.0f / 128.0f);
  fixture.plugin->setParameter(param::kValueA, 101.0f / 128.0f);
  for (auto _ : state) {
    fixture.run(fixture.events.AsEvents());
    benchmark::ClobberMemory();
  }
}

void CopyEventsAndAudio(benchmark::State& state)
{
  constexpr size_t kBytes = sizeof(VstMidiEvent) * kEvents; // 8 KiB
  std::vector<uint8_t> events(4 * kBytes, 0);
  std::vector<float> buffers(4 * kFrames, 0.0f);
  float* in[2] = {&buffers[0], &buffers[kFrames]};
  float* out[2] = {&buffers[2 * kFrames], &buffers[3 * kFrames]};
  uint8_t* stage[4] = {&events[0], &events[kBytes], &events[2 * kBytes], &events[3 * kBytes]};
  for (auto _ : state) {
    for (int i = 0; i < 3; ++i) {
      benchmark::DoNotOptimize(stage[i]);
      std::memcpy(stage[i + 1], stage[i], kBytes);
      benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(in[0]);
    CopyChannels(in, out);
    benchmark::DoNotOptimize(out[0]);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BlockWithoutMidi);
BENCHMARK(CopyAudio);
BENCHMARK(BlockWith256EventsAndResend);
BENCHMARK(BlockWith256EventsLearnPlayPaced);
BENCHMARK(CopyEventsAndAudio);

// Keeps each benchmark's time per iteration, in nanoseconds, to print the
// ratios at the end: the median when the runs are repeated, else the run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
  void ReportRuns(const std::vector<Run>& runs) override
  {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const double ns =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        medians[name] = ns;
      else if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        singles[name] = ns;
    }
  }
  double Nanoseconds(const std::string& name) const
  {
    if (auto found = medians.find(name); found != medians.end())
      return found->second;
    auto found = singles.find(name);
    return found != singles.end() ? found->second : 0.0;
  }

private:
  std::map<std::string, double> medians;
  std::map<std::string, double> singles;
};

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ratio = [&](const char* path, const char* copy) {
    const double a = reporter.Nanoseconds(path);
    const double b = reporter.Nanoseconds(copy);
    if (a > 0 && b > 0)
      std::printf("%-30s %9.1f ns  = %5.2f x %s (%.1f ns)\n", path, a, a / b, copy, b);
  };
  // scripts/bench reads these lines.
  std::puts("");
  ratio("BlockWithoutMidi", "CopyAudio");
  ratio("BlockWith256EventsAndResend", "CopyEventsAndAudio");
  ratio("BlockWith256EventsLearnPlayPaced", "CopyEventsAndAudio");
  return 0;
}
