#include "engine/VSTPluginProgramBank.h"

#include "plugin/PluginInfo.h"
#include "plugin/SPlugin.h"
#include "support/data/datastring.h"

#include <cstring>

namespace {

// The trailer of the older bank, by offset from the start of the chunk.
constexpr int32_t kTrailerPresetSwitching = 33796;
constexpr int32_t kTrailerSendOnChange = 33797;
constexpr int32_t kTrailerSendOnInit = 33798;
constexpr int32_t kTrailerChangeDelay = 33800;
constexpr int32_t kTrailerInitDelay = 33804;

int32_t ReadInt32(const uint8_t* bytes)
{
  // Chunks are little-endian, like the machines the plug-in runs on.
  int32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

} // namespace

void ShowNewerVersionMessage(const char* first)
{
  vexo::data::datastring<32, char> text;
  text.Append(first);
  text.Append("\n(Reason: ");
  text.Append("Saved with newer version");
  text.Append("\nThis version = ");
  text.Append(32, "%.2f", kPluginVersion * 0.01);
  text.Append("\nSome settings will be lost !)");
  SPlugin::ShowMessage(text.Text());
}

void VSTPluginProgramBank::Tidy(VSTPluginProgram& program)
{
  program.name[kProgramNameSize - 1] = '\0';
  std::memset(program.alignment, 0, sizeof program.alignment);
}

VSTPluginProgram VSTPluginProgramBank::Incoming(int index, const uint8_t* bytes, int32_t size) const
{
  // The chunk's bytes go over a snapshot of the live record, so that an
  // older layout keeps the fields after its end.
  VSTPluginProgram incoming;
  CopyProgram(incoming, programs[index]);
  std::memcpy(&incoming, bytes, static_cast<size_t>(size));
  Tidy(incoming);
  return incoming;
}

int32_t VSTPluginProgramBank::readBank(const void* data, int32_t size)
{
  if (!data || size < 0)
    return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);

  if (size == kOlderBankBytes) {
    const uint8_t presetSwitching = bytes[kTrailerPresetSwitching];
    const uint8_t sendOnChange = bytes[kTrailerSendOnChange];
    const uint8_t sendOnInit = bytes[kTrailerSendOnInit];
    const int32_t changeDelay = ReadInt32(bytes + kTrailerChangeDelay);
    const int32_t initDelay = ReadInt32(bytes + kTrailerInitDelay);
    for (int i = 0; i < kBankPrograms; ++i) {
      VSTPluginProgram program = Incoming(i, bytes + i * kOlderProgramBytes, kOlderProgramBytes);
      program.presetSwitching = presetSwitching;
      program.sendOnChange = sendOnChange;
      program.sendOnInit = sendOnInit;
      program.changeDelay = changeDelay;
      program.initDelay = initDelay;
      CopyProgram(programs[i], program);
    }
    return 1;
  }

  // A bank between the older and the current size holds fewer than 128 full
  // records: it is refused like a short one rather than read past its end.
  if (size < kBankBytes)
    return 0;

  for (int i = 0; i < kBankPrograms; ++i)
    CopyProgram(programs[i], Incoming(i, bytes + i * kProgramBytes, kProgramBytes));
  if (size > kBankBytes)
    ShowNewerVersionMessage("Failed to load bank");
  return 1;
}

int32_t VSTPluginProgramBank::readProgram(const void* data, int32_t size, int index)
{
  if (!data || size < 0 || index < 0 || index >= kBankPrograms)
    return 0;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (size == kOlderProgramBytes) {
    // The options after the older layout keep their values.
    CopyProgram(programs[index], Incoming(index, bytes, kOlderProgramBytes));
    return 1;
  }
  // Sizes between the two layouts cannot be read without going past the end
  // of the chunk: refused like a short one.
  if (size < kProgramBytes)
    return 0;
  CopyProgram(programs[index], Incoming(index, bytes, kProgramBytes));
  if (size > kProgramBytes)
    ShowNewerVersionMessage("Failed to load program");
  return 1;
}
