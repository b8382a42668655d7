// SPluginEditor: the plug-in's editor object. It identifies the host when the
// plug-in is built, answers the host's size query, and turns the engine's
// change notices into refreshes of the panel.
//
// Threads: built and destroyed with the plug-in on the host's thread. Notices
// (postUpdate, postUpdateIndexed) come from any thread (host, audio,
// countdown) and only set flags; the refresh runs on the shared idle thread.
#pragma once

#include "plugin/AEffEditor.h"

#include <atomic>
#include <cstdint>

class AudioEffect;
class SGlobals;

class SPluginEditor : public AEffEditor
{
public:
  // Number of parameter indices the refresh protocol can queue.
  static constexpr int kPendingIndices = 256;

  SPluginEditor(AudioEffect* plugin, SGlobals* globals, int& status);
  ~SPluginEditor() override;

  int32_t open(void* parent) override;
  void close() override;
  void idle() override;
  void update() override;
  void postUpdate() override;
  void updateIndexed() override;
  void postUpdateIndexed(int32_t index) override;
  void updateAtIndex(int32_t index) override;
  virtual void idleslow();

  static void idlestatic(void* editor);

  // Host identification from the host's product string; sets status to 3
  // for the one host the plug-in refuses.
  void GetHostApp(int& status);
  int32_t HostApp() const { return hostApp; }
  // The display name of a host code: "(unknown)" for 0 and unknown codes.
  static const char* HostName(int32_t hostApp);

  bool IsOpen() const { return isOpen; }
  bool IndexPending(int32_t index) const
  {
    return index >= 0 && index < kPendingIndices && pendingIndices[index].load() != 0;
  }
  bool UpdatePending() const { return updateFlag.load() != 0; }
  bool IndexedUpdatePending() const { return indexedUpdatePending.load() != 0; }

private:
  void (*idleEntry)(void*) = nullptr;
  int32_t editorId = 0;
  SGlobals* globals;
  AudioEffect* plugin;
  int32_t hostApp = 0;
  std::atomic<int32_t> indexedUpdatePending{0};
  bool neverOpened = true;
  bool isOpen = false;
  ERect rect{};
  // X window ids (XID); kept as integers so that this header does not
  // pull the X headers' macros into its users.
  unsigned long hostWindow = 0;
  unsigned long holderWindow = 0;
  std::atomic<uint8_t> pendingIndices[kPendingIndices] = {};
};
