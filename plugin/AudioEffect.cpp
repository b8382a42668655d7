#include "plugin/AudioEffect.h"

#include "plugin/AEffEditor.h"

#include <cmath>
#include <cstdio>
#include <cstring>

VstIntPtr dispatchEffectClass(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                              void* ptr, float opt)
{
  AudioEffect* object = AudioEffect::FromEffect(effect);
  if (!object)
    return 0;
  if (opcode == effClose) {
    object->dispatcher(opcode, index, value, ptr, opt);
    delete object;
    return 1;
  }
  return object->dispatcher(opcode, index, value, ptr, opt);
}

float getParameterClass(AEffect* effect, int32_t index)
{
  AudioEffect* object = AudioEffect::FromEffect(effect);
  return object ? object->getParameter(index) : 0.0f;
}

void setParameterClass(AEffect* effect, int32_t index, float value)
{
  if (AudioEffect* object = AudioEffect::FromEffect(effect))
    object->setParameter(index, value);
}

void processClass(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames)
{
  if (AudioEffect* object = AudioEffect::FromEffect(effect))
    object->process(inputs, outputs, sampleFrames);
}

void processClassReplacing(AEffect* effect, float** inputs, float** outputs,
                           int32_t sampleFrames)
{
  if (AudioEffect* object = AudioEffect::FromEffect(effect))
    object->processReplacing(inputs, outputs, sampleFrames);
}

AudioEffect::AudioEffect(audioMasterCallback audioMaster_, int32_t numPrograms_,
                         int32_t numParams_)
    : audioMaster(audioMaster_), numPrograms(numPrograms_), numParams(numParams_)
{
  std::memset(&cEffect, 0, sizeof cEffect);
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = dispatchEffectClass;
  cEffect.process = processClass;
  cEffect.setParameter = setParameterClass;
  cEffect.getParameter = getParameterClass;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.flags = 0;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.user = nullptr;
  cEffect.uniqueID = FourCC('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect()
{
  delete editor;
  editor = nullptr;
}

VstIntPtr AudioEffect::callHost(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                float opt)
{
  if (!audioMaster)
    return 0;
  return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setFlag(int32_t bit, bool state)
{
  if (state)
    cEffect.flags |= bit;
  else
    cEffect.flags &= ~bit;
}

void AudioEffect::setParameterAutomated(int32_t index, float value)
{
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                  float opt)
{
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
  case effOpen:
    open();
    return 0;
  case effClose:
    close();
    return 0;
  case effSetProgram:
    if (value < numPrograms)
      setProgram(static_cast<int32_t>(value));
    return 0;
  case effGetProgram:
    return getProgram();
  case effSetProgramName:
    if (text)
      setProgramName(text);
    return 0;
  case effGetProgramName:
    if (text)
      getProgramName(text);
    return 0;
  case effGetParamLabel:
    if (text)
      getParameterLabel(index, text);
    return 0;
  case effGetParamDisplay:
    if (text)
      getParameterDisplay(index, text);
    return 0;
  case effGetParamName:
    if (text)
      getParameterName(index, text);
    return 0;
  case effGetVu:
    return static_cast<int32_t>(getVu() * 32767.0f);
  case effSetSampleRate:
    setSampleRate(opt);
    return 0;
  case effSetBlockSize:
    setBlockSize(static_cast<int32_t>(value));
    return 0;
  case effMainsChanged:
    if (value)
      resume();
    else
      suspend();
    return 0;
  case effEditGetRect:
    return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
  case effEditOpen:
    return editor ? editor->open(ptr) : 0;
  case effEditClose:
    if (editor)
      editor->close();
    return 0;
  case effEditIdle:
    if (editor)
      editor->idle();
    return 0;
  case effIdentify:
    return FourCC('N', 'v', 'E', 'f');
  case effGetChunk:
    return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
  case effSetChunk:
    return setChunk(ptr, static_cast<int32_t>(value), index != 0);
  default:
    return 0;
  }
}

int32_t AudioEffect::getMasterVersion()
{
  const VstIntPtr version = callHost(audioMasterVersion);
  return version == 0 ? 1 : static_cast<int32_t>(version);
}

int32_t AudioEffect::getCurrentUniqueId()
{
  return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(int32_t input)
{
  return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output)
{
  return callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::dB2string(float value, char* text)
{
  if (value <= 0.0f)
    std::strcpy(text, "-oo");
  else
    float2string(static_cast<float>(20.0 * std::log10(value)), text);
}

void AudioEffect::Hz2string(float samples, char* text)
{
  const float rate = getSampleRate();
  if (samples == 0.0f)
    float2string(0.0f, text);
  else
    float2string(rate / samples, text);
}

void AudioEffect::ms2string(float samples, char* text)
{
  // A host that never set a sample rate (or set 0) gives no duration.
  const double rate = getSampleRate();
  if (rate == 0.0) {
    std::strcpy(text, "Huge!");
    return;
  }
  float2string(static_cast<float>(samples * 1000.0 / rate), text);
}

// A fixed-width decimal of 8 digit positions (the sign takes one): the
// integer digits first, then as many fraction digits as positions remain.
void AudioEffect::float2string(float value, char* text)
{
  const bool negative = value < 0.0f;
  const double magnitude = std::fabs(static_cast<double>(value));
  // NaN fits no digit positions either: it is told like a value too large.
  if (std::isnan(magnitude) || (negative && magnitude > 9999999.0) ||
      (!negative && magnitude > 99999999.0)) {
    std::strcpy(text, "Huge!");
    return;
  }

  int positions = negative ? 3 : 2;
  char digits[32];
  int count = 0;
  double quotient = std::floor(magnitude);
  do {
    digits[count++] = static_cast<char>('0' + static_cast<int>(std::fmod(quotient, 10.0)));
    quotient = std::floor(quotient / 10.0);
    ++positions;
  } while (quotient >= 1.0 && positions <= 8);

  char* out = text;
  if (negative)
    *out++ = '-';
  while (count > 0)
    *out++ = digits[--count];
  *out++ = '.';

  if (positions <= 8) {
    const int fractionDigits = 8 - positions + 1;
    double fraction = std::fmod(magnitude, 1.0) * std::pow(10.0, fractionDigits);
    fraction = std::floor(fraction);
    char tail[16];
    for (int i = fractionDigits - 1; i >= 0; --i) {
      if (fraction > 0.0) {
        tail[i] = static_cast<char>('0' + static_cast<int>(std::fmod(fraction, 10.0)));
        fraction = std::floor(fraction / 10.0);
      } else {
        tail[i] = '0';
      }
    }
    std::memcpy(out, tail, static_cast<size_t>(fractionDigits));
    out += fractionDigits;
  }
  *out = '\0';
}

void AudioEffect::long2string(int32_t value, char* text)
{
  if (value > 99999999) {
    std::strcpy(text, "Huge!");
    return;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%7d", value);
  buffer[8] = '\0';
  std::strcpy(text, buffer);
}
