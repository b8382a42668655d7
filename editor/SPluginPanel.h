// SPluginPanel: the editor's one window. It holds every control (the logo,
// the option and action buttons, the two delay dials and the strip columns),
// mirrors the engine's state on request, and turns its controls' events into
// calls on the plug-in.
//
// Threads: built on the host's thread when the editor first opens. Refreshes
// run on the shared idle thread (RefreshControls) and on the thread that
// delivers the panel's X events (its own event handling); both go through
// the toolkit, which draws under the display lock.
#pragma once

#include "gui/SWindow.h"

#include <cstdint>

class SPluginEditor;
class VSTPlugin;

namespace vexo::gui::context {
class SDrawMemoryDevice;
class SDrawBitmap;
} // namespace vexo::gui::context

class SPluginPanel : public vexo::gui::SWindow
{
public:
  // The back buffer is as wide as the widest panel (16 columns).
  static constexpr int kBufferWidth = 520;

  SPluginPanel();
  SPluginPanel(SGlobals* globals, vexo::gui::SControl* parent, unsigned id, const char* title,
               int style, int x, int y, int width, int height, int parentWindow, bool unused);
  ~SPluginPanel() override;

  void LoadControls() override;
  void RefreshControls(long index) override;
  void Draw(const vexo::gui::Rect& rect) override;

  // The fixed decoration, drawn into the back buffer.
  void RefreshPanel();
  void RefreshLabels();
  // Resizes the editor to n strip columns.
  void RecalculateSize(int columns);

  SPluginEditor* editor = nullptr;
  VSTPlugin* plugin = nullptr;
  char programName[48] = {};
  int32_t columnCount = 1;

private:
  void CreateBackBuffer(int height);

  vexo::gui::context::SDrawMemoryDevice* panelBufferDevice = nullptr;
  vexo::gui::context::SDrawBitmap* panelBufferBitmap = nullptr;
};
