#include "plugin/AudioEffectX.h"

#include "plugin/AEffEditor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// The key modifier a host passes as a float: its integer part, low 8 bits.
// NaN and values that no int holds give no modifier rather than undefined
// behaviour.
uint8_t ModifierByte(float opt)
{
  if (!(opt > -2147483648.0f && opt < 2147483648.0f))
    return 0;
  return static_cast<uint8_t>(static_cast<int>(opt));
}

} // namespace

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster_, int32_t numPrograms_,
                           int32_t numParams_)
    : AudioEffect(audioMaster_, numPrograms_, numParams_)
{
}

VstIntPtr AudioEffectX::dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                   float opt)
{
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
  case effProcessEvents:
    return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
  case effCanBeAutomated:
    return canParameterBeAutomated(index) ? 1 : 0;
  case effString2Parameter:
    return string2parameter(index, text) ? 1 : 0;
  case effGetNumProgramCategories:
    return getNumCategories();
  case effGetProgramNameIndexed:
    return text && getProgramNameIndexed(static_cast<int32_t>(value), index, text) ? 1 : 0;
  case effCopyProgram:
    return copyProgram(index) ? 1 : 0;
  case effConnectInput:
    inputConnected(index, value != 0);
    return 1;
  case effConnectOutput:
    outputConnected(index, value != 0);
    return 1;
  case effGetInputProperties:
    return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
  case effGetOutputProperties:
    return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
  case effGetPlugCategory:
    return getPlugCategory();
  case effGetCurrentPosition:
    return reportCurrentPosition();
  case effGetDestinationBuffer:
    return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
  case effOfflineNotify:
    return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<int32_t>(value),
                         index != 0)
               ? 1
               : 0;
  case effOfflinePrepare:
    return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value)) ? 1
                                                                                          : 0;
  case effOfflineRun:
    return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value)) ? 1 : 0;
  case effProcessVarIo:
    return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
  case effSetSpeakerArrangement:
    return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                 static_cast<VstSpeakerArrangement*>(ptr))
               ? 1
               : 0;
  case effSetBlockSizeAndSampleRate:
    setBlockSizeAndSampleRate(static_cast<int32_t>(value), opt);
    return 1;
  case effSetBypass:
    return setBypass(value != 0) ? 1 : 0;
  case effGetEffectName:
    return text && getEffectName(text) ? 1 : 0;
  case effGetErrorText:
    return text && getErrorText(text) ? 1 : 0;
  case effGetVendorString:
    return text && getVendorString(text) ? 1 : 0;
  case effGetProductString:
    return text && getProductString(text) ? 1 : 0;
  case effGetVendorVersion:
    return getVendorVersion();
  case effVendorSpecific:
    return vendorSpecific(index, value, ptr, opt);
  case effCanDo:
    return text ? canDo(text) : 0;
  case effGetTailSize:
    return getGetTailSize();
  case effIdle:
    return fxIdle();
  case effGetIcon:
    return reinterpret_cast<VstIntPtr>(getIcon());
  case effSetViewPosition:
    return setViewPosition(index, static_cast<int32_t>(value)) ? 1 : 0;
  case effGetParameterProperties:
    return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
  case effKeysRequired:
    return keysRequired() ? 0 : 1;
  case effGetVstVersion:
    return getVstVersion();
  case effEditKeyDown:
  case effEditKeyUp:
  {
    if (!editor)
      return 0;
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<uint8_t>(value);
    key.modifier = ModifierByte(opt);
    return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
  }
  case effSetEditKnobMode:
    return editor ? editor->setKnobMode(static_cast<int>(value)) : 0;
  case effGetMidiProgramName:
    return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
  case effGetCurrentMidiProgram:
    return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
  case effGetMidiProgramCategory:
    return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
  case effHasMidiProgramsChanged:
    return hasMidiProgramsChanged(index) ? 1 : 0;
  case effGetMidiKeyName:
    return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
  case effBeginSetProgram:
    return beginSetProgram() ? 1 : 0;
  case effEndSetProgram:
    return endSetProgram() ? 1 : 0;
  case effGetSpeakerArrangement:
    return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                 static_cast<VstSpeakerArrangement**>(ptr))
               ? 1
               : 0;
  case effShellGetNextPlugin:
    return getNextShellPlugin(text);
  case effStartProcess:
    return startProcess();
  case effStopProcess:
    return stopProcess();
  case effSetTotalSampleToProcess:
    return setTotalSampleToProcess(static_cast<int32_t>(value));
  case effSetPanLaw:
    return setPanLaw(static_cast<int32_t>(value), opt) ? 1 : 0;
  case effBeginLoadBank:
    return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
  case effBeginLoadProgram:
    return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
  default:
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}

void AudioEffectX::wantEvents(int32_t filter) { callHost(audioMasterWantMidi, 0, filter); }

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter)
{
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t AudioEffectX::tempoAt(int32_t position)
{
  return static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position));
}

int32_t AudioEffectX::getNumAutomatableParameters()
{
  return static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}

int32_t AudioEffectX::getParameterQuantization()
{
  return static_cast<int32_t>(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }

bool AudioEffectX::sizeWindow(int32_t width, int32_t height)
{
  return callHost(audioMasterSizeWindow, width, height) != 0;
}

double AudioEffectX::updateSampleRate()
{
  const VstIntPtr rate = callHost(audioMasterGetSampleRate);
  if (rate > 0)
    sampleRate = static_cast<float>(rate);
  return sampleRate;
}

int32_t AudioEffectX::updateBlockSize()
{
  const VstIntPtr size = callHost(audioMasterGetBlockSize);
  if (size > 0)
    blockSize = static_cast<int32_t>(size);
  return blockSize;
}

int32_t AudioEffectX::getInputLatency()
{
  return static_cast<int32_t>(callHost(audioMasterGetInputLatency));
}

int32_t AudioEffectX::getOutputLatency()
{
  return static_cast<int32_t>(callHost(audioMasterGetOutputLatency));
}

AEffect* AudioEffectX::getPreviousPlug(int32_t input)
{
  return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug, 0, input));
}

AEffect* AudioEffectX::getNextPlug(int32_t output)
{
  return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug, 0, output));
}

int32_t AudioEffectX::getPlugCategory() { return (cEffect.flags & effFlagsIsSynth) ? 2 : 0; }

int32_t AudioEffectX::willProcessReplacing()
{
  return static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}

int32_t AudioEffectX::getCurrentProcessLevel()
{
  return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

int32_t AudioEffectX::getAutomationState()
{
  return static_cast<int32_t>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::offlineRead(VstOfflineTask* task, int32_t option, bool readSource)
{
  return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* task, int32_t option)
{
  return callHost(audioMasterOfflineWrite, 0, option, task) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* files, int32_t numAudioFiles,
                                int32_t numNewAudioFiles)
{
  return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, files) != 0;
}

int32_t AudioEffectX::offlineGetCurrentPass()
{
  return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

int32_t AudioEffectX::offlineGetCurrentMetaPass()
{
  return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void AudioEffectX::setOutputSamplerate(float rate)
{
  callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement()
{
  return reinterpret_cast<VstSpeakerArrangement*>(
      callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement()
{
  return reinterpret_cast<VstSpeakerArrangement*>(
      callHost(audioMasterGetOutputSpeakerArrangement));
}

bool AudioEffectX::getHostVendorString(char* text)
{
  return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text)
{
  return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t AudioEffectX::getHostVendorVersion()
{
  return static_cast<int32_t>(callHost(audioMasterGetVendorVersion));
}

VstIntPtr AudioEffectX::hostVendorSpecific(int32_t index, VstIntPtr value, void* ptr, float opt)
{
  return callHost(audioMasterVendorSpecific, index, value, ptr, opt);
}

int32_t AudioEffectX::canHostDo(char* text)
{
  return static_cast<int32_t>(callHost(audioMasterCanDo, 0, 0, text));
}

int32_t AudioEffectX::getHostLanguage()
{
  return static_cast<int32_t>(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::openWindow(VstWindow* window)
{
  return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window)
{
  return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void* AudioEffectX::getDirectory()
{
  return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input,
                                         VstSpeakerArrangement** output)
{
  if (input)
    *input = nullptr;
  if (output)
    *output = nullptr;
  return false;
}

bool AudioEffectX::beginEdit(int32_t index)
{
  return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int32_t index) { return callHost(audioMasterEndEdit, index) != 0; }

bool AudioEffectX::openFileSelector(VstFileSelect* select)
{
  return select && callHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select)
{
  return select && callHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath)
{
  return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
  return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

namespace {

constexpr size_t ArrangementBytes(int32_t n)
{
  return 8 + sizeof(VstSpeakerProperties) * static_cast<size_t>(n < 0 ? 0 : n);
}

} // namespace

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, int32_t n)
{
  if (!arrangement || n < 0)
    return false;
  std::free(*arrangement);
  // Never smaller than the declared record, so its fields are all in bounds.
  const size_t bytes = std::max(ArrangementBytes(n), sizeof(VstSpeakerArrangement));
  *arrangement = static_cast<VstSpeakerArrangement*>(std::calloc(1, bytes));
  if (!*arrangement)
    return false;
  (*arrangement)->numChannels = n;
  return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement)
{
  if (!arrangement)
    return false;
  std::free(*arrangement);
  *arrangement = nullptr;
  return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
  if (!to || !from)
    return false;
  std::memcpy(to, from, sizeof(VstSpeakerProperties));
  return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from)
{
  if (!to || !from || from->numChannels < 0)
    return false;
  if (!allocateArrangement(to, from->numChannels))
    return false;
  (*to)->type = from->type;
  // The blocks hold numChannels speakers, which may be more than the eight
  // the record declares.
  VstSpeakerProperties* target = (*to)->speakers;
  VstSpeakerProperties* source = from->speakers;
  for (int32_t i = 0; i < from->numChannels; ++i) {
    if (!copySpeaker(target + i, source + i))
      return false;
  }
  return true;
}
