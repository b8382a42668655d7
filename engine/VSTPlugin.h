// VSTPlugin: the plug-in object. It holds the bank of 128 programs, the copy
// buffer, the flags that decide when stored messages are sent, the held-note
// table, the MIDI rings and the countdown state, and answers the parameter
// interface through which the host and the editor read and change all of it.
//
// Threads:
// - host threads: dispatcher (programs, chunks, names, suspend/resume) and
//   parameters (automation);
// - the host's GUI thread: the editor's event handling calls setParameter and
//   edits the current program's strips;
// - the audio thread: process/processReplacing, and setProgram for incoming
//   Program Changes;
// - the countdown thread: the timed send and the notices 139 to 141.
// Program fields are single bytes or words accessed through field::Load and
// field::Store; the only lock here is the base's `lock` around the read of
// `editorClosed` before a notice.
#pragma once

#include "engine/VSTPluginProgramBank.h"
#include "plugin/SPlugin.h"
#include "support/threading/SMutex.h"

#include <atomic>
#include <cstdint>

class VSTPlugin : public SPlugin
{
public:
  VSTPlugin(audioMasterCallback audioMaster, int& status);
  ~VSTPlugin() override;

  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  void process(float** inputs, float** outputs, int32_t sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
  void setProgram(int32_t program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(int32_t index, char* label) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterName(int32_t index, char* text) override;
  void setSampleRate(float rate) override;
  void setBlockSize(int32_t size) override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;

  // The current program's record (the editor edits its strips directly).
  VSTPluginProgram& CurrentProgram() { return bank[curProgram]; }
  VSTPluginProgram& Program(int32_t index) { return bank[index]; }
  VSTPluginProgramBank& Bank() { return bank; }
  const VSTPluginProgram& CopyBuffer() const { return copyBuffer; }
  bool CopyValid() const { return copyValid; }

  bool FirstProgramPending() const { return firstProgramPending; }
  bool ChunkJustLoaded() const { return chunkJustLoaded; }
  bool InitSendDone() const { return initSendDone; }
  bool SkipChangeSend() const { return skipChangeSend; }
  bool ReleaseRequested() const { return releaseRequested; }
  bool ReleasePhase() const { return releasePhase; }
  int32_t HeldNoteCount() const { return heldNoteCount; }

  // Written and read only by the panel: the number of strip columns shown.
  int32_t stripColumns = 0;

protected:
  // Tells an open editor that parameter `index` changed.
  void notifyEditor(int32_t index);
  // Calls the open editor's postUpdate (a whole-panel refresh).
  void notifyEditorAll();
  // Stops a running countdown (true: and starts a new one).
  void startTimer(bool start);
  // Queues the current program's stored messages for the next block.
  void sendCCData();

  void applySwitch(uint8_t VSTPluginProgram::*option, int32_t index, float value);
  void applyDelay(int32_t VSTPluginProgram::*delay, int32_t index, float value);

  VSTPluginProgramBank bank;
  VSTPluginProgram copyBuffer;
  bool copyValid = false;
  char hostProduct[48] = {};

  std::atomic<bool> firstProgramPending{true};
  std::atomic<bool> chunkJustLoaded{true};
  std::atomic<bool> initSendDone{false};
  std::atomic<bool> skipChangeSend{false};
  std::atomic<bool> resendState{false};
  std::atomic<bool> releasePhase{false};
  std::atomic<bool> releaseRequested{false};

  // Held notes passed through and not yet released. Written by the audio
  // thread only (midiInProcess, and edit under noteLock).
  vexo::threading::SMutexID noteLock;
  struct HeldNote
  {
    int32_t channel;
    int32_t note;
    int32_t velocity;
  };
  HeldNote heldNotes[256];
  int32_t heldNoteCount = 0;

  std::atomic<bool> timerRunning{false};
  std::atomic<int32_t> delaySeconds{0};
  std::atomic<int32_t> countdown{0};
  std::atomic<int32_t> timerMode{0};
};
