// quillet-host run: loads the plug-in as a host does, restores the state the
// options compose (host/ComposedBank.h: one restore, which fires the send
// on init with every setting in place), runs the audio loop in real time
// and prints every MIDI event the plug-in hands to the host, one line each,
// at its sample-accurate time (the start of its block plus its
// deltaFrames):
//
//   1003.2 ms  B0 07 64
//   1010.0 ms  F0 43 00 09 20 00 ... F7 (4104 bytes)
//
// (a SysEx message whole up to 16 bytes, else its first 16, its end and
// its size; --print-sysex full prints it whole). A verify result is
// printed in the block it came in:
//
//   2143.0 ms  verify program 0: verified (163 bytes)
//
// --synth FILE.syx puts the test synth (host/TestSynth.h) on the
// plug-in's input: it hears the SysEx the plug-in sends and its answers go
// into the block in which they fall due.
// The host answers the time info with its transport, stopped until
// --play@SECONDS starts it (--no-time-info: a host that answers none).
#include "host/CommandLine.h"
#include "host/ComposedBank.h"
#include "host/HostOptions.h"
#include "host/SyxOptions.h"
#include "model/Parameters.h"
#include "model/VSTPluginProgramBank.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

namespace qhost::cli {

namespace {

// The plug-in's toolkit writes "Error: XOpenDisplay failed." when it is
// loaded where no X server answers; what that means for a run is said once,
// right after it.
void SayWhatNoDisplayMeans()
{
  if (Display* display = XOpenDisplay(nullptr)) {
    XCloseDisplay(display);
    return;
  }
  std::fputs("quillet-host: no X display: the editor is unavailable, MIDI works.\n", stderr);
}

// Learning that found no room: what it did not keep is said, and the run
// ends with status 1. The flag is read after every block (learning takes
// the messages on a thread of its own, and a message that fits later lowers
// it again), the SysEx messages fed are looked for in the lists at the end.
class LearnWatch
{
public:
  explicit LearnWatch(bool on_) : on(on_) {}

  void AfterBlock(PluginInstance& plugin)
  {
    if (on && plugin.GetParameter(param::kLearnNotice) >= 0.5f)
      full = true;
  }

  // True when nothing was lost.
  bool Report(PluginInstance& plugin, const std::vector<Action>& actions)
  {
    if (!on)
      return true;
    // The learning thread's last messages.
    for (int i = 0; i < 20 && !full; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      AfterBlock(plugin);
    }
    if (!full)
      return true;
    const std::vector<uint8_t> chunk = plugin.GetChunk(false);
    auto bank = std::make_unique<VSTPluginProgramBank>();
    LoadedSysEx sysex;
    bool newer = false;
    bank->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex);
    bool named = false;
    for (const Action& action : actions) {
      if (action.kind != ActionKind::Midi || action.bytes[0] != 0xF0 || !action.done ||
          Kept(sysex, action.bytes))
        continue;
      Fail("learning was full: the SysEx message at " + std::to_string(action.seconds * 1000.0) +
           " ms (" + FormatSysEx(action.bytes) + ") was not kept");
      named = true;
    }
    if (!named)
      Fail("learning was full: the current program had no room for some of the messages that "
           "came in, which were not kept");
    return false;
  }

private:
  static bool Kept(const LoadedSysEx& sysex, const std::vector<uint8_t>& bytes)
  {
    for (const auto& set : sysex) {
      for (int32_t i = 0; set && i < set->Count(); ++i) {
        const SysExView message = set->Message(i);
        if (message.size == static_cast<int32_t>(bytes.size()) &&
            std::equal(bytes.begin(), bytes.end(), message.data))
          return true;
      }
    }
    return false;
  }

  bool on;
  bool full = false;
};

bool Learning(const HostOptions& options)
{
  return std::any_of(options.live.begin(), options.live.end(), [](const ParameterSet& set) {
    return set.index == param::kLearn && set.value >= 0.5f;
  });
}

} // namespace

int Run(const HostOptions& givenOptions)
{
  HostOptions options = givenOptions;
  if (options.seconds < 0)
    options.seconds = 3.0;
  const std::string& path = options.positional[0];
  PluginLibrary library(path);
  if (!LoadLibrary(library))
    return 2;
  SayWhatNoDisplayMeans();
  HostConfig config = options.config;
  config.answersTime = options.timeInfo;
  PluginInstance plugin(library, config);
  if (!plugin.Loaded()) {
    std::fprintf(stderr, "quillet-host: the plug-in refused to load (host product \"%s\")\n",
                 config.product.c_str());
    return 3;
  }

  const auto frames = static_cast<int32_t>(options.block);
  plugin.StartUp(static_cast<float>(options.rate), frames);
  if (!RestoreComposed(plugin, options))
    return 2;

  std::printf("running %s for %.1f s at %.0f Hz, %d-frame blocks\n", path.c_str(), options.seconds,
              options.rate, frames);
  std::fflush(stdout);

  LearnWatch learning(Learning(options));
  std::unique_ptr<qhost::TestSynth> synth;
  if (options.synth.dump)
    synth = std::make_unique<qhost::TestSynth>(options.synth);
  VstIntPtr verifyResults = 0;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const double blockSeconds = frames / options.rate;
  const auto totalBlocks = static_cast<int64_t>(std::ceil(options.seconds / blockSeconds));
  size_t printed = 0;
  for (int64_t block = 0; block < totalBlocks; ++block) {
    const double blockStart = static_cast<double>(block) * blockSeconds;
    // Real time: each block runs when its time has come.
    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(blockStart)));
    // Host calls (selections, resends, timed parameters) happen between
    // blocks, in the first block that starts at or after their time; MIDI
    // goes into the block that contains its time, at its frame.
    for (Action& action : options.actions) {
      if (action.done)
        continue;
      if (action.kind == ActionKind::Midi) {
        if (action.seconds >= blockStart + blockSeconds)
          continue;
        const auto delta =
            static_cast<int32_t>(std::max(0.0, (action.seconds - blockStart) * options.rate));
        QueueMidi(plugin, action.bytes, std::min(delta, frames - 1));
      } else {
        if (action.seconds > blockStart)
          continue;
        HostCall(plugin, action);
      }
      action.done = true;
    }
    for (ParameterSet& set : options.live) {
      if (!set.done && set.seconds >= 0 && set.seconds <= blockStart) {
        plugin.SetParameter(set.index, set.value);
        set.done = true;
      }
    }
    if (synth) {
      for (const std::vector<uint8_t>& answer : synth->Due(blockStart * 1000.0))
        plugin.QueueSysEx(answer);
    }
    plugin.RunBlock(frames);
    learning.AfterBlock(plugin);
    const auto received = plugin.Received();
    for (; printed < received.size(); ++printed) {
      const ReceivedEvent& event = received[printed];
      const double ms = (blockStart + event.deltaFrames / options.rate) * 1000.0;
      const std::string text =
          event.sysex.empty() ? FormatMidi(event.bytes, MessageLength(event.bytes[0]))
          : options.wholeSysEx
              ? FormatMidi(event.sysex.data(), static_cast<int>(event.sysex.size()))
              : FormatSysEx(event.sysex);
      std::printf("%.1f ms  %s\n", ms, text.c_str());
      if (synth && !event.sysex.empty())
        synth->Heard(event.sysex, ms);
    }
    char line[kQuilletVerifyReportBytes] = {};
    const VstIntPtr results =
        plugin.Dispatch(effVendorSpecific, kQuilletVerifyReport, sizeof line, line);
    if (results != verifyResults) {
      verifyResults = results;
      std::printf("%.1f ms  %s\n", blockStart * 1000.0, line);
    }
    std::fflush(stdout);
  }

  const bool kept = learning.Report(plugin, options.actions);
  plugin.Suspend();
  const bool exported = ExportSyx(plugin, options.sysex);
  const bool savedBank = options.saveBank.empty() || SaveBank(plugin, options.saveBank);
  const bool savedProgram = options.saveProgram.empty() || SaveProgram(plugin, options.saveProgram);
  plugin.Close();
  if (!(savedBank && savedProgram && exported))
    return 2;
  return kept ? 0 : 1;
}

} // namespace qhost::cli
