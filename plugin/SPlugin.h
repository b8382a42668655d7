// SPlugin: the framework's plug-in base. It fixes what the host learns about
// the plug-in (pins, flags, unique id, names, version, capabilities), builds
// the shared resources and the editor (through the installed factory; its
// host identification may refuse the load), answers the editor opcodes and keeps the suspended
// state.
//
// Threads: the dispatcher runs on host threads. `editorClosed` is written by
// the editor's open and close under `lock` and read by the engine on any
// thread, the audio thread included, which must not take a system lock: it
// reads the flag atomically instead. That is enough because a notice only
// sets flags in the editor object, which lives as long as the plug-in, and
// the editor ignores them while it is closed.
// `suspended` is written by suspend/resume and read by the audio thread.
#pragma once

#include "plugin/AudioEffectX.h"
#include "plugin/SIPluginEditor.h"
#include "support/data/datastring.h"
#include "support/threading/SMutex.h"

#include <atomic>
#include <cstdint>

class SGlobals;

class SPlugin : public AudioEffectX
{
public:
  SPlugin(audioMasterCallback audioMaster, int& status);
  ~SPlugin() override;

  VstIntPtr dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                       float opt) override;
  void open() override {}
  void close() override {}
  void suspend() override;
  void resume() override;
  void setSampleRate(float rate) override { sampleRate = rate; }
  void setBlockSize(int32_t size) override { blockSize = size; }
  bool getEffectName(char* text) override;
  bool getProductString(char* text) override;
  bool getVendorString(char* text) override;
  int32_t getVendorVersion() override;
  int32_t canDo(char* text) override;
  bool getInputProperties(int32_t, VstPinProperties*) override { return false; }
  bool getOutputProperties(int32_t, VstPinProperties*) override { return false; }

  // Display name of the recognised host; empty when there is no editor.
  const char* PluginHostName() const;

  bool Suspended() const { return suspended.load(std::memory_order_acquire); }
  bool EditorClosed();
  // Called by the editor when it opens and closes.
  void SetEditorClosed(bool closed);
  // Tells the host that the user changed a parameter (the host side of
  // setParameterAutomated). Host's GUI thread.
  void AutomateInHost(int32_t index, float value);
  void SetEditRect(int16_t width, int16_t height);
  SIPluginEditor* PluginEditor() const { return pluginEditor; }

  // The factory every later plug-in makes its editor with (null: none).
  // The plug-in module installs it while the library loads.
  static void SetEditorFactory(SPluginEditorFactory factory);
  static SPluginEditorFactory EditorFactory();
  // Reports a message to the user (a message box titled with the product
  // name, through the toolkit); the engine reports what it cannot do with
  // this, since it never draws. Host threads.
  static void ShowMessage(const char* text);

protected:
  // Closes and deletes the editor with its panel. Deleting the panel waits
  // for handlers of its controls running on other threads, so that once it
  // returns no editor code touches the plug-in. The plug-in's destructor
  // calls it first, while the whole plug-in still exists.
  void DestroyEditor();

  std::atomic<bool> editorClosed{true};
  std::atomic<bool> suspended{true};
  SIPluginEditor* pluginEditor = nullptr;
  ERect editRect{0, 0, 238, 120};
  SGlobals* globals = nullptr;
  // Set by the first resume (host threads).
  bool directoryAsked = false;
  vexo::threading::SMutexOS lock;
};
