// The cost of the audio path, measured beside copying the same data with
// memcpy, so that it can be stated as a ratio that does not depend on the
// machine:
//   - a block of 512 frames without MIDI, against copying its two channels;
//   - a block with 256 events passed through (note ons and offs) plus a
//     resend, against copying the events' 8 KiB three times (in, through,
//     out) plus the two channels;
//   - the same block with learning, send on play (a transport that starts
//     in every other block) and paced sending on, a quarter of the events
//     being controllers that are learned, against the same copies;
//   - a block with the 256 events passed through while a verify waits for
//     the synth's reply to a 20 KB dump, against the same block with verify
//     off (both resend the dump every 400 blocks);
//   - the LV2 edition's run() with the same 256 events as MIDI atoms and
//     the same resend, against the VST 2 block with them: the adapter's own
//     cost (atoms in, the event block, atoms out at their sizes).
#include "model/Parameters.h"
#include "engine/VSTPlugin.h"
#include "lv2/Lv2Adapter.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

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

// Program 0 holds a 20 KB dump and its request; thru passes the events.
void RunWithDump(benchmark::State& state, int verifyMs)
{
  Fixture fixture;
  fixture.plugin->setParameter(param::kThru, 1.0f);
  std::vector<uint8_t> dump(20 * 1024, 0x22);
  dump[0] = 0xF0;
  dump[1] = 0x7D;
  dump.back() = 0xF7;
  const uint8_t request[] = {0xF0, 0x7D, 0x10, 0x11, 0xF7};
  SysExSet::Builder builder;
  builder.Append({dump.data(), static_cast<int32_t>(dump.size())});
  builder.SetRequest({request, sizeof request});
  fixture.plugin->PublishSysEx(0, builder.Build());
  fixture.plugin->setParameter(param::kVerifyTime, verifyMs / 5000.0f);
  fixture.plugin->setParameter(param::kRetries, 0.0f);
  int blocks = 0;
  for (auto _ : state) {
    // 400 blocks are 4.6 s: the verify of 5 s still waits.
    if (blocks++ % 400 == 0) {
      fixture.plugin->setParameter(param::kResend, 1.0f);
      fixture.plugin->setParameter(param::kResend, 0.0f);
    }
    fixture.run(fixture.events.AsEvents());
    benchmark::ClobberMemory();
  }
}

void BlockWith256Events(benchmark::State& state)
{
  RunWithDump(state, 0);
}

void BlockWith256EventsWhileVerifyWaits(benchmark::State& state)
{
  RunWithDump(state, 5000);
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

// An LV2 host's side for the adapter: a URID map, the block length, a worker
// that takes nothing, the input sequence of 256 note ons and offs and an
// output port of 16 KiB.
struct Lv2Fixture
{
  Lv2Fixture()
  {
    map.handle = &uris;
    map.map = [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
      auto& known = *static_cast<std::map<std::string, LV2_URID>*>(handle);
      return known.emplace(uri, static_cast<LV2_URID>(known.size() + 1)).first->second;
    };
    schedule.schedule_work = [](LV2_Worker_Schedule_Handle, uint32_t, const void*) {
      return LV2_WORKER_SUCCESS;
    };
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, map.map(map.handle, LV2_BUF_SIZE__maxBlockLength),
         sizeof(int32_t), map.map(map.handle, LV2_ATOM__Int), &maxBlock},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options,
                                     const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature workerFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, &workerFeature, nullptr};
    adapter.reset(Lv2Adapter::Create(44100.0, "/", features));

    const LV2_URID midi = map.map(map.handle, LV2_MIDI__MidiEvent);
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(input.data());
    sequence->atom.type = map.map(map.handle, LV2_ATOM__Sequence);
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    auto* at = reinterpret_cast<uint8_t*>(input.data()) + sizeof(LV2_Atom_Sequence);
    for (int i = 0; i < kEvents; ++i) {
      LV2_Atom_Event event{};
      event.body.type = midi;
      event.body.size = 3;
      const uint8_t bytes[8] = {static_cast<uint8_t>(i % 2 ? 0x80 : 0x90),
                                static_cast<uint8_t>(i / 2), 0x40};
      std::memcpy(at, &event, sizeof event);
      std::memcpy(at + sizeof event, bytes, sizeof bytes);
      at += sizeof event + sizeof bytes;
      sequence->atom.size += static_cast<uint32_t>(sizeof event + sizeof bytes);
    }
    adapter->ConnectPort(0, input.data());
    adapter->ConnectPort(1, output.data());
    for (uint32_t port = 2; port < 5; ++port)
      adapter->ConnectPort(port, &controls[port - 2]);
    controls[1] = 1.0f; // thru
    adapter->Activate();
    for (int i = 0; i < 4; ++i)
      run();
    // The port's move applies at the first run above; the plug-in's
    // program 0 gets thru through it.
    AEffect* effect = adapter->Effect();
    effect->setParameter(effect, param::kThru, 1.0f);
    effect->setParameter(effect, param::kChannelA, 1.0f / 16.0f);
    effect->setParameter(effect, param::kNumberA, 8.0f / 128.0f);
    effect->setParameter(effect, param::kValueA, 101.0f / 128.0f);
  }

  void run()
  {
    // The host gives the output port its room before every run.
    auto* out = reinterpret_cast<LV2_Atom*>(output.data());
    out->size = static_cast<uint32_t>(output.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
    adapter->Run(kFrames);
  }

  std::map<std::string, LV2_URID> uris;
  LV2_URID_Map map{};
  LV2_Worker_Schedule schedule{};
  int32_t maxBlock = kFrames;
  std::vector<uint64_t> input = std::vector<uint64_t>(1024, 0);
  std::vector<uint64_t> output = std::vector<uint64_t>(2048, 0);
  float controls[3] = {0.0f, 0.0f, 0.0f};
  std::unique_ptr<Lv2Adapter> adapter;
};

void Lv2RunWith256EventsAndResend(benchmark::State& state)
{
  Lv2Fixture fixture;
  if (!fixture.adapter) {
    state.SkipWithError("the LV2 adapter did not start");
    return;
  }
  AEffect* effect = fixture.adapter->Effect();
  for (auto _ : state) {
    effect->setParameter(effect, param::kResend, 1.0f);
    effect->setParameter(effect, param::kResend, 0.0f);
    fixture.run();
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BlockWithoutMidi);
BENCHMARK(CopyAudio);
BENCHMARK(BlockWith256EventsAndResend);
BENCHMARK(BlockWith256EventsLearnPlayPaced);
BENCHMARK(BlockWith256Events);
BENCHMARK(BlockWith256EventsWhileVerifyWaits);
BENCHMARK(CopyEventsAndAudio);
BENCHMARK(Lv2RunWith256EventsAndResend);

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
  ratio("BlockWith256EventsWhileVerifyWaits", "BlockWith256Events");
  ratio("Lv2RunWith256EventsAndResend", "BlockWith256EventsAndResend");
  return 0;
}
