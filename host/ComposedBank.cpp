#include "host/ComposedBank.h"

#include "files/PresetFile.h"
#include "model/Parameters.h"
#include "model/SysExVerify.h"
#include "model/VSTPluginProgramBank.h"

#include <algorithm>
#include <memory>

namespace qhost::cli {

namespace {

using files::PresetFile;

// The bank as it is composed, with each program's SysEx and the program
// the host selects after the restore.
struct Composed
{
  std::unique_ptr<VSTPluginProgramBank> bank = std::make_unique<VSTPluginProgramBank>();
  LoadedSysEx sysex;
  int current = 0;
  // The chunk as it came, restored unchanged when nothing else is composed
  // (a chunk of a newer version keeps what only that version reads).
  std::vector<uint8_t> original;
};

bool ReadPreset(PluginInstance& plugin, const std::string& path, bool bank, PresetFile& preset)
{
  std::string error;
  if (!files::ReadPresetFileOfKind(path, plugin.Effect()->uniqueID, bank, preset, error)) {
    Fail(error);
    return false;
  }
  return true;
}

bool Refused(const std::string& path, size_t bytes)
{
  Fail(path + ": the plug-in refused its chunk of " + std::to_string(bytes) + " bytes");
  return false;
}

bool Newer(const std::string& path)
{
  Fail(path + " comes from a newer version of the plug-in: composing it with other options "
              "would lose what only that version reads (load it alone)");
  return false;
}

bool StartFrom(PluginInstance& plugin, const HostOptions& options, bool edits, Composed& state)
{
  std::string source = "the plug-in's bank";
  if (options.bankFile.empty()) {
    state.original = plugin.GetChunk(false);
    state.current = plugin.CurrentProgram();
  } else {
    PresetFile preset;
    if (!ReadPreset(plugin, options.bankFile, true, preset))
      return false;
    state.original = std::move(preset.chunk);
    state.current = std::clamp(preset.currentProgram, 0, kBankPrograms - 1);
    source = options.bankFile;
  }
  bool newer = false;
  if (state.bank->readBank(state.original.data(), static_cast<int32_t>(state.original.size()),
                           newer, &state.sysex) != 1)
    return Refused(source, state.original.size());
  return !(newer && edits) || Newer(source);
}

bool LoadProgram(PluginInstance& plugin, const std::string& path, Composed& state)
{
  PresetFile preset;
  if (!ReadPreset(plugin, path, false, preset))
    return false;
  bool newer = false;
  if (state.bank->readProgram(preset.chunk.data(), static_cast<int32_t>(preset.chunk.size()),
                              state.current, newer, &state.sysex[state.current]) != 1)
    return Refused(path, preset.chunk.size());
  return !newer || Newer(path);
}

// Strips go in use by the record's own rules (those of the editor's "+").
bool ApplyStrips(const std::vector<StripEdit>& edits, Composed& state)
{
  for (const StripEdit& edit : edits) {
    VSTPluginProgram& program = (*state.bank)[edit.program];
    ProgramExtension& extension = state.bank->Extension(edit.program);
    if (!strips::AddStrip(program, extension, edit.strip)) {
      Fail("program " + std::to_string(edit.program) + " cannot list strip " +
           std::to_string(edit.strip));
      return false;
    }
    strips::Write(program, extension, edit.strip, 0, edit.a);
    strips::Write(program, extension, edit.strip, 1, edit.b);
  }
  return true;
}

uint8_t Switch(float value)
{
  return param::SwitchOn(value) ? 1 : 0;
}

// A program field, as the plug-in's setParameter stores it.
void StoreProgramField(VSTPluginProgramBank& bank, int p, int32_t index, float value)
{
  VSTPluginProgram& program = bank[p];
  ProgramExtension& extension = bank.Extension(p);
  if (param::IsStripIndex(index)) {
    const int32_t group = param::GroupOf(index);
    const auto byte = static_cast<uint8_t>(
        param::Encode(value, param::kStripFields[group].encoding.scale) & 0xFF);
    strips::StoreField(program, extension, param::StripOf(index), group % 2, group / 2, byte);
  } else if (param::IsKindIndex(index)) {
    strips::SetKind(program, extension, param::KindStripOf(index), param::KindMessageOf(index),
                    strips::KindFromParameter(value));
  } else if (param::IsWideIndex(index)) {
    strips::StoreWide(extension, param::WideStripOf(index), param::WideMessageOf(index),
                      param::WideFieldOf(index),
                      static_cast<uint16_t>(param::Encode(value, param::EncodingOf(index).scale)));
  } else {
    switch (index) {
    case param::kThru:
      field::Store(program.midiThru, Switch(value));
      break;
    case param::kSendOnInit:
      field::Store(program.sendOnInit, Switch(value));
      break;
    case param::kSendOnChange:
      field::Store(program.sendOnChange, Switch(value));
      break;
    case param::kPresetSwitching:
      field::Store(program.presetSwitching, Switch(value));
      break;
    case param::kInitDelay:
      field::Store(program.initDelay, param::Encode(value, param::kDelay.scale));
      break;
    case param::kChangeDelay:
      field::Store(program.changeDelay, param::Encode(value, param::kDelay.scale));
      break;
    default:
      break;
    }
  }
}

void StoreBankSetting(VSTPluginProgramBank& bank, int32_t index, float value)
{
  ExtensionSettings& settings = bank.Settings();
  const int32_t stored = param::Encode(value, param::EncodingOf(index).scale);
  switch (index) {
  case param::kSpacing:
    field::Store(settings.spacingMs, stored);
    break;
  case param::kSettle:
    field::Store(settings.settleMs, stored);
    break;
  case param::kSysExGap:
    field::Store(settings.sysexGapMs, ClampMs(stored, kMaxSysExGapMs));
    break;
  case param::kSendOnPlay:
    field::Store(settings.sendOnPlay, Switch(value));
    break;
  default:
    StoreSendSetting(settings, index, value);
    break;
  }
}

void ApplyStored(const std::vector<ParameterSet>& sets, Composed& state)
{
  for (const ParameterSet& set : sets) {
    switch (ScopeOf(set.index)) {
    case ParameterScope::Program:
      StoreProgramField(*state.bank, set.program >= 0 ? set.program : state.current, set.index,
                        set.value);
      break;
    case ParameterScope::AllPrograms:
      if (set.program >= 0) {
        StoreProgramField(*state.bank, set.program, set.index, set.value);
      } else {
        for (int p = 0; p < kBankPrograms; ++p)
          StoreProgramField(*state.bank, p, set.index, set.value);
      }
      break;
    case ParameterScope::Bank:
      StoreBankSetting(*state.bank, set.index, set.value);
      break;
    case ParameterScope::Live:
    case ParameterScope::None:
      break;
    }
  }
}

} // namespace

ParameterScope ScopeOf(int32_t index)
{
  if (param::IsStripIndex(index) || param::IsKindIndex(index) || param::IsWideIndex(index) ||
      index == param::kThru)
    return ParameterScope::Program;
  switch (index) {
  case param::kSendOnInit:
  case param::kInitDelay:
  case param::kSendOnChange:
  case param::kChangeDelay:
  case param::kPresetSwitching:
    return ParameterScope::AllPrograms;
  case param::kSpacing:
  case param::kSettle:
  case param::kSendOnPlay:
  case param::kSysExGap:
  case param::kVerifyTime:
  case param::kRetries:
  case param::kChangesOnly:
  case param::kDinSpeed:
    return ParameterScope::Bank;
  case param::kResend:
  case param::kLearn:
    return ParameterScope::Live;
  default:
    return ParameterScope::None;
  }
}

std::string SettableIndices()
{
  // Runs of the indices with a scope, read off ScopeOf itself.
  std::string text;
  int32_t first = -1;
  for (int32_t index = 0; index <= param::kSendSettingsEnd; ++index) {
    const bool settable = index < param::kSendSettingsEnd && ScopeOf(index) != ParameterScope::None;
    if (settable && first < 0)
      first = index;
    if (!settable && first >= 0) {
      if (!text.empty())
        text += ", ";
      text += std::to_string(first);
      if (index - 1 > first)
        text += (index - 1 == first + 1 ? ", " : "-") + std::to_string(index - 1);
      first = -1;
    }
  }
  return text;
}

bool ComposesState(const HostOptions& options)
{
  return !options.bankFile.empty() || !options.programFile.empty() || !options.strips.empty() ||
         !options.stored.empty() || options.sysex.Imports();
}

bool RestoreComposed(PluginInstance& plugin, const HostOptions& options)
{
  if (ComposesState(options)) {
    const bool edits = !options.programFile.empty() || !options.strips.empty() ||
                       !options.stored.empty() || options.sysex.Imports();
    Composed state;
    if (!StartFrom(plugin, options, edits, state))
      return false;
    if (!options.programFile.empty() && !LoadProgram(plugin, options.programFile, state))
      return false;
    if (!ApplyStrips(options.strips, state) || !ApplySyx(options.sysex, state.sysex))
      return false;
    ApplyStored(options.stored, state);
    std::vector<uint8_t> chunk = std::move(state.original);
    if (edits) {
      const SysExSet* sets[kBankPrograms];
      for (int p = 0; p < kBankPrograms; ++p)
        sets[p] = state.sysex[static_cast<size_t>(p)].get();
      chunk = state.bank->WriteBank(sets);
    }
    if (plugin.SetChunk(chunk, false) != 1)
      return Refused(options.bankFile.empty() ? "the composed bank" : options.bankFile,
                     chunk.size());
    // The host's selection after a bank: the restore that fires the send on
    // init, with everything above in place.
    plugin.SelectProgram(state.current);
  }
  for (const ParameterSet& set : options.live) {
    if (set.seconds < 0)
      plugin.SetParameter(set.index, set.value);
  }
  return true;
}

namespace {

// Writes the plug-in's bank or current program as a preset file.
bool SavePreset(PluginInstance& plugin, const std::string& path, bool bank)
{
  PresetFile preset;
  preset.bank = bank;
  preset.uniqueId = plugin.Effect()->uniqueID;
  preset.pluginVersion = plugin.Effect()->version;
  preset.numPrograms = plugin.Effect()->numPrograms;
  if (bank)
    preset.currentProgram = plugin.CurrentProgram();
  else
    preset.name = plugin.ProgramName();
  // Whatever the plug-in's chunk holds, its extension included.
  preset.chunk = plugin.GetChunk(!bank);
  std::string error;
  if (!files::WritePresetFile(path, preset, error)) {
    Fail(error);
    return false;
  }
  return true;
}

} // namespace

bool SaveBank(PluginInstance& plugin, const std::string& path)
{
  return SavePreset(plugin, path, true);
}

bool SaveProgram(PluginInstance& plugin, const std::string& path)
{
  return SavePreset(plugin, path, false);
}

} // namespace qhost::cli
