// AudioEffect: the base of every plug-in object. It embeds the effect record
// that the host sees, turns dispatcher opcodes 0 to 24 into virtual calls and
// wraps the basic host-callback requests.
//
// Threads: the dispatcher and the parameter functions run on whichever host
// thread calls them, the processing functions on the host's audio thread.
// This layer keeps no state besides the record and the base members; the
// overrides protect their own state.
#pragma once

#include "plugin/VstInterface.h"
#include "support/threading/FieldAccess.h"

#include <cstdint>

class AEffEditor;

class AudioEffect
{
public:
  AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  virtual void setParameter(int32_t /*index*/, float /*value*/) {}
  virtual float getParameter(int32_t /*index*/) { return 0.0f; }
  // Sets the parameter and tells the host, so that it records the change.
  virtual void setParameterAutomated(int32_t index, float value);
  virtual void process(float** inputs, float** outputs, int32_t sampleFrames) = 0;
  virtual void processReplacing(float** /*inputs*/, float** /*outputs*/,
                                int32_t /*sampleFrames*/)
  {
  }
  virtual VstIntPtr dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                               float opt);
  virtual void open() {}
  virtual void close() {}
  // The program number is read by every thread; one relaxed store each.
  virtual int32_t getProgram() { return field::Load(curProgram); }
  virtual void setProgram(int32_t program) { field::Store(curProgram, program); }
  virtual void setProgramName(char* /*name*/) {}
  virtual void getProgramName(char* /*name*/) {}
  virtual void getParameterLabel(int32_t /*index*/, char* /*label*/) {}
  virtual void getParameterDisplay(int32_t /*index*/, char* /*text*/) {}
  virtual void getParameterName(int32_t /*index*/, char* /*text*/) {}
  virtual float getVu() { return 0.0f; }
  virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
  virtual int32_t setChunk(void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/) { return 0; }
  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual void setBlockSize(int32_t size) { blockSize = size; }
  virtual void suspend() {}
  virtual void resume() {}
  virtual void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
  virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
  virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
  virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
  virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
  virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
  virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
  virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
  virtual void setRealtimeQualities(int32_t qualities) { cEffect.realQualities = qualities; }
  virtual void setOfflineQualities(int32_t qualities) { cEffect.offQualities = qualities; }
  virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }
  virtual float getSampleRate() { return sampleRate; }
  virtual int32_t getBlockSize() { return blockSize; }
  // The host's version; 1 when there is no callback or it answers 0.
  virtual int32_t getMasterVersion();
  virtual int32_t getCurrentUniqueId();
  virtual void masterIdle();
  // True when the host does not answer (0 means connected).
  virtual bool isInputConnected(int32_t input);
  virtual bool isOutputConnected(int32_t output);
  virtual void dB2string(float value, char* text);
  virtual void Hz2string(float samples, char* text);
  virtual void ms2string(float samples, char* text);
  virtual void float2string(float value, char* text);
  virtual void long2string(int32_t value, char* text);

  AEffect* getAeffect() { return &cEffect; }
  AEffEditor* getEditorObject() const { return editor; }
  audioMasterCallback getAudioMaster() const { return audioMaster; }

  // The object behind a record handed out by this layer.
  static AudioEffect* FromEffect(AEffect* effect)
  {
    return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
  }

protected:
  // Calls the host with this plug-in's record; 0 when there is no callback.
  VstIntPtr callHost(int32_t opcode, int32_t index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.0f);
  void setFlag(int32_t bit, bool state);

  float sampleRate = 44100.0f;
  AEffEditor* editor = nullptr;
  audioMasterCallback audioMaster;
  int32_t numPrograms;
  int32_t numParams;
  int32_t curProgram = 0;
  int32_t blockSize = 1024;
  AEffect cEffect;
};

// The functions the effect record points to.
VstIntPtr dispatchEffectClass(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                              void* ptr, float opt);
float getParameterClass(AEffect* effect, int32_t index);
void setParameterClass(AEffect* effect, int32_t index, float value);
void processClass(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
void processClassReplacing(AEffect* effect, float** inputs, float** outputs,
                           int32_t sampleFrames);
