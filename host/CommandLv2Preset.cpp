// quillet-host lv2-preset: a bank file as an LV2 preset bundle, and back.
//
//   lv2-preset BANK.fxb NAME [--folder DIR]
//       writes DIR/Quillet_NAME.lv2/ (DIR: ~/.lv2 by default), whose preset
//       holds the bank as the LV2 edition's state: the bank chunk as the
//       plug-in's own state save would hold it after loading the file (read
//       and written again by the model's rules) and the bank's current
//       program;
//   lv2-preset --extract PRESET.ttl OUT.fxb
//       writes the state's bank of a preset (one a host saved) as a bank
//       file.
//
// Neither loads the plug-in: the files and the model's chunk rules are all
// it takes. Threads: quillet-host's main thread only.
#include "files/Lv2Preset.h"
#include "files/PresetFile.h"
#include "host/CommandLine.h"
#include "host/HostOptions.h"
#include "model/VSTPluginProgramBank.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace qhost::cli {

namespace {

// The bank chunk as the plug-in saves it once it has loaded `chunk`; false
// with the reason when it would refuse it or lose part of it.
bool AsSaved(const std::string& path, std::vector<uint8_t>& chunk)
{
  auto bank = std::make_unique<VSTPluginProgramBank>();
  LoadedSysEx sysex;
  bool newer = false;
  if (bank->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex) != 1) {
    Fail(path + ": its chunk of " + std::to_string(chunk.size()) +
         " bytes is no bank the plug-in reads");
    return false;
  }
  if (newer) {
    Fail(path + ": its bank comes from a newer version of the plug-in, whose settings this one "
                "would lose");
    return false;
  }
  const SysExSet* sets[kBankPrograms];
  for (int p = 0; p < kBankPrograms; ++p)
    sets[p] = sysex[static_cast<size_t>(p)].get();
  chunk = bank->WriteBank(sets);
  return true;
}

int Write(const HostOptions& options)
{
  const std::string& path = options.positional[0];
  const std::string& name = options.positional[1];
  if (name.empty())
    return Fail("lv2-preset wants a preset name that is not empty");
  files::PresetFile preset;
  std::string error;
  if (!files::ReadPresetFileFor(path, quillet::kUniqueId, preset, error))
    return Fail(error);
  if (!preset.bank)
    return Fail(path + " is a program file, not a bank file");
  files::Lv2PresetState state;
  state.label = name;
  state.bank = std::move(preset.chunk);
  state.program = std::clamp(preset.currentProgram, 0, kBankPrograms - 1);
  if (!AsSaved(path, state.bank))
    return 2;
  std::string folder = options.folder;
  if (folder.empty()) {
    const char* home = std::getenv("HOME");
    if (!home || !*home)
      return Fail("HOME is not set, so there is no ~/.lv2: give --folder DIR");
    folder = std::string(home) + "/.lv2";
  }
  std::string written;
  if (!files::WriteLv2Preset(folder, state, written, error))
    return Fail(error);
  std::printf("wrote the LV2 preset \"%s\" (program %d, a %zu-byte bank) to %s\n", name.c_str(),
              state.program, state.bank.size(), written.c_str());
  return 0;
}

int Extract(const HostOptions& options)
{
  const std::string& path = options.positional[0];
  const std::string& out = options.positional[1];
  files::Lv2PresetState state;
  std::string error;
  if (!files::ReadLv2Preset(path, state, error))
    return Fail(error);
  std::vector<uint8_t> checked = state.bank;
  if (!AsSaved(path, checked))
    return 2;
  files::PresetFile preset;
  preset.bank = true;
  preset.uniqueId = quillet::kUniqueId;
  preset.pluginVersion = quillet::kEffectVersion;
  preset.numPrograms = quillet::kNumPrograms;
  preset.currentProgram = state.program;
  // The bank as the preset holds it, byte for byte.
  preset.chunk = std::move(state.bank);
  if (!files::WritePresetFile(out, preset, error))
    return Fail(error);
  std::printf("wrote the bank of \"%s\" (program %d, a %zu-byte bank) to %s\n", state.label.c_str(),
              state.program, preset.chunk.size(), out.c_str());
  return 0;
}

} // namespace

int Lv2Preset(const HostOptions& options)
{
  return options.extract ? Extract(options) : Write(options);
}

} // namespace qhost::cli
