// SPluginEditor: the plug-in's editor object. It identifies the host when the
// plug-in is built, places the panel in the window the host hands over (and
// parks it in a private window of its own while the editor is closed), keeps
// the editor size, and turns the engine's change notices into panel
// refreshes on the shared idle thread.
//
// Threads: built and destroyed with the plug-in, opened and closed on the
// host's thread. Notices (postUpdate, postUpdateIndexed) come from any
// thread (host, audio, countdown) and only set flags. The refreshes run on
// the shared idle thread every 22 ms; close removes the idle registration
// (which waits for a pass in progress) before it touches the panel. When
// the host handed no display, the panel's events arrive on the toolkit's
// own connection, which the toolkit's connection pump reads meanwhile.
#pragma once

#include "plugin/AEffEditor.h"

#include <atomic>
#include <cstdint>

class AudioEffect;
class SGlobals;
class SPluginPanel;

namespace vexo::gui {
class SControl;
class SCursor;
class SMessageDialog;
} // namespace vexo::gui

class SPluginEditor : public AEffEditor
{
public:
  // Number of parameter indices the refresh protocol can queue.
  static constexpr int kPendingIndices = 256;
  // The panel's size with one strip column; 25 pixels more per column.
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
  virtual void idleslow();

  static void idlestatic(void* editor);

  // Editor size: SetSize tells the host (and resizes its window itself when
  // the host cannot); ChangeSize grows by a difference; Resize only records
  // and asks.
  void SetSize(int width, int height);
  void ChangeSize(int dw, int dh);
  void Resize(int width, int height);
  ERect* GetRect();

  // Hands the queued events of the panel's windows to the event procedure
  // when the host handed its display but does not call "_XEventProc" on
  // them (it calls the editor's idle opcode instead). Host thread.
  void PumpHostEvents();

  // Host identification from the host's product string; sets status to 3
  // for the one host the plug-in refuses.
  void GetHostApp(int& status);
  int32_t HostApp() const { return hostApp; }
  // The display name of a host code: "(unknown)" for 0 and unknown codes.
  static const char* HostName(int32_t hostApp);

  bool IsOpen() const { return isOpen; }
  bool NeverOpened() const { return neverOpened; }
  SPluginPanel* Panel() const { return panel; }
  unsigned long HostWindow() const { return hostWindow; }
  unsigned long HolderWindow() const { return holderWindow; }
  int32_t EditorId() const { return editorId; }
  bool IndexPending(int32_t index) const
  {
    return index >= 0 && index < kPendingIndices && pendingIndices[index].load() != 0;
  }
  bool UpdatePending() const { return updateFlag.load() != 0; }
  bool IndexedUpdatePending() const { return indexedUpdatePending.load() != 0; }

private:
  // Records the size, resizes the host's window when the host cannot and
  // asks the host to take the size.
  void ResizeHostWindow(int width, int height);
  void CreatePanel(unsigned long parent);
  void DeletePanel();
  bool PanelWindowAlive() const;

  void (*idleEntry)(void*) = nullptr;
  int32_t editorId = 0;
  SGlobals* globals;
  SPluginPanel* panel = nullptr;
  AudioEffect* plugin;
  int32_t hostApp = 0;
  std::atomic<int32_t> indexedUpdatePending{0};
  bool neverOpened = true;
  std::atomic<bool> isOpen{false};
  ERect rect{};
  vexo::gui::SCursor* cursor = nullptr;
  // X window ids (XID); kept as integers so that this header does not pull
  // the X headers' macros into its users.
  unsigned long hostWindow = 0;
  vexo::gui::SControl* holder = nullptr;
  vexo::gui::SMessageDialog* messageDialog = nullptr;
  unsigned long holderWindow = 0;
  // The toolkit's connection pump is held while the panel is shown on the
  // toolkit's own connection.
  bool pumpHeld = false;
  std::atomic<uint8_t> pendingIndices[kPendingIndices] = {};
};
