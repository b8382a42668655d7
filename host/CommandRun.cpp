// quillet-host run: loads the plug-in as a host does, restores state, runs
// the audio loop in real time and prints every MIDI event the plug-in hands
// to the host, one line each, at its sample-accurate time (the start of its
// block plus its deltaFrames):
//
//   1003.2 ms  B0 07 64
//   1010.0 ms  F0 43 00 09 20 00 ... F7 (4104 bytes)
//
// (a SysEx message whole up to 16 bytes, else its first 16, its end and
// its size).
// The host answers the time info with its transport, stopped until
// --play@SECONDS starts it (--no-time-info: a host that answers none).
// --bank and --program together restore the bank first, then load the
// program into the current program, as a host does when a user loads a
// preset file into a project.
#include "host/CommandLine.h"
#include "files/PresetFile.h"
#include "host/SyxOptions.h"
#include "midi/MidiBytes.h"

// The chunk format's definition: the record, its strip-list rules and the
// parameter encodings (nothing else of the plug-in).
#include "model/Parameters.h"
#include "model/ProgramExtension.h"
#include "model/StripMessages.h"
#include "model/VSTPluginProgram.h"
#include "model/VSTPluginProgramBank.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

namespace qhost::cli {

namespace {

// A message as the record and its extension hold it (see StripMessages.h).
using Message = strips::Message;

struct StripEdit
{
  int program = 0;
  int strip = 0;
  Message a;
  Message b;
};

enum class ActionKind
{
  Select,
  Midi,
  Resend,
  Play
};

struct Action
{
  explicit Action(ActionKind kind_) : kind(kind_) {}
  double seconds = 0;
  ActionKind kind;
  long program = 0;
  std::vector<uint8_t> bytes;
};

struct RunOptions
{
  std::string bankFile;
  std::string programFile;
  std::string saveBank;
  double seconds = 3.0;
  double rate = 44100.0;
  long block = 512;
  bool timeInfo = true;
  std::vector<std::pair<long, double>> sets;
  std::vector<StripEdit> strips;
  std::vector<Action> actions;
  SyxOptions sysex;
};

// A message in the kinds' own spelling (MessageKinds.h: cc/CH/NUM/VAL,
// pc/CH/PROG, nrpn/CH/PARAM/VAL[/7][/null], ...).
bool ParseMessage(const std::string& text, Message& message)
{
  return strips::Parse(text.c_str(), message);
}

bool ParseStrip(const std::string& text, StripEdit& edit)
{
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, ':');)
    parts.push_back(part);
  long program = 0;
  long strip = 0;
  if (parts.size() < 3 || parts.size() > 4 || !ParseInt(parts[0], program) ||
      !ParseInt(parts[1], strip) || program < 0 || program > 127 || strip < 0 || strip > 15)
    return false;
  edit.program = static_cast<int>(program);
  edit.strip = static_cast<int>(strip);
  return ParseMessage(parts[2], edit.a) && (parts.size() < 4 || ParseMessage(parts[3], edit.b));
}

bool ParseRunOptions(const std::vector<std::string>& args, RunOptions& options)
{
  Arguments words(args);
  for (std::string arg; words.Next(arg);) {
    auto value = [&](std::string& out) { return words.Value(out); };
    std::string text;
    long number = 0;
    double real = 0;
    bool ok = true;
    if (ParseSyxOption(arg, words, options.sysex, ok)) {
      if (!ok)
        return false;
    } else if (arg == "--bank") {
      if (!value(options.bankFile))
        return false;
    } else if (arg == "--program") {
      if (!value(options.programFile))
        return false;
    } else if (arg == "--save-bank") {
      if (!value(options.saveBank))
        return false;
    } else if (arg == "--seconds" || arg == "--rate") {
      if (!value(text))
        return false;
      if (!ParseDouble(text, real) || real < 0 || (arg == "--rate" && real < 1000)) {
        Fail(arg + " wants a positive number, not \"" + text + "\"");
        return false;
      }
      (arg == "--seconds" ? options.seconds : options.rate) = real;
    } else if (arg == "--block") {
      if (!value(text))
        return false;
      if (!ParseInt(text, number) || number < 1 || number > 8192) {
        Fail("--block wants 1 to 8192 frames, not \"" + text + "\"");
        return false;
      }
      options.block = number;
    } else if (arg == "--spacing" || arg == "--settle") {
      if (!value(text))
        return false;
      const long most = arg == "--spacing" ? kMaxSpacingMs : kMaxSettleMs;
      if (!ParseInt(text, number) || number < 0 || number > most) {
        Fail(arg + " wants 0 to " + std::to_string(most) + " ms, not \"" + text + "\"");
        return false;
      }
      options.sets.emplace_back(arg == "--spacing" ? param::kSpacing : param::kSettle,
                                static_cast<double>(number) / static_cast<double>(most));
    } else if (arg == "--learn") {
      options.sets.emplace_back(param::kLearn, 1.0);
    } else if (arg == "--send-on-play") {
      options.sets.emplace_back(param::kSendOnPlay, 1.0);
    } else if (arg == "--no-time-info") {
      options.timeInfo = false;
    } else if (arg.rfind("--play@", 0) == 0) {
      Action action(ActionKind::Play);
      if (!ParseDouble(arg.substr(7), action.seconds) || action.seconds < 0) {
        Fail("--play@SECONDS wants a time, not \"" + arg + "\"");
        return false;
      }
      options.actions.push_back(action);
    } else if (arg == "--set") {
      if (!value(text))
        return false;
      const size_t equals = text.find('=');
      if (equals == std::string::npos || !ParseInt(text.substr(0, equals), number) ||
          !ParseDouble(text.substr(equals + 1), real)) {
        Fail("--set wants INDEX=VALUE, not \"" + text + "\"");
        return false;
      }
      options.sets.emplace_back(number, real);
    } else if (arg == "--strip") {
      StripEdit edit;
      if (!value(text))
        return false;
      if (!ParseStrip(text, edit)) {
        Fail(std::string("--strip wants PROGRAM:STRIP:A[:B] with ") + strips::ParseSyntax() +
             ", not \"" + text + "\"");
        return false;
      }
      options.strips.push_back(edit);
    } else if (arg == "--select") {
      if (!value(text))
        return false;
      Action action(ActionKind::Select);
      if (!ParseAt(text, action.program, action.seconds)) {
        Fail("--select wants PROGRAM@SECONDS, not \"" + text + "\"");
        return false;
      }
      options.actions.push_back(action);
    } else if (arg == "--midi-in") {
      if (!value(text))
        return false;
      Action action(ActionKind::Midi);
      if (!ParseMidiIn(text, action.seconds, action.bytes)) {
        Fail("--midi-in wants \"MS BYTES...\" with one to three hex bytes or a SysEx message (F0 "
             "... F7), not \"" +
             text + "\"");
        return false;
      }
      options.actions.push_back(action);
    } else if (arg.rfind("--resend@", 0) == 0) {
      Action action(ActionKind::Resend);
      if (!ParseDouble(arg.substr(9), action.seconds) || action.seconds < 0) {
        Fail("--resend@SECONDS wants a time, not \"" + arg + "\"");
        return false;
      }
      options.actions.push_back(action);
    } else {
      Fail("run does not know the option " + arg);
      return false;
    }
  }
  std::stable_sort(options.actions.begin(), options.actions.end(),
                   [](const Action& a, const Action& b) { return a.seconds < b.seconds; });
  return true;
}

// Stores the strips and puts them in use by the record's own rules (those of
// the editor's "+"), through a bank chunk: the only door a host has to the
// strip list. The chunk is read and written by the plug-in's own reader and
// writer (the model), so kinds, wide messages and SysEx go in and out by
// the plug-in's rules.
bool ApplyStrips(PluginInstance& plugin, const std::vector<StripEdit>& edits)
{
  if (edits.empty())
    return true;
  const std::vector<uint8_t> chunk = plugin.GetChunk(false);
  auto bank = std::make_unique<VSTPluginProgramBank>();
  LoadedSysEx sysex;
  bool newer = false;
  if (bank->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex) != 1 ||
      newer) {
    Fail("the plug-in's bank chunk is not one this quillet-host reads");
    return false;
  }
  for (const StripEdit& edit : edits) {
    VSTPluginProgram& program = (*bank)[edit.program];
    ProgramExtension& extension = bank->Extension(edit.program);
    if (!strips::AddStrip(program, extension, edit.strip)) {
      Fail("program " + std::to_string(edit.program) + " cannot list strip " +
           std::to_string(edit.strip));
      return false;
    }
    strips::Write(program, extension, edit.strip, 0, edit.a);
    strips::Write(program, extension, edit.strip, 1, edit.b);
  }
  const SysExSet* sets[kBankPrograms];
  for (int p = 0; p < kBankPrograms; ++p)
    sets[p] = sysex[static_cast<size_t>(p)].get();
  return plugin.SetChunk(bank->WriteBank(sets), false) == 1;
}

bool Restore(PluginInstance& plugin, const RunOptions& options)
{
  if (!options.bankFile.empty() && !RestorePresetFile(plugin, options.bankFile, true))
    return false;
  return options.programFile.empty() || RestorePresetFile(plugin, options.programFile, false);
}

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

} // namespace

int Run(int argc, char** argv)
{
  CommonOptions common;
  std::vector<std::string> rest;
  if (!ParseCommon(argc, argv, common, rest))
    return 2;
  RunOptions options;
  if (!ParseRunOptions(rest, options))
    return 2;

  PluginLibrary library(common.path);
  if (!library.Loaded())
    return Fail("cannot load " + common.path + ": " + library.Error());
  SayWhatNoDisplayMeans();
  common.config.answersTime = options.timeInfo;
  PluginInstance plugin(library, common.config);
  if (!plugin.Loaded()) {
    std::fprintf(stderr, "quillet-host: the plug-in refused to load (host product \"%s\")\n",
                 common.config.product.c_str());
    return 3;
  }

  const auto frames = static_cast<int32_t>(options.block);
  plugin.StartUp(static_cast<float>(options.rate), frames);
  if (!Restore(plugin, options) || !ApplyStrips(plugin, options.strips) ||
      !ApplySyx(plugin, options.sysex))
    return 2;
  for (const auto& [index, value] : options.sets)
    plugin.SetParameter(static_cast<int32_t>(index), static_cast<float>(value));

  std::printf("running %s for %.1f s at %.0f Hz, %d-frame blocks\n", common.path.c_str(),
              options.seconds, options.rate, frames);
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const double blockSeconds = frames / options.rate;
  const auto totalBlocks = static_cast<int64_t>(std::ceil(options.seconds / blockSeconds));
  std::vector<bool> done(options.actions.size(), false);
  size_t printed = 0;
  for (int64_t block = 0; block < totalBlocks; ++block) {
    const double blockStart = static_cast<double>(block) * blockSeconds;
    // Real time: each block runs when its time has come.
    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(blockStart)));
    // Host calls (selections, resends) happen between blocks, in the first
    // block that starts at or after their time; MIDI goes into the block
    // that contains its time, at its frame.
    for (size_t i = 0; i < options.actions.size(); ++i) {
      const Action& action = options.actions[i];
      if (done[i])
        continue;
      switch (action.kind) {
      case ActionKind::Select:
        if (action.seconds > blockStart)
          continue;
        plugin.SelectProgram(static_cast<int32_t>(action.program));
        break;
      case ActionKind::Resend:
        if (action.seconds > blockStart)
          continue;
        plugin.SetParameter(0, 1.0f);
        plugin.SetParameter(0, 0.0f);
        break;
      case ActionKind::Play:
        if (action.seconds > blockStart)
          continue;
        plugin.SetPlaying(true);
        break;
      case ActionKind::Midi: {
        if (action.seconds >= blockStart + blockSeconds)
          continue;
        const auto delta =
            static_cast<int32_t>(std::max(0.0, (action.seconds - blockStart) * options.rate));
        if (action.bytes[0] == midi::kSysExStart) {
          plugin.QueueSysEx(action.bytes, std::min(delta, frames - 1));
          break;
        }
        const uint8_t d1 = action.bytes.size() > 1 ? action.bytes[1] : 0;
        const uint8_t d2 = action.bytes.size() > 2 ? action.bytes[2] : 0;
        plugin.QueueMidi(action.bytes[0], d1, d2, std::min(delta, frames - 1));
        break;
      }
      }
      done[i] = true;
    }
    plugin.RunBlock(frames);
    const auto received = plugin.Received();
    for (; printed < received.size(); ++printed) {
      const ReceivedEvent& event = received[printed];
      const double ms = (blockStart + event.deltaFrames / options.rate) * 1000.0;
      const std::string text = event.sysex.empty()
                                   ? FormatMidi(event.bytes, MessageLength(event.bytes[0]))
                                   : FormatSysEx(event.sysex);
      std::printf("%.1f ms  %s\n", ms, text.c_str());
    }
    std::fflush(stdout);
  }

  plugin.Suspend();
  const bool exported = ExportSyx(plugin, options.sysex);
  const bool saved = options.saveBank.empty() || SaveBank(plugin, options.saveBank);
  plugin.Close();
  return saved && exported ? 0 : 2;
}

} // namespace qhost::cli
