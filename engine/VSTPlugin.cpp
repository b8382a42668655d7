#include "engine/VSTPlugin.h"

#include "editor/SPluginEditor.h"
#include "engine/FieldAccess.h"
#include "engine/Parameters.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// value × k taken to single precision, then rounded half upward.
int32_t Scaled(float value, int32_t k)
{
  const float product = value * static_cast<float>(k);
  return static_cast<int32_t>(std::floor(static_cast<double>(product) + 0.5));
}

bool SwitchOn(float value) { return value > 0.5f; }

constexpr float kDelayFactor = 1.0f / 999.0f;

} // namespace

VSTPlugin::VSTPlugin(audioMasterCallback audioMaster_, int& status)
    : SPlugin(audioMaster_, status)
{
  for (int i = 0; i < kBankPrograms; ++i)
    InitProgram(bank[i], "(default)");
  InitProgram(copyBuffer, "(default)");
  for (int i = 0; i < kBankPrograms; ++i) {
    const int n = i + 1;
    const char* format = n < 10 ? "00%i - empty preset"
                         : n < 100 ? "0%i - empty preset"
                                   : "%i - empty preset";
    std::snprintf(bank[i].name, sizeof bank[i].name, format, n);
  }
  for (HeldNote& held : heldNotes)
    held = HeldNote{-1, -1, -1};
  heldNoteCount = 0;
  setProgram(0);
}

VSTPlugin::~VSTPlugin() { startTimer(false); }

void VSTPlugin::notifyEditor(int32_t index)
{
  if (!pluginEditor)
    return;
  if (!EditorClosed())
    pluginEditor->postUpdateIndexed(index);
}

void VSTPlugin::notifyEditorAll()
{
  if (!pluginEditor)
    return;
  if (!EditorClosed())
    pluginEditor->postUpdate();
}

void VSTPlugin::startTimer(bool /*start*/) {}

void VSTPlugin::sendCCData() {}

void VSTPlugin::applySwitch(uint8_t VSTPluginProgram::*option, int32_t index, float value)
{
  const uint8_t on = SwitchOn(value) ? 1 : 0;
  // The global options compare with program 0's copy.
  if ((field::Load(bank[0].*option) != 0) == (on != 0))
    return;
  for (int i = 0; i < kBankPrograms; ++i)
    field::Store(bank[i].*option, on);
  if (!on) {
    if (index == param::kSendOnInit && timerMode == 0)
      startTimer(false);
    else if (index == param::kSendOnChange && timerMode == 1)
      startTimer(false);
  }
  notifyEditor(index);
}

void VSTPlugin::applyDelay(int32_t VSTPluginProgram::*delay, int32_t index, float value)
{
  const int32_t seconds = Scaled(value, param::kDelayScale);
  for (int i = 0; i < kBankPrograms; ++i)
    field::Store(bank[i].*delay, seconds);
  notifyEditor(index);
}

void VSTPlugin::setParameter(int32_t index, float value)
{
  if (!(value >= 0.0f && value <= 1.0f))
    return;
  VSTPluginProgram& current = bank[field::Load(curProgram)];

  if (index >= param::kFormatA && index < param::kStripEnd) {
    const int32_t group = (index - param::kFormatA) / kStripsPerProgram;
    VSTPluginStrip& strip = current.strips[(index - param::kFormatA) % kStripsPerProgram];
    static constexpr int32_t scales[] = {param::kFormatScale,  param::kFormatScale,
                                         param::kChannelScale, param::kChannelScale,
                                         param::kByteScale,    param::kByteScale,
                                         param::kByteScale,    param::kByteScale};
    uint8_t* const fields[] = {&strip.formatA, &strip.formatB, &strip.channelA,
                               &strip.channelB, &strip.numberA, &strip.numberB,
                               &strip.valueA,   &strip.valueB};
    field::Store(*fields[group], static_cast<uint8_t>(Scaled(value, scales[group]) & 0xFF));
    notifyEditor(index);
    return;
  }

  switch (index) {
  case param::kResend:
  {
    const bool on = SwitchOn(value);
    if (resendState.exchange(on) != on && on)
      sendCCData();
    return;
  }
  case param::kThru:
  {
    const uint8_t on = SwitchOn(value) ? 1 : 0;
    if ((field::Load(current.midiThru) != 0) == (on != 0))
      return;
    field::Store(current.midiThru, on);
    if (!on)
      releaseRequested = true;
    notifyEditor(index);
    return;
  }
  case param::kSendOnInit:
    applySwitch(&VSTPluginProgram::sendOnInit, index, value);
    return;
  case param::kInitDelay:
    applyDelay(&VSTPluginProgram::initDelay, index, value);
    return;
  case param::kSendOnChange:
    applySwitch(&VSTPluginProgram::sendOnChange, index, value);
    return;
  case param::kChangeDelay:
    applyDelay(&VSTPluginProgram::changeDelay, index, value);
    return;
  case param::kPresetSwitching:
    applySwitch(&VSTPluginProgram::presetSwitching, index, value);
    return;
  case 136:
  case 137:
  case 138:
  case param::kCountdownState:
  case param::kCountdownTick:
  case param::kCountdownEnd:
    notifyEditor(index);
    return;
  default: // 2, negative and 142 and above
    return;
  }
}

float VSTPlugin::getParameter(int32_t index)
{
  const VSTPluginProgram& current = bank[field::Load(curProgram)];
  auto flag = [](uint8_t byte) { return byte ? 1.0f : 0.0f; };

  if (index >= param::kFormatA && index < param::kStripEnd) {
    const int32_t group = (index - param::kFormatA) / kStripsPerProgram;
    const VSTPluginStrip& strip = current.strips[(index - param::kFormatA) % kStripsPerProgram];
    static constexpr float factors[] = {0.5f, 0.5f, 0.0625f, 0.0625f,
                                        0.0078125f, 0.0078125f, 0.0078125f, 0.0078125f};
    const uint8_t* const fields[] = {&strip.formatA, &strip.formatB, &strip.channelA,
                                     &strip.channelB, &strip.numberA, &strip.numberB,
                                     &strip.valueA,   &strip.valueB};
    return static_cast<float>(field::Load(*fields[group])) * factors[group];
  }

  switch (index) {
  case param::kResend:
    return resendState ? 1.0f : 0.0f;
  case param::kThru:
    return flag(field::Load(current.midiThru));
  case param::kSendOnInit:
    return flag(field::Load(current.sendOnInit));
  case param::kInitDelay:
    return static_cast<float>(field::Load(current.initDelay)) * kDelayFactor;
  case param::kSendOnChange:
    return flag(field::Load(current.sendOnChange));
  case param::kChangeDelay:
    return static_cast<float>(field::Load(current.changeDelay)) * kDelayFactor;
  case param::kPresetSwitching:
    return flag(field::Load(current.presetSwitching));
  default:
    return 0.0f;
  }
}

void VSTPlugin::getParameterName(int32_t index, char* text)
{
  if (index == param::kResend)
    std::strcpy(text, "AC: Resend");
  else if (index == param::kThru)
    std::strcpy(text, "OP: Thru");
  else
    text[0] = '\0';
}

void VSTPlugin::getParameterDisplay(int32_t index, char* text)
{
  if (index == param::kResend || index == param::kThru)
    std::strcpy(text, getParameter(index) > 0.5f ? "On" : "Off");
  else
    text[0] = '\0';
}

void VSTPlugin::getParameterLabel(int32_t /*index*/, char* label) { label[0] = '\0'; }

void VSTPlugin::getProgramName(char* name)
{
  std::memcpy(name, bank[field::Load(curProgram)].name, kProgramNameSize);
  name[kProgramNameSize - 1] = '\0';
}

bool VSTPlugin::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text)
{
  if (index < 0 || index >= kBankPrograms)
    return false;
  std::memcpy(text, bank[index].name, kProgramNameSize);
  text[kProgramNameSize - 1] = '\0';
  return true;
}

void VSTPlugin::setProgramName(char* name)
{
  // Longer names are cut to 47 characters (in the caller's text too).
  if (strnlen(name, kProgramNameSize) >= kProgramNameSize - 1)
    name[kProgramNameSize - 1] = '\0';
  char* target = bank[field::Load(curProgram)].name;
  std::memset(target, 0, kProgramNameSize);
  std::strncpy(target, name, kProgramNameSize - 1);
  notifyEditorAll();
}

void VSTPlugin::setSampleRate(float rate) { sampleRate = rate; }

void VSTPlugin::setBlockSize(int32_t size) { blockSize = size; }

void VSTPlugin::setProgram(int32_t program)
{
  if (program < 0 || program >= kBankPrograms)
    return;
  field::Store(curProgram, program);
  notifyEditorAll();

  if (!firstProgramPending)
    skipChangeSend = false;
  firstProgramPending = false;
  chunkJustLoaded = false;
  if (!field::Load(bank[program].midiThru))
    releaseRequested = true;
}

void VSTPlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames)
{
  if (Suspended() || sampleFrames <= 0)
    return;
  for (int channel = 0; channel < 2; ++channel)
    std::memcpy(outputs[channel], inputs[channel], sizeof(float) * sampleFrames);
}

void VSTPlugin::process(float** inputs, float** outputs, int32_t sampleFrames)
{
  if (Suspended() || sampleFrames <= 0)
    return;
  for (int channel = 0; channel < 2; ++channel) {
    const float* in = inputs[channel];
    float* out = outputs[channel];
    for (int32_t i = 0; i < sampleFrames; ++i)
      out[i] += in[i];
  }
}
