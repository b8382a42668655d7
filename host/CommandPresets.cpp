// Preset files and MIDI texts as both quillet-host commands take them.
#include "host/CommandLine.h"

#include "files/PresetFile.h"
#include "midi/MidiBytes.h"
#include "model/SysEx.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace qhost::cli {

using files::PresetFile;
using files::WritePresetFile;

bool RestorePresetFile(PluginInstance& plugin, const std::string& path, bool bank)
{
  PresetFile preset;
  std::string error;
  if (!files::ReadPresetFileFor(path, plugin.Effect()->uniqueID, preset, error)) {
    Fail(error);
    return false;
  }
  if (preset.bank != bank) {
    Fail(path + " is a " + (preset.bank ? "bank" : "program") + " file, not a " +
         (bank ? "bank" : "program") + " file");
    return false;
  }
  if (plugin.SetChunk(preset.chunk, !bank) != 1) {
    Fail(path + ": the plug-in refused its chunk of " + std::to_string(preset.chunk.size()) +
         " bytes");
    return false;
  }
  // After a bank the host selects the bank's current program, as hosts do.
  if (bank)
    plugin.SelectProgram(std::clamp(preset.currentProgram, 0, 127));
  return true;
}

bool SaveBank(PluginInstance& plugin, const std::string& path)
{
  PresetFile preset;
  preset.bank = true;
  preset.uniqueId = plugin.Effect()->uniqueID;
  preset.pluginVersion = plugin.Effect()->version;
  preset.numPrograms = plugin.Effect()->numPrograms;
  preset.currentProgram = plugin.CurrentProgram();
  // Whatever the plug-in's chunk holds, its extension included.
  preset.chunk = plugin.GetChunk(false);
  std::string error;
  if (!WritePresetFile(path, preset, error)) {
    Fail(error);
    return false;
  }
  return true;
}

bool ParseMidiIn(const std::string& text, double& seconds, std::vector<uint8_t>& bytes)
{
  std::istringstream stream(text);
  std::string ms;
  double milliseconds = 0;
  if (!(stream >> ms) || !ParseDouble(ms, milliseconds) || milliseconds < 0)
    return false;
  seconds = milliseconds / 1000.0;
  for (std::string hex; stream >> hex;) {
    char* end = nullptr;
    const long byte = std::strtol(hex.c_str(), &end, 16);
    if (hex.size() > 2 || *end != '\0' || byte < 0 || byte > 255)
      return false;
    bytes.push_back(static_cast<uint8_t>(byte));
  }
  if (bytes.empty() || !midi::IsStatus(bytes[0]))
    return false;
  // A SysEx message (what a synth sends as its dump) is given whole.
  if (bytes[0] == midi::kSysExStart)
    return ValidSysEx(SysExView{bytes.data(), static_cast<int32_t>(bytes.size())});
  return bytes.size() <= 3;
}

} // namespace qhost::cli
