// SPluginEditor: the plug-in's editor object. It identifies the host when the
// plug-in is built, places the panel in the window the host hands over (and
// parks it in a private window of its own while the editor is closed), keeps
// the editor size, and turns the engine's change notices into panel
// refreshes on the shared idle thread.
//
// Threads: built and destroyed with the plug-in, opened and closed on the
// host's GUI thread. The panel lives on the toolkit's own X connection in
// every host convention; while the editor is open the toolkit's connection
// pump reads it and runs the panel's handlers, under that connection's
// display lock. Notices (postUpdate, postUpdateIndexed) come from any
// thread (host, audio, countdown) and only set flags. The refreshes run on
// the shared idle thread every 22 ms, under the same lock; close removes the
// idle registration (which waits for a pass in progress) before it touches
// the panel. Host callbacks that a host may answer by touching its GUI (the
// editor's size, automation) are queued from the pump and the idle thread
// and made on the host's GUI thread, inside open, close and the idle opcode.
#pragma once

#include "editor/SHostCallQueue.h"
#include "model/Parameters.h"
#include "plugin/SIPluginEditor.h"

#include <atomic>
#include <cstdint>

class AudioEffect;
class SGlobals;
class SPlugin;
class SPluginPanel;

namespace vexo::gui {
class SControl;
class SCursor;
class SMessageDialog;
} // namespace vexo::gui

class SPluginEditor : public SIPluginEditor
{
public:
  // Number of parameter indices the refresh protocol can queue: every one
  // the engine notifies, the verify result's notice (340) included.
  static constexpr int kPendingIndices = param::kSendSettingsEnd;
  // The panel's size with one strip column; 25 pixels more per column. The
  // height is the first view's: an open drawer adds to it.
  static constexpr int kBaseWidth = 120;
  static constexpr int kHeight = 238;

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
  // Kept in the editor's virtual table; the plug-in does not call it.
  virtual void idleslow();

  static void idlestatic(void* editor);

  // Editor size: SetSize resizes the panel at once and asks for the host's
  // size (the host window is resized by the editor when the host cannot do
  // it). What concerns the host is made on its GUI thread.
  void SetSize(int width, int height);

  // A parameter the user changed in the editor: the engine takes it at
  // once, the host learns of it (audioMasterAutomate) on its GUI thread.
  void AutomateParameter(int32_t index, float value);
  // The host's idle call, on its GUI thread: makes the queued host calls.
  void HostIdle() override;
  const char* HostDisplayName() const override { return HostName(hostApp); }

  // Host identification from the host's product string; sets status to 3
  // for the one host the plug-in refuses.
  void GetHostApp(int& status);
  int32_t HostApp() const { return hostApp; }
  // The display name of a host code: "(unknown)" for 0 and unknown codes.
  static const char* HostName(int32_t hostApp);

  SPluginPanel* Panel() const { return panel; }
  unsigned long HostWindow() const { return hostWindow; }
  bool IndexPending(int32_t index) const
  {
    return index >= 0 && index < kPendingIndices && pendingIndices[index].load() != 0;
  }
  bool UpdatePending() const { return updateFlag.load() != 0; }
  bool IndexedUpdatePending() const { return indexedUpdatePending.load() != 0; }

private:
  // Records the size, resizes the host's window when the host cannot (and
  // resizeWindow is set) and asks the host to take the size. Host thread.
  void ResizeHostWindow(int width, int height, bool resizeWindow);
  // Makes the host calls queued so far (a size only recorded in the editor
  // rectangle without `resize`). Host thread.
  void DeliverHostCalls(bool resize = true);
  void CreatePanel(unsigned long parent);
  void DeletePanel();
  bool PanelWindowAlive() const;

  void (*idleEntry)(void*) = nullptr;
  SGlobals* globals;
  SPluginPanel* panel = nullptr;
  AudioEffect* plugin;
  int32_t hostApp = 0;
  std::atomic<int32_t> indexedUpdatePending{0};
  std::atomic<bool> isOpen{false};
  vexo::gui::SCursor* cursor = nullptr;
  // X window ids (XID); kept as integers so that this header does not pull
  // the X headers' macros into its users.
  unsigned long hostWindow = 0;
  vexo::gui::SControl* holder = nullptr;
  vexo::gui::SMessageDialog* messageDialog = nullptr;
  unsigned long holderWindow = 0;
  // The toolkit's connection pump is held while the editor is open.
  bool pumpHeld = false;
  SHostCallQueue hostCalls;
  // The size asked for last.
  std::atomic<int> requestedWidth{kBaseWidth};
  std::atomic<int> requestedHeight{kHeight};
  std::atomic<uint8_t> pendingIndices[kPendingIndices] = {};
};

// The factory the plug-in module installs (SPlugin::SetEditorFactory).
SIPluginEditor* MakePluginEditor(SPlugin* plugin, SGlobals* globals, int& status);

// The editor of a plug-in whose editor this factory made (null without one).
SPluginEditor* EditorOf(const SPlugin& plugin);
