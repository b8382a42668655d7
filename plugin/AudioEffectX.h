// AudioEffectX: the extended plug-in base. It answers dispatcher opcodes 25 to
// 76 (passing the older ones to AudioEffect), wraps the extended host-callback
// requests and provides the neutral answer for every operation a plug-in does
// not override. The order of the virtual operations is part of the design and
// must not change.
//
// Threads: as AudioEffect. sendVstEventsToHost is called on the audio thread.
#pragma once

#include "plugin/AudioEffect.h"

#include <cstdint>

// Records a plug-in may receive or hand over but this one never inspects.
struct VstTimeInfo;
struct VstPinProperties;
struct VstOfflineTask;
struct VstAudioFile;
struct VstWindow;
struct VstVariableIo;
struct VstParameterProperties;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstPatchChunkInfo;
struct VstFileSelect;

// One speaker of an arrangement: 112 bytes.
struct VstSpeakerProperties
{
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  int32_t type;
  char future[28];
};
static_assert(sizeof(VstSpeakerProperties) == 112);

// A speaker arrangement: a type, a count and (at least) n speakers.
struct VstSpeakerArrangement
{
  int32_t type;
  int32_t numChannels;
  VstSpeakerProperties speakers[8];
};

class AudioEffectX : public AudioEffect
{
public:
  AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
  ~AudioEffectX() override = default;

  VstIntPtr dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                       float opt) override;

  virtual AEffEditor* getEditor() { return editor; }
  virtual void wantEvents(int32_t filter = 1);
  virtual VstTimeInfo* getTimeInfo(int32_t filter);
  virtual int32_t tempoAt(int32_t position);
  virtual int32_t processEvents(VstEvents* /*events*/) { return 0; }
  virtual int32_t getNumAutomatableParameters();
  virtual int32_t getParameterQuantization();
  virtual bool canParameterBeAutomated(int32_t /*index*/) { return true; }
  virtual bool string2parameter(int32_t /*index*/, char* /*text*/) { return false; }
  virtual float getChannelParameter(int32_t /*channel*/, int32_t /*index*/) { return 0.0f; }
  virtual int32_t getNumCategories() { return 1; }
  virtual bool getProgramNameIndexed(int32_t /*category*/, int32_t /*index*/, char* /*text*/)
  {
    return false;
  }
  virtual bool copyProgram(int32_t /*destination*/) { return false; }
  virtual bool ioChanged();
  virtual bool needIdle();
  virtual bool sizeWindow(int32_t width, int32_t height);
  virtual double updateSampleRate();
  virtual int32_t updateBlockSize();
  virtual int32_t getInputLatency();
  virtual int32_t getOutputLatency();
  virtual AEffect* getPreviousPlug(int32_t input);
  virtual AEffect* getNextPlug(int32_t output);
  virtual void inputConnected(int32_t /*index*/, bool /*state*/) {}
  virtual void outputConnected(int32_t /*index*/, bool /*state*/) {}
  virtual bool getInputProperties(int32_t /*index*/, VstPinProperties* /*properties*/)
  {
    return false;
  }
  virtual bool getOutputProperties(int32_t /*index*/, VstPinProperties* /*properties*/)
  {
    return false;
  }
  virtual int32_t getPlugCategory();
  virtual int32_t willProcessReplacing();
  virtual int32_t getCurrentProcessLevel();
  virtual int32_t getAutomationState();
  virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
  virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
  virtual int32_t reportCurrentPosition() { return 0; }
  virtual float* reportDestinationBuffer() { return nullptr; }
  virtual bool offlineRead(VstOfflineTask* task, int32_t option, bool readSource = true);
  virtual bool offlineWrite(VstOfflineTask* task, int32_t option);
  virtual bool offlineStart(VstAudioFile* files, int32_t numAudioFiles,
                            int32_t numNewAudioFiles);
  virtual int32_t offlineGetCurrentPass();
  virtual int32_t offlineGetCurrentMetaPass();
  virtual bool offlineNotify(VstAudioFile* /*files*/, int32_t /*count*/, bool /*start*/)
  {
    return false;
  }
  virtual bool offlinePrepare(VstOfflineTask* /*tasks*/, int32_t /*count*/) { return false; }
  virtual bool offlineRun(VstOfflineTask* /*tasks*/, int32_t /*count*/) { return false; }
  virtual int32_t offlineGetNumPasses() { return 0; }
  virtual int32_t offlineGetNumMetaPasses() { return 0; }
  virtual void setOutputSamplerate(float rate);
  virtual VstSpeakerArrangement* getInputSpeakerArrangement();
  virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
  // Ask the host for its strings into text (at least 64 bytes).
  virtual bool getHostVendorString(char* text);
  virtual bool getHostProductString(char* text);
  virtual int32_t getHostVendorVersion();
  virtual VstIntPtr hostVendorSpecific(int32_t index, VstIntPtr value, void* ptr, float opt);
  virtual int32_t canHostDo(char* text);
  virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
  virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
  virtual int32_t getHostLanguage();
  virtual void* openWindow(VstWindow* window);
  virtual bool closeWindow(VstWindow* window);
  virtual void* getDirectory();
  virtual bool updateDisplay();
  virtual bool processVariableIo(VstVariableIo* /*io*/) { return false; }
  virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*input*/,
                                     VstSpeakerArrangement* /*output*/)
  {
    return false;
  }
  virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                     VstSpeakerArrangement** output);
  virtual void setBlockSizeAndSampleRate(int32_t size, float rate)
  {
    blockSize = size;
    sampleRate = rate;
  }
  virtual bool setBypass(bool /*onOff*/) { return false; }
  virtual bool getEffectName(char* /*name*/) { return false; }
  virtual bool getErrorText(char* /*text*/) { return false; }
  virtual bool getVendorString(char* /*text*/) { return false; }
  virtual bool getProductString(char* /*text*/) { return false; }
  virtual int32_t getVendorVersion() { return 0; }
  virtual VstIntPtr vendorSpecific(int32_t /*index*/, VstIntPtr /*value*/, void* /*ptr*/,
                                   float /*opt*/)
  {
    return 0;
  }
  virtual int32_t canDo(char* /*text*/) { return 0; }
  virtual void* getIcon() { return nullptr; }
  virtual bool setViewPosition(int32_t /*x*/, int32_t /*y*/) { return false; }
  virtual int32_t getGetTailSize() { return 0; }
  virtual int32_t fxIdle() { return 0; }
  virtual bool getParameterProperties(int32_t /*index*/, VstParameterProperties* /*p*/)
  {
    return false;
  }
  virtual bool keysRequired() { return false; }
  virtual int32_t getVstVersion() { return 2300; }
  virtual int32_t getMidiProgramName(int32_t /*channel*/, MidiProgramName* /*name*/)
  {
    return 0;
  }
  virtual int32_t getCurrentMidiProgram(int32_t /*channel*/, MidiProgramName* /*name*/)
  {
    return -1;
  }
  virtual int32_t getMidiProgramCategory(int32_t /*channel*/, MidiProgramCategory* /*c*/)
  {
    return 0;
  }
  virtual bool hasMidiProgramsChanged(int32_t /*channel*/) { return false; }
  virtual bool getMidiKeyName(int32_t /*channel*/, MidiKeyName* /*name*/) { return false; }
  virtual bool beginSetProgram() { return false; }
  virtual bool endSetProgram() { return false; }
  virtual bool beginEdit(int32_t index);
  virtual bool endEdit(int32_t index);
  virtual bool openFileSelector(VstFileSelect* select);
  virtual int32_t setTotalSampleToProcess(int32_t /*value*/) { return 0; }
  virtual int32_t getNextShellPlugin(char* /*name*/) { return 0; }
  virtual int32_t startProcess() { return 0; }
  virtual int32_t stopProcess() { return 0; }
  virtual bool setPanLaw(int32_t /*type*/, float /*value*/) { return false; }
  virtual int32_t beginLoadBank(VstPatchChunkInfo* /*info*/) { return 0; }
  virtual int32_t beginLoadProgram(VstPatchChunkInfo* /*info*/) { return 0; }
  // Frees any old block and allocates a zeroed one for n speakers.
  virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, int32_t n);
  virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
  virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
  virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

  // True only when the host answers exactly 1.
  bool sendVstEventsToHost(VstEvents* events);
  bool getChunkFile(void* nativePath);
  bool closeFileSelector(VstFileSelect* select);
};
